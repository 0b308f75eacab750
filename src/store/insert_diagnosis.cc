#include "store/insert_diagnosis.h"

#include <exception>
#include <string_view>

namespace zlv {

namespace {

constexpr std::string_view kSeparator = ";;";
// The schema every table of the store database belongs to, as the server's message names it.
constexpr std::string_view kTableMarker = "tabela \"MORVANE.";
constexpr std::string_view kColumnMarker = "column ";

std::string Tail(const std::string& text, size_t from) {
  return from < text.size() ? text.substr(from) : std::string();
}

void RemoveAll(std::string& text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
  }
}

// Appends the central server's registration problems of a product; returns whether it named
// any.
bool AppendProductProblems(CentralCalls& central, Dataset& cdsValidaProduto,
                           const std::string& product_code, const Dataset& order_row,
                           std::string& result) {
  std::string cdfilial = order_row.Text("CDFILIAL");
  std::string nrvendarest = order_row.Text("NRVENDAREST");
  std::string cdloja = order_row.Text("CDLOJA");
  std::string produto = product_code;
  cdsValidaProduto.LoadPacket(central.ValidaProduto(cdfilial, nrvendarest, cdloja, produto));
  bool named = false;
  for (cdsValidaProduto.First(); !cdsValidaProduto.Eof(); cdsValidaProduto.Next()) {
    named = true;
    result +=
        cdsValidaProduto.Text("CDARVPROD") + " " + cdsValidaProduto.Text("DSMSGIMPOSTO") + " ; ";
  }
  if (!product_code.empty() && !named) {
    result += "NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PRODUTO - " + product_code + " ; ";
  }
  return named;
}

std::string Diagnose(CentralCalls& central, Dataset& cdsValidaProduto,
                     const std::string& error_text, const std::string& product_code,
                     const std::string& table_name, const Dataset& order_row) {
  std::string result;
  bool product_details = false;
  size_t pos = 0;
  for (size_t end = error_text.find(kSeparator, pos); end != std::string::npos;
       end = error_text.find(kSeparator, pos)) {
    std::string segment = error_text.substr(pos, end + kSeparator.size() - pos);
    pos = end + kSeparator.size();
    RemoveAll(segment, kSeparator);
    const ForeignKeyTarget target = ParseForeignKeyMessage(segment);

    if (target.table == "OPERADOR" && target.column == "CDOPERADOR") {
      result += "O OPERADOR " + order_row.Text("CDOPERADOR") + " NAO FOI BAIXADO PARA O CAIXA ; ";
    } else if (target.table == "VENDEDOR" && target.column == "CDVENDEDOR") {
      result += "O VENDEDOR " + order_row.Text("CDVENDEDOR") + " NAO FOI BAIXADO PARA O CAIXA ; ";
    } else if (!product_details && (target.table == "PRODUTO" || target.column == "CDPRODUTO")) {
      // Once the server has named the product's problems, a later product error of the same
      // order would only repeat them.
      if (AppendProductProblems(central, cdsValidaProduto, product_code, order_row, result)) {
        product_details = true;
      }
    } else if (table_name == "OBSITCOMANDAVEN" || table_name == "OBSITCOMANDAEST") {
      result += "ERRO AO INSERIR A OBSERVACAO DO PEDIDO ; ";
    } else if (table_name == "MOVCAIXADLV") {
      result += "ERRO NO RECEBIMENTO " + product_code + " DO PEDIDO ; ";
    } else if (table_name == "MOVPONTOCONSAUX") {
      result += "ERRO AO INSERIR A PONTUACAO DO CONSUMIDOR ; ";
    }
  }
  return result;
}

}  // namespace

ForeignKeyTarget ParseForeignKeyMessage(const std::string& message) {
  const size_t insert = message.find("INSERT");
  const size_t column = message.find(kColumnMarker);
  if (insert == std::string::npos || column == std::string::npos || column < insert ||
      message.find("tabela \"") == std::string::npos) {
    return {};
  }
  ForeignKeyTarget target;
  const size_t marker = message.find(kTableMarker);
  // Without the marker the cut starts at the 16th character (the marker's length), as the
  // texts already recorded in LOGSINCDLV were read.
  const std::string after_table =
      Tail(message,
           marker == std::string::npos ? kTableMarker.size() - 1 : marker + kTableMarker.size());
  const size_t table_end = after_table.find('"');
  if (table_end != std::string::npos) target.table = after_table.substr(0, table_end);

  // The column name follows "column " and its opening quote.
  const size_t column_at = after_table.find(kColumnMarker);
  const std::string after_column =
      Tail(after_table, column_at == std::string::npos ? kColumnMarker.size()
                                                       : column_at + kColumnMarker.size() + 1);
  // The name ends at its closing quote; the server's message goes on after it with a full stop.
  const size_t closing = after_column.find('\'');
  if (closing != std::string::npos) {
    target.column = after_column.substr(0, closing);
  } else if (!after_column.empty()) {
    target.column = after_column.substr(0, after_column.size() - 1);
  }
  return target;
}

std::string getMsgValidaProd(CentralCalls& central, Dataset& cdsValidaProduto,
                             const std::string& error_text, const std::string& product_code,
                             const std::string& table_name, const Dataset& order_row) {
  try {
    return Diagnose(central, cdsValidaProduto, error_text, product_code, table_name, order_row);
  } catch (...) {
    return {};
  }
}

}  // namespace zlv
