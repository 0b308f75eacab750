// FakeCentralCalls: a test double of the two central server calls the writers make. It answers
// ValidaProduto from a table of product problems, records every call, and can be told to fail.
// Tests only.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "store/central_calls.h"

namespace zlv {

class FakeCentralCalls : public CentralCalls {
 public:
  struct ValidaProdutoCall {
    std::string cdfilial, nrvendarest, cdloja, cdproduto;
  };
  struct UpdateSincronismoCall {
    DataPacket pedidos, cancelados;
  };

  // The problems the server reports for a product: (CDARVPROD, DSMSGIMPOSTO) pairs.
  void SetProblems(const std::string& cdproduto,
                   std::vector<std::pair<std::string, std::string>> problems) {
    problems_[cdproduto] = std::move(problems);
  }
  void FailValidaProduto(std::string message) { valida_failure_ = std::move(message); }
  void FailUpdateSincronismo(std::string message) { update_failure_ = std::move(message); }

  DataPacket ValidaProduto(const std::string& cdfilial, std::string& nrvendarest,
                           const std::string& cdloja, std::string& cdproduto) override {
    valida_calls.push_back({cdfilial, nrvendarest, cdloja, cdproduto});
    if (!valida_failure_.empty()) throw std::runtime_error(valida_failure_);
    DataPacket packet;
    packet.fields = {{"CDARVPROD", FieldType::String, 20},
                     {"DSMSGIMPOSTO", FieldType::String, 255}};
    if (auto found = problems_.find(cdproduto); found != problems_.end()) {
      for (const auto& [code, message] : found->second) packet.rows.push_back({code, message});
    }
    return packet;
  }

  void UpdateSincronismo(const DataPacket& pedidos, const DataPacket& cancelados) override {
    update_calls.push_back({pedidos, cancelados});
    if (!update_failure_.empty()) throw std::runtime_error(update_failure_);
  }

  std::vector<ValidaProdutoCall> valida_calls;
  std::vector<UpdateSincronismoCall> update_calls;

 private:
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> problems_;
  std::string valida_failure_;
  std::string update_failure_;
};

}  // namespace zlv
