#include "store/order_unit.h"

#include "bizlib/log_text.h"
#include "store/insert_diagnosis.h"

namespace zlv {

namespace {

constexpr std::string_view kFailureSeparator = ";;";

}  // namespace

OrderStatements::OrderStatements(Database& db)
    : adqVendaRestDuplicada(db, "adqVendaRestDuplicada"),
      acmVendaRest(db, "acmVendaRest"),
      adqVerifNrComanda(db, "adqVerifNrComanda"),
      acmInsComandaVen(db, "acmInsComandaVen"),
      acmInsItComVen(db, "acmInsItComVen"),
      adqIDBAIXAPEDCOMP(db, "adqIDBAIXAPEDCOMP"),
      adqProduto(db, "adqProduto"),
      acmObsItComandaVen(db, "acmObsItComandaVen"),
      acmInsProdEst(db, "acmInsProdEst"),
      acmObsItComandaEst(db, "acmObsItComandaEst"),
      acmMovPontoConsAux(db, "acmMovPontoConsAux"),
      acmCriaMovCaixaDlv(db, "acmCriaMovCaixaDlv") {}

OrderUnit::OrderUnit(Services& services, CentralCalls& central, DownloadSets& sets)
    : services_(services), central_(central), sets_(sets), statements_(services.db) {}

void OrderUnit::Begin() {
  central_number_ = order().Text("NRVENDAREST");
  nrvendarest.clear();
  duplicate = false;
  failure_marker_.clear();
  error_detail_.clear();
  diagnosis_.clear();
}

void OrderUnit::AddDiagnosis(const std::string& piece) {
  if (diagnosis_.find(piece) == std::string::npos) diagnosis_ += piece;
}

void OrderUnit::RecordFailure(const std::string& message, const std::string& guard_line,
                              const std::string& product_code, const std::string& table_name) {
  failure_marker_ = central_number_;
  services_.log.GravaLog(guard_line);
  services_.log.GravaLog("ERRO: " + LogText(message));
  const std::string terminated = message + std::string(kFailureSeparator);
  error_detail_ += terminated;
  AddDiagnosis(getMsgValidaProd(central_, sets_.cdsValidaProduto, terminated, product_code,
                                table_name, order()));
}

void OrderUnit::RecordRowFailure(const std::string& message, const std::string& table_name,
                                 const std::string& value, const std::string& product_code) {
  RecordFailure(message, table_name + ": " + value + " NRVENDARESTAUX:" + central_number_,
                product_code, table_name);
}

void OrderUnit::CompleteDiagnosis() {
  if (!diagnosis_.empty()) return;
  std::string piece =
      getMsgValidaProd(central_, sets_.cdsValidaProduto, error_detail_, "", "", order());
  if (piece.empty()) piece = "NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PEDIDO ; ";
  AddDiagnosis(piece);
}

}  // namespace zlv
