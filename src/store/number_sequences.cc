#include "store/number_sequences.h"

namespace zlv::numbers {

std::string InUseQuery(const Sequence& seq) {
  return std::string("SELECT CASE WHEN EXISTS (SELECT 1 FROM ") + seq.table + " WHERE " +
         seq.scope + " AND " + seq.column + " = ?) THEN 1 ELSE 0 END AS IDEMUSO";
}

}  // namespace zlv::numbers
