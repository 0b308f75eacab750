// OrderUnit: the state of InserePedido while it writes one downloaded order (the current row
// of cdsVendaRest) in one transaction: the order's new local sale number, what has failed so
// far and the diagnosis of those failures, plus the statements the order's rows are written
// with (made once per run; their parameters are set anew for every row).
//
// A failing row is recorded (logged, its message kept, its diagnosis added) and the order's
// remaining rows are still attempted, so that the failure record names every problem; the
// order is then rolled back as a whole.
//
// Main thread only.
#pragma once

#include <string>

#include "database/named_statement.h"
#include "store/central_calls.h"
#include "store/download_sets.h"
#include "store/number_generator.h"
#include "store/services.h"

namespace zlv {

struct OrderStatements {
  explicit OrderStatements(Database& db);

  NamedStatement adqVendaRestDuplicada;
  NamedStatement acmVendaRest;
  NamedStatement adqVerifNrComanda;
  NamedStatement acmInsComandaVen;
  NamedStatement acmInsItComVen;
  NamedStatement adqIDBAIXAPEDCOMP;
  NamedStatement adqProduto;
  NamedStatement acmObsItComandaVen;
  NamedStatement acmInsProdEst;
  NamedStatement acmObsItComandaEst;
  NamedStatement acmMovPontoConsAux;
  NamedStatement acmCriaMovCaixaDlv;
};

class OrderUnit {
 public:
  OrderUnit(Services& services, CentralCalls& central, DownloadSets& sets);
  OrderUnit(const OrderUnit&) = delete;
  OrderUnit& operator=(const OrderUnit&) = delete;

  Services& services() { return services_; }
  CentralCalls& central() { return central_; }
  DownloadSets& sets() { return sets_; }
  OrderStatements& statements() { return statements_; }
  // Where the number generator records, for the whole run, the numbers it found in use.
  NumberAdvances& number_advances() { return number_advances_; }
  const Dataset& order() const { return sets_.cdsVendaRest; }

  // Starts the unit of work of the current order: clears what the previous one left.
  void Begin();

  // The order's central sale number (its NRVENDAREST as downloaded).
  const std::string& central_number() const { return central_number_; }
  // The new local sale number, once taken.
  std::string nrvendarest;
  bool duplicate = false;

  bool failed() const { return !failure_marker_.empty(); }
  const std::string& error_detail() const { return error_detail_; }
  const std::string& diagnosis() const { return diagnosis_; }

  // Records a failed step: logs the guard's line and the message, keeps the message and adds
  // its diagnosis (unless already there).
  void RecordFailure(const std::string& message, const std::string& guard_line,
                     const std::string& product_code, const std::string& table_name);
  // The same for the guard of one row kind: its line is "<TABLE>: <value> NRVENDARESTAUX:<n>".
  void RecordRowFailure(const std::string& message, const std::string& table_name,
                        const std::string& value, const std::string& product_code);

  // For a failed order with no diagnosis yet: diagnoses the whole error detail, or says that
  // the error could not be identified.
  void CompleteDiagnosis();

 private:
  void AddDiagnosis(const std::string& piece);

  Services& services_;
  CentralCalls& central_;
  DownloadSets& sets_;
  OrderStatements statements_;
  NumberAdvances number_advances_;

  std::string central_number_;
  std::string failure_marker_;
  std::string error_detail_;
  std::string diagnosis_;
};

}  // namespace zlv
