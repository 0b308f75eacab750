#include "print/ticket_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zlv {
namespace {

const RegionalSettings& Br() { return RegionalSettings::Default(); }

TEST(FractionText, ExamplesOfTheKitchenPrintAsSmallFractions) {
  EXPECT_EQ(FractionText(0.5, Br()), "1/2");
  EXPECT_EQ(FractionText(0.25, Br()), "1/4");
  EXPECT_EQ(FractionText(0.75, Br()), "3/4");
  EXPECT_EQ(FractionText(0.2, Br()), "1/5");
  EXPECT_EQ(FractionText(0.66, Br()), "33/50");
  EXPECT_EQ(FractionText(0.125, Br()), "3/25");  // halves go to the even hundredth
  EXPECT_EQ(FractionText(0.33, Br()), "1/3");
  EXPECT_EQ(FractionText(0.67, Br()), "2/3");
  EXPECT_EQ(FractionText(0.17, Br()), "1/6");
  EXPECT_EQ(FractionText(0.13, Br()), "1/7");
  EXPECT_EQ(FractionText(0.51, Br()), "2/4");
}

TEST(FractionText, WholeAndLargerQuantitiesPrintAsDecimals) {
  EXPECT_EQ(FractionText(1, Br()), "1");
  EXPECT_EQ(FractionText(2, Br()), "2");
  EXPECT_EQ(FractionText(1.5, Br()), "1,5");
  EXPECT_EQ(FractionText(12.25, Br()), "12,25");
}

// The denominator search never came within 10 of 100 for these and looped for ever, stalling
// the whole synchroniser on one order.
TEST(FractionText, QuantitiesWithoutSmallDenominatorEndAsDecimals) {
  for (double q : {0.37, 0.43, 0.57, 0.83, 0.87, 0.99}) {
    std::string text = FractionText(q, Br());
    EXPECT_EQ(text.find('/'), std::string::npos) << q;
    EXPECT_EQ(std::stod(text.replace(text.find(','), 1, ".")), q);
  }
}

// One, two and three-digit hundredths: 0.05 once printed as 1/2 and 0.996 as 1/10.
TEST(FractionText, TinyAndAlmostWholeQuantitiesAreNotMisprinted) {
  EXPECT_EQ(FractionText(0.05, Br()), "1/20");
  EXPECT_EQ(FractionText(0.04, Br()), "1/25");
  EXPECT_EQ(FractionText(0.01, Br()), "0,01");
  EXPECT_EQ(FractionText(0.996, Br()), "0,996");
  EXPECT_EQ(FractionText(0, Br()), "0");
  EXPECT_EQ(FractionText(-0.5, Br()), "-0,5");
}

// 0.61 and 0.73 once printed as 2/3: the kitchen would have made the wrong amount.
TEST(FractionText, EveryThousandthBelowOneEndsNearItsValue) {
  for (int i = 0; i < 1000; ++i) {
    const double q = i / 1000.0;
    std::string text = FractionText(q, Br());
    size_t slash = text.find('/');
    double value = 0;
    if (slash == std::string::npos) {
      if (auto comma = text.find(','); comma != std::string::npos) text[comma] = '.';
      value = std::stod(text);
    } else {
      value = std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
    }
    EXPECT_NEAR(value, q, 0.025) << q << " printed " << text;
  }
}

TEST(LimpaTexto, StripsBlanksControlsAndAccentsAtTheEndsOnly) {
  EXPECT_EQ(LimpaTexto("  Sem cebola \t\r\n"), "Sem cebola");
  EXPECT_EQ(LimpaTexto(" é bom"), "bom");
  EXPECT_EQ(LimpaTexto("Pão de queijo"), "Pão de queijo");
  EXPECT_EQ(LimpaTexto("Café"), "Caf");
  EXPECT_EQ(LimpaTexto("   "), "");
  EXPECT_EQ(LimpaTexto(std::string(300, 'a')), std::string(255, 'a'));
  // The cut counts letters: a two-byte letter is one of the 255.
  std::string accented = "a" + std::string(100, 'b') + "ção" + std::string(200, 'c');
  EXPECT_EQ(LimpaTexto(accented), "a" + std::string(100, 'b') + "ção" + std::string(151, 'c'));
}

Dataset ItemWithObservations(const char* list, const char* typed) {
  DataPacket packet;
  packet.fields = {{"DSOBSITEMVENDA", FieldType::String, 200},
                   {"DSOBSPEDDIGITA", FieldType::String, 200}};
  packet.rows.push_back(
      {list ? Variant(list) : Variant::Null(), typed ? Variant(typed) : Variant::Null()});
  Dataset set(packet);
  set.First();
  return set;
}

std::vector<std::string> Observations(const Dataset& item, bool item_observations) {
  TicketLines lines;
  ImprimeObservacoes(lines, item, item_observations);
  return lines.lines();
}

TEST(ImprimeObservacoes, ListThenTypedPiecesNotAlreadyPrinted) {
  Dataset item = ItemWithObservations(" Sem cebola; Bem passado;", " Sem cebola;Sem sal;");
  EXPECT_EQ(Observations(item, true),
            (std::vector<std::string>{"   * Sem cebola", "   * Bem passado", "   * Sem sal"}));
}

TEST(ImprimeObservacoes, IfoodOrdersPrintOnlyTypedObservations) {
  Dataset item = ItemWithObservations(" Sem cebola;", " Sem cebola;Sem sal;");
  EXPECT_EQ(Observations(item, false),
            (std::vector<std::string>{"   * Sem cebola", "   * Sem sal"}));
}

TEST(ImprimeObservacoes, RepeatedTypedPieceIsPrintedEachTime) {
  Dataset item = ItemWithObservations(nullptr, "Gelo;Gelo");
  EXPECT_EQ(Observations(item, true), (std::vector<std::string>{"   * Gelo", "   * Gelo"}));
}

TEST(ImprimeObservacoes, NothingForAnEmptySetOrBlankTexts) {
  DataPacket no_rows;
  no_rows.fields = {{"DSOBSITEMVENDA"}, {"DSOBSPEDDIGITA"}};
  Dataset empty(no_rows);
  EXPECT_TRUE(Observations(empty, true).empty());
  EXPECT_TRUE(Observations(ItemWithObservations(" ; ", "  "), true).empty());
}

TEST(TicketLabels, OriginConsumptionAndContinuationTitles) {
  EXPECT_EQ(OrigemLabel("DLV_IFO"), "iFood");
  EXPECT_EQ(OrigemLabel("BAL_PED"), "Pede Pronto");
  EXPECT_EQ(OrigemLabel("dlv_ifo"), "");
  EXPECT_EQ(ConsumoLabel("C"), "Comer no local");
  EXPECT_EQ(ConsumoLabel("X"), "");
  EXPECT_EQ(ContinuationTitle("DLV_APP", "N").first, "VENDA APLICATIVO");
  EXPECT_EQ(ContinuationTitle("DLV_IFO", "S").first, "VENDA DELIVERY - TO GO");
  EXPECT_EQ(ContinuationTitle("DLV_IFO", "C").second, "PEDIDO PARA COMER NO LOCAL");
  EXPECT_TRUE(ContinuationTitle("DLV_IFO", "").first.empty());
}

}  // namespace
}  // namespace zlv
