#include "bizlib/messages.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(MessagesTest, KeysMatchWithoutRegardToCase) {
  EXPECT_EQ(Msg("OPERADOR"), "Operador:");
  EXPECT_EQ(Msg("Operador"), "Operador:");
  EXPECT_EQ(Msg("endereco"), "Endereco");
  EXPECT_EQ(Msg("dlv_ifo"), "IFOOD......: ");
}

TEST(MessagesTest, LabelsKeepTheirTrailingBlanksAndAccents) {
  EXPECT_EQ(Msg("CEP"), "CEP: ");
  EXPECT_EQ(Msg("DLV_99F"), "99Food.....: ");
  EXPECT_EQ(Msg("DLV_ORD_MESA"), "MESA.......: ");
  EXPECT_EQ(Msg("COMER_LOCAL"), "Atencao! Pedido será consumido no local.");
}

TEST(MessagesTest, KeysWithoutARowGiveAnEmptyText) {
  EXPECT_EQ(Msg("DESCONTO"), "");
  EXPECT_EQ(Msg("TOTALPAG"), "");
  EXPECT_EQ(Msg("DLV_IFO_MESA"), "");
  EXPECT_EQ(Msg(""), "");
  EXPECT_EQ(Msg("TOTAL "), "");
}

}  // namespace
}  // namespace zlv
