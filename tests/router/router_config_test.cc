// CarregaConfigRot on the demo store database.
#include "router/router_config.h"

#include <gtest/gtest.h>

#include "data/dataset.h"
#include "router_fixture.h"

namespace zlv::test {
namespace {

using CarregaConfigRotTest = RouterTest;

TEST_F(CarregaConfigRotTest, ReturnsTheStoresRouterSettings) {
  const DataPacket config = CarregaConfigRot(services_, "0001", "001");
  EXPECT_EQ(ConfigRotCampo(config, "IDUTILINTROT"), "S");
  EXPECT_EQ(ConfigRotCampo(config, "CDURLROT"), server_.url(""));
  EXPECT_EQ(ConfigRotCampo(CarregaConfigRot(services_, "0001", "002"), "IDUTILINTROT"), "N");
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(CarregaConfigRotTest, UnknownStoreReadsAsNotUsingTheRouter) {
  const DataPacket config = CarregaConfigRot(services_, "0001", "999");
  EXPECT_TRUE(config.rows.empty());
  EXPECT_EQ(ConfigRotCampo(config, "IDUTILINTROT"), "");
}

TEST_F(CarregaConfigRotTest, FailedQueryIsLoggedAndGivesSettingsStartUpCanLoad) {
  Sql("ALTER TABLE LOJA RENAME TO LOJA_ANTIGA");
  const DataPacket config = CarregaConfigRot(services_, "0001", "001");
  EXPECT_TRUE(config.rows.empty());
  Dataset cdsRoteirizador;
  cdsRoteirizador.LoadPacket(config);
  EXPECT_TRUE(cdsRoteirizador.HasField("IDUTILINTROT"));
  EXPECT_TRUE(cdsRoteirizador.HasField("CDURLROT"));
  EXPECT_EQ(ConfigRotCampo(config, "IDUTILINTROT"), "");
  const auto log = LogMessages();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].starts_with("CarregaConfigRot: Erro -> ")) << log[0];
  EXPECT_NE(log[0].find("LOJA"), std::string::npos) << log[0];
}

}  // namespace
}  // namespace zlv::test
