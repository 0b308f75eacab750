// MasterData: the store's registrations the generated orders refer to (products, operators,
// sellers, receipt types, occurrences, client, address codes), read from a store database so
// that every code the generator writes exists at the store and its foreign keys hold.
//
// Value type; thread-safe to read.
#pragma once

#include <string>
#include <vector>

namespace zlv {

class Database;

struct MasterProduct {
  std::string code;
  std::string name;
  bool weighed = false;  // sold by weight (IDPESAPROD = 'S')
  double price = 0;      // unit price of the generated items
};

enum class ReceiptKind { Cash, Card, Voucher, Online };

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
};

// Reads what the branch and store sell and who works there. Throws std::runtime_error when
// the store has no product, operator, seller or receipt type: orders without them could only
// fail at the store.
MasterData LoadMasterData(Database& store_db, const std::string& branch, const std::string& store);

}  // namespace zlv
