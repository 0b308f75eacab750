#include "print/print_statements.h"

#include <string_view>

namespace zlv {

namespace {

constexpr std::string_view kComandaCancelada =
    "SELECT CV.NRCOMANDAEXT, CV.IDORGCMDVENDA, CV.DSCONSUMIDOR, CV.DSOBSCOMANDA, VR.NRMESA, "
    "VR.NRMESAEATTAKE, CS.NMCONSUMIDOR FROM VENDAREST VR INNER JOIN COMANDAVEN CV ON "
    "CV.CDFILIAL = VR.CDFILIAL AND CV.NRVENDAREST = VR.NRVENDAREST LEFT JOIN CONSUMIDOR CS ON "
    "CS.CDCLIENTE = VR.CDCLIENTE AND CS.CDCONSUMIDOR = VR.CDCONSUMIDOR WHERE VR.CDFILIAL = "
    ":P_CDFILIAL AND VR.NRVENDARESTAUX = :P_NRVENDARESTAUX ORDER BY CV.NRCOMANDA";

constexpr std::string_view kUnidadeProduto =
    "SELECT SGUNIDADE FROM PRODUTO WHERE CDPRODUTO = :P_CDPRODUTO";

StatementDef Query(std::string_view name, std::vector<ParamDef> params, std::string_view text) {
  StatementDef def;
  def.name = name;
  def.kind = StatementKind::Query;
  def.params = std::move(params);
  def.mssql_text = text;
  def.sqlite_text = text;
  return def;
}

}  // namespace

const StatementDef& ComandaCanceladaStatement() {
  static const StatementDef def =
      Query("adqComandaCancelada", {ParamDef{"P_CDFILIAL"}, ParamDef{"P_NRVENDARESTAUX"}},
            kComandaCancelada);
  return def;
}

const StatementDef& UnidadeProdutoStatement() {
  static const StatementDef def =
      Query("adqUnidadeProduto", {ParamDef{"P_CDPRODUTO"}}, kUnidadeProduto);
  return def;
}

}  // namespace zlv
