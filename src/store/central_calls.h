// The two central server calls the writers make while an order is being written. The real
// client of the central server implements it; tests use a small double.
#pragma once

#include <string>

#include "data/data_packet.h"

namespace zlv {

class CentralCalls {
 public:
  virtual ~CentralCalls() = default;
  // The product's registration problems: rows with CDARVPROD and DSMSGIMPOSTO. The sale
  // number and the product code are passed by reference, as the server may change them.
  virtual DataPacket ValidaProduto(const std::string& cdfilial, std::string& nrvendarest,
                                   const std::string& cdloja, std::string& cdproduto) = 0;
  // Tells the server the store has these orders and cancellations.
  virtual void UpdateSincronismo(const DataPacket& pedidos, const DataPacket& cancelados) = 0;
};

}  // namespace zlv
