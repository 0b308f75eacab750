// Placeholder until the statement catalogue lands.
#include "storedb/catalogue.h"

#include <stdexcept>
#include <string>

namespace zlv {

const std::vector<StatementDef>& AllStatements() {
  static const std::vector<StatementDef> none;
  return none;
}

const StatementDef& FindStatement(std::string_view name) {
  throw std::out_of_range("Comando desconhecido: " + std::string(name));
}

}  // namespace zlv
