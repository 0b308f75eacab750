#include "bizlib/restart_hold.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(RestartHold, HoldsWhileThePhaseRunsAndFreesWhenItEndsAlsoByAnException) {
  Globals globals;
  globals.gLiberaReinicio.store(true);
  EXPECT_THROW(
      {
        const RestartHold hold(globals);
        EXPECT_FALSE(globals.gLiberaReinicio.load());
        throw std::runtime_error("Falha de conexão");
      },
      std::runtime_error);
  EXPECT_TRUE(globals.gLiberaReinicio.load());
}

}  // namespace
}  // namespace zlv
