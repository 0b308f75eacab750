#include "central/master_data.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>

#include "database/database.h"

namespace zlv {

namespace {

// A query of optional registrations: a store schema without the table simply has none.
DataPacket QueryOptional(Database& db, const std::string& sql,
                         const std::vector<Variant>& params = {}) {
  try {
    return db.Query(sql, params);
  } catch (const DatabaseError&) {
    return DataPacket{};
  }
}

std::vector<std::string> FirstColumn(const DataPacket& packet) {
  std::vector<std::string> values;
  for (const auto& row : packet.rows) {
    if (!row.empty() && !row[0].IsEmptyOrNull()) values.push_back(row[0].AsText());
  }
  return values;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

ReceiptKind KindFromName(const std::string& name) {
  const std::string upper = Upper(name);
  const auto has = [&upper](const char* word) { return upper.find(word) != std::string::npos; };
  if (has("TROCO")) return ReceiptKind::Change;
  if (has("DINHEIRO") || has("ESPECIE")) return ReceiptKind::Cash;
  if (has("VALE") || has("VOUCHER") || has("TICKET") || has("REFEI") || has("ALIMENT")) {
    return ReceiptKind::Voucher;
  }
  if (has("ONLINE") || has("PIX") || has("APP") || has("IFOOD")) return ReceiptKind::Online;
  return ReceiptKind::Card;
}

// Stable prices without a price list: the same product always costs the same, between 6.90
// and 45.90 (by the kilo between 39.90 and 89.90), ending in .90 as menu prices do.
double PriceFor(const std::string& code, bool weighed) {
  const std::size_t hash = std::hash<std::string>{}(code);
  const int whole = weighed ? 39 + static_cast<int>(hash % 51) : 6 + static_cast<int>(hash % 40);
  return whole + 0.9;
}

void Require(bool present, const char* what, const std::string& branch, const std::string& store) {
  if (!present) {
    throw std::runtime_error(std::string("the store database has no ") + what + " for branch " +
                             branch + " store " + store);
  }
}

}  // namespace

MasterData LoadMasterData(Database& db, const std::string& branch, const std::string& store) {
  MasterData data;
  DataPacket products = QueryOptional(
      db,
      "SELECT P.CDPRODUTO, P.NMPRODUTO, P.IDPESAPROD FROM PRODUTO P, PRODLOJA L "
      "WHERE L.CDPRODUTO = P.CDPRODUTO AND L.CDFILIAL = ? AND L.CDLOJA = ? ORDER BY P.CDPRODUTO",
      {Variant(branch), Variant(store)});
  if (products.rows.empty()) {
    products =
        db.Query("SELECT CDPRODUTO, NMPRODUTO, IDPESAPROD FROM PRODUTO ORDER BY CDPRODUTO", {});
  }
  const auto extras = FirstColumn(QueryOptional(db, "SELECT DISTINCT CDPRODUTO FROM OCORRENCIA"));
  for (const auto& row : products.rows) {
    MasterProduct product{row[0].AsText(), row[1].AsText(), row[2].AsText() == "S", 0};
    product.price = PriceFor(product.code, product.weighed);
    if (Upper(product.name).find("COMBO") != std::string::npos) {
      product.kind = ProductKind::Combo;
    } else if (std::find(extras.begin(), extras.end(), product.code) != extras.end()) {
      product.kind = ProductKind::Extra;
    }
    data.products.push_back(std::move(product));
  }
  data.operators = FirstColumn(db.Query("SELECT CDOPERADOR FROM OPERADOR ORDER BY 1", {}));
  data.sellers = FirstColumn(db.Query("SELECT CDVENDEDOR FROM VENDEDOR ORDER BY 1", {}));
  for (const auto& row :
       db.Query("SELECT CDTIPORECE, NMTIPORECE FROM TIPORECE ORDER BY CDTIPORECE", {}).rows) {
    data.receipt_types.push_back({row[0].AsText(), row[1].AsText(), KindFromName(row[1].AsText())});
  }
  Require(!data.products.empty(), "product", branch, store);
  Require(!data.operators.empty(), "operator", branch, store);
  Require(!data.sellers.empty(), "seller", branch, store);
  Require(!data.receipt_types.empty(), "receipt type", branch, store);

  for (const auto& row : QueryOptional(db,
                                       "SELECT CDGRPOCOR, CDOCORR, DSOCORR FROM OCORRENCIA "
                                       "ORDER BY CDGRPOCOR, CDOCORR")
                             .rows) {
    data.occurrences.push_back({row[0].AsText(), row[1].AsText(), row[2].AsText()});
  }
  data.campaigns = FirstColumn(QueryOptional(db, "SELECT CDCAMPANHA FROM CAMPANHA ORDER BY 1"));
  if (data.campaigns.empty() &&
      !QueryOptional(db, "SELECT COUNT(*) FROM MOVPONTOCONSAUX").rows.empty()) {
    data.campaigns.push_back("1");  // points kept without a campaign register
  }
  for (const auto& row : QueryOptional(db,
                                       "SELECT CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO, "
                                       "NMBAIRRO FROM BAIRRO ORDER BY 1, 2, 3, 4")
                             .rows) {
    data.addresses.push_back(
        {row[0].AsText(), row[1].AsText(), row[2].AsText(), row[3].AsText(), row[4].AsText()});
  }
  if (data.addresses.empty()) {
    for (const auto& row : QueryOptional(db,
                                         "SELECT CDPAIS, SGESTADO, CDMUNICIPIO FROM "
                                         "MUNICIPIO ORDER BY 1, 2, 3")
                               .rows) {
      data.addresses.push_back({row[0].AsText(), row[1].AsText(), row[2].AsText(), "", ""});
    }
  }
  auto clients = FirstColumn(QueryOptional(db, "SELECT CDCLIENTE FROM CLIENTE ORDER BY 1"));
  if (clients.empty()) {
    clients = FirstColumn(QueryOptional(
        db, "SELECT CDCLIENTE FROM CONSUMIDOR GROUP BY CDCLIENTE ORDER BY COUNT(*) DESC, 1"));
  }
  data.client = clients.empty() ? "0001" : clients.front();
  const DataPacket consumers =
      QueryOptional(db, "SELECT * FROM CONSUMIDOR WHERE CDCLIENTE = ? ORDER BY CDCONSUMIDOR",
                    {Variant(data.client)});
  const int code_at = consumers.FieldIndex("CDCONSUMIDOR");
  for (const auto& row : consumers.rows) {
    ConsumerRecord consumer{data.client, row[static_cast<std::size_t>(code_at)].AsText(), {}};
    for (std::size_t c = 0; c < consumers.fields.size(); ++c) {
      consumer.values[consumers.fields[c].name] = row[c];
    }
    data.consumers.push_back(std::move(consumer));
  }
  return data;
}

std::vector<const MasterProduct*> MasterData::Products(ProductKind kind, bool allow_weighed) const {
  std::vector<const MasterProduct*> found;
  for (const auto& product : products) {
    if (product.kind == kind && (allow_weighed || !product.weighed)) found.push_back(&product);
  }
  return found;
}

}  // namespace zlv
