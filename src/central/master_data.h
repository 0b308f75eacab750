// MasterData: the store's registrations the generated orders refer to (products, operators,
// sellers, receipt types, occurrences, client, address codes), read from a store database so
// that every code the generator writes exists at the store and its foreign keys hold.
//
// Value type; thread-safe to read.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/variant.h"

namespace zlv {

class Database;

enum class ProductKind {
  Regular,
  Combo,  // a combo product: the head of the items sold as one combo
  Extra,  // an observation product (an occurrence names it): sold as a composition part
};

struct MasterProduct {
  std::string code;
  std::string name;
  bool weighed = false;  // sold by weight (IDPESAPROD = 'S')
  double price = 0;      // unit price of the generated items
  ProductKind kind = ProductKind::Regular;
};

enum class ReceiptKind { Cash, Change, Card, Voucher, Online };

struct MasterReceiptType {
  std::string code;
  std::string name;
  ReceiptKind kind = ReceiptKind::Card;
};

struct MasterOccurrence {
  std::string group;  // CDGRPOCOR
  std::string code;   // CDOCORR
  std::string text;
};

// A consumer's column values by name (CONSUMIDOR columns; a packet keeps those the store's
// table has).
struct ConsumerRecord {
  std::string client;    // CDCLIENTE
  std::string consumer;  // CDCONSUMIDOR
  std::map<std::string, Variant> values;
};

struct MasterAddress {
  std::string country, state, municipality, district_code, district_name;
};

struct MasterData {
  std::vector<MasterProduct> products;
  std::vector<std::string> operators;
  std::vector<std::string> sellers;
  std::vector<MasterReceiptType> receipt_types;
  std::vector<MasterOccurrence> occurrences;  // may be empty: no observations then
  std::vector<std::string> campaigns;         // may be empty: no loyalty points then
  std::vector<MasterAddress> addresses;       // may be empty: address codes left empty
  std::string client;                         // CDCLIENTE of the consumers
  std::vector<ConsumerRecord> consumers;      // the store's own consumers of that client

  std::vector<const MasterProduct*> Products(ProductKind kind, bool allow_weighed) const;
};

// Reads what the branch and store sell and who works there. Throws std::runtime_error when
// the store has no product, operator, seller or receipt type: orders without them could only
// fail at the store.
MasterData LoadMasterData(Database& store_db, const std::string& branch, const std::string& store);

}  // namespace zlv
