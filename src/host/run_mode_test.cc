#include "host/run_mode.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

// Registered so that a boot where the store's database or the network come up late, and a
// failing end, are met by the manager rather than leaving the store without a synchroniser.
TEST(SincServiceTest, StartsDelayedAndIsRestartedAfterItsFirstTwoFailures) {
  const ServiceDefinition& service = SincService();
  EXPECT_TRUE(service.automatic_start);
  EXPECT_TRUE(service.delayed_start);
  EXPECT_EQ(service.restart_delays_ms, (std::vector<int>{60000, 60000}));
  EXPECT_GT(service.stop_wait_hint_ms, service.wait_hint_ms);
}

TEST(ServiceFailureTextTest, ARefusalForWantOfRightsSaysToUseAnElevatedPrompt) {
  const CommandLine install = ParseCommandLine({"/INSTALL"});
  const CommandLine uninstall = ParseCommandLine({"/UNINSTALL"});
  const std::string denied =
      ServiceFailureText(install, ElevationRequired("Gerenciador de serviços: Acesso negado. (5)"));
  EXPECT_EQ(denied.rfind("Erro ao instalar o serviço SincPedido: Gerenciador de serviços: "
                         "Acesso negado. (5)\n",
                         0),
            0u)
      << denied;
  EXPECT_NE(denied.find("como administrador"), std::string::npos) << denied;
  const std::string missing =
      ServiceFailureText(uninstall, std::runtime_error("OpenService: não existe (1060)"));
  EXPECT_EQ(missing, "Erro ao remover o serviço SincPedido: OpenService: não existe (1060)");
}

}  // namespace
}  // namespace zlv
