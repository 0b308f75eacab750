#include "print/delivery_observations.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

using Lines = std::vector<std::string>;

TEST(DeliveryObservationLines, ListOfTwoPiecesPrintsTwoLinesUnderOneBullet) {
  EXPECT_EQ(DeliveryObservationLines(false, " Sem cebola;Bem passado;", "", ""),
            (Lines{" * Sem cebola;", " * Bem passado"}));
  // Items of a combo are indented under it.
  EXPECT_EQ(DeliveryObservationLines(true, " Sem gelo;", "", ""), (Lines{"   * Sem gelo"}));
}

TEST(DeliveryObservationLines, TypedObservationPrintsOnlyWhatTheListsDidNotSay) {
  EXPECT_EQ(DeliveryObservationLines(false, " Sem cebola;", "", " Sem cebola;Sem sal;"),
            (Lines{" * Sem cebola", " * Sem sal"}));
  // The same text as the list: nothing more.
  EXPECT_EQ(DeliveryObservationLines(false, " Sem cebola;", "", " Sem cebola;"),
            (Lines{" * Sem cebola"}));
}

TEST(DeliveryObservationLines, TypedPiecesAllAlreadyPrintedLeaveNoEmptyBullet) {
  EXPECT_EQ(DeliveryObservationLines(false, " A;B;", "", " B;A;"), (Lines{" * A;", " * B"}));
}

TEST(DeliveryObservationLines, StationListReplacesTheRememberedText) {
  // The typed text is compared with the last list printed, the station list here.
  EXPECT_EQ(DeliveryObservationLines(false, " Sem cebola;", " Chapa;", " Sem cebola;"),
            (Lines{" * Sem cebola", " * Chapa", " * Sem cebola"}));
}

TEST(DeliveryObservationLines, EmptyBlankAndLoneSeparatorSourcesAreSkipped) {
  EXPECT_TRUE(DeliveryObservationLines(false, "", "  ", ";").empty());
  // A trailing "; " is dropped with its blank.
  EXPECT_EQ(DeliveryObservationLines(false, "", "", "Troco p/ 50; "), (Lines{" * Troco p/ 50"}));
  // Without any ";" the text is printed as it is.
  EXPECT_EQ(DeliveryObservationLines(false, " Sem sal", "", ""), (Lines{" *  Sem sal"}));
}

}  // namespace
}  // namespace zlv
