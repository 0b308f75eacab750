// The sequences of the number generator: where each number lands (table and column), which of
// its rows share one sequence, and how wide its zero-padded text is. Private to the generator
// and its tests.
#pragma once

#include <array>
#include <string>

namespace zlv::numbers {

struct Sequence {
  const char* counter;  // NMCONTADOR of ZLVPROXCODIGO (the item counter adds ":" + order tab)
  const char* table;
  const char* column;
  int width;
  // The rows of one sequence; its parameters come first in every statement below.
  const char* scope;
};

inline constexpr Sequence kVendaRest{"NRVENDAREST", "VENDAREST", "NRVENDAREST", 10, "CDFILIAL = ?"};
inline constexpr Sequence kComandaVen{"NRCOMANDA", "COMANDAVEN", "NRCOMANDA", 10, "CDFILIAL = ?"};
inline constexpr Sequence kItComandaVen{"NRSEQPRODCUP", "ITCOMANDAVEN", "NRSEQPRODCUP", 10,
                                        "CDFILIAL = ?"};
inline constexpr Sequence kReqExterna{"NRREQEXTCMD", "COMANDAVEN", "NRREQEXTCMD", 10,
                                      "CDFILIAL = ?"};
inline constexpr Sequence kItemComanda{"NRPRODCOMVEN", "ITCOMANDAVEN", "NRPRODCOMVEN", 6,
                                       "CDFILIAL = ? AND NRCOMANDA = ?"};
inline constexpr Sequence kVendaDia{"CDSENHAPED", "ITCOMANDAVEN", "CDSENHAPED", 4,
                                    "CDFILIAL = ? AND DTHRINCOMVEN >= ? AND DTHRINCOMVEN < ?"};

inline constexpr std::array<const Sequence*, 6> kAllSequences = {
    &kVendaRest, &kComandaVen, &kItComandaVen, &kReqExterna, &kItemComanda, &kVendaDia};

// Whether a number is already in the sequence's rows (1) or not (0): the scope's parameters,
// then the number's text. An equality lookup on an index of the store database (the key, or an
// index the database scripts make), so that it costs the same on a store with years of sales.
std::string InUseQuery(const Sequence& seq);

}  // namespace zlv::numbers
