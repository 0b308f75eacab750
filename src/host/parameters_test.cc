#include "host/parameters.h"

#include <gtest/gtest.h>

#include "platform/config_key.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

class LeParametrosTest : public ::testing::Test {
 protected:
  void WriteParameterFile(const std::string& rows) {
    test::WriteFileBytes(dir_.path() / kParameterFileName,
                         R"({"fields":[{"name":"CDFILIAL","type":"string","size":4},)"
                         R"({"name":"CDCAIXA","type":"string","size":3}],"rows":[)" +
                             rows + "]}");
  }
  ParameterSlots Read(const std::string& parameter) {
    ParameterSlots slots;
    LeParametros(parameter, dir_.path(), cds_, slots);
    return slots;
  }
  std::string ErrorOf(const std::string& parameter) {
    try {
      Read(parameter);
    } catch (const ParameterError& e) {
      return e.what();
    }
    return "no error";
  }

  test::TempDir dir_{"zlv-params"};
  Dataset cds_;
};

TEST_F(LeParametrosTest, CommandLineCodesWinOverTheParameterFile) {
  WriteParameterFile(R"(["0009","099"])");
  const ParameterSlots slots = Read("01_005_");
  EXPECT_EQ(slots[0].AsText(), "01");
  EXPECT_EQ(slots[1].AsText(), "005");
  EXPECT_TRUE(slots[2].IsEmpty());
  EXPECT_EQ(cds_.FieldCount(), 0) << "the file is not read";
}

TEST_F(LeParametrosTest, ExtraPiecesUpToTenAreKept) {
  const ParameterSlots slots = Read("1_2_3_4_5_6_7_8_9_10_");
  EXPECT_EQ(slots[9].AsText(), "10");
}

TEST_F(LeParametrosTest, WithoutParameterTheFirstRecordOfTheFileIsUsed) {
  WriteParameterFile(R"(["0001","001"],["0002","002"])");
  for (const char* parameter : {"", "  "}) {
    const ParameterSlots slots = Read(parameter);
    EXPECT_EQ(slots[0].AsText(), "0001") << '"' << parameter << '"';
    EXPECT_EQ(slots[1].AsText(), "001");
  }
}

TEST_F(LeParametrosTest, NothingToReadLeavesTheSlotsUnassigned) {
  const ParameterSlots slots = Read("");
  EXPECT_TRUE(slots[0].IsEmpty());
  EXPECT_TRUE(slots[1].IsEmpty());
}

TEST_F(LeParametrosTest, ParametersOutsideTheFormatAreRefusedNamingWhatWasRead) {
  // Each of these once looped for ever or wrote past the ten slots.
  EXPECT_EQ(ErrorOf("01_005"),
            "Parâmetro \"01_005\" inválido: a última parte não termina com \"_\"");
  EXPECT_EQ(ErrorOf("01005"), "Parâmetro \"01005\" inválido: a última parte não termina com \"_\"");
  EXPECT_EQ(ErrorOf("1_2_3_4_5_6_7_8_9_10_11_"),
            "Parâmetro \"1_2_3_4_5_6_7_8_9_10_11_\" inválido: mais de 10 partes");
  EXPECT_EQ(ErrorOf("_005_"), "Parâmetro \"_005_\" inválido: filial ou caixa vazio");
  EXPECT_EQ(ErrorOf("01__"), "Parâmetro \"01__\" inválido: filial ou caixa vazio");
  EXPECT_EQ(ErrorOf("01_"), "Parâmetro \"01_\" inválido: filial ou caixa vazio");
}

TEST_F(LeParametrosTest, AParameterFileThatCannotNameACashRegisterIsRefused) {
  WriteParameterFile("");
  EXPECT_NE(ErrorOf("").find("não tem registro"), std::string::npos);
  WriteParameterFile(R"(["0001",null])");
  EXPECT_NE(ErrorOf("").find("CDFILIAL ou CDCAIXA vazio"), std::string::npos);
  test::WriteFileBytes(dir_.path() / kParameterFileName, R"({"fields":[)");
  EXPECT_ANY_THROW(Read("")) << "a damaged file";
}

class LeIpServerTest : public ::testing::Test {
 protected:
  std::optional<CentralEndpoint> Read(const std::string& contents) {
    test::WriteFileBytes(file_, contents);
    return LeIpServer(FileConfigKey(file_));
  }

  test::TempDir dir_{"zlv-ip"};
  std::filesystem::path file_ = dir_.path() / "registry.conf";
};

TEST_F(LeIpServerTest, HostAloneGetsTheDefaultPort) {
  const auto endpoint = Read("IpServer=10.0.0.5\n");
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->host, "10.0.0.5");
  EXPECT_EQ(endpoint->port, 211);
}

TEST_F(LeIpServerTest, HostAndPort) {
  const auto endpoint = Read("IpServer=CENTRAL01:6000\n");
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->host, "CENTRAL01");
  EXPECT_EQ(endpoint->port, 6000);
}

TEST_F(LeIpServerTest, NoValueMeansNoAddress) { EXPECT_FALSE(Read("Other=1\n")); }

// The hub over HTTPS: its URL (at /rpc unless it names a path), with the host and port the
// log names, the token and the proxy.
TEST_F(LeIpServerTest, AnHttpsAddressComesWithTheTokenAndTheProxy) {
  struct Case {
    const char* value;
    const char* host;
    int port;
    const char* url;
  };
  for (const Case& c : std::vector<Case>{
           {"https://hub.example.com", "hub.example.com", 443, "https://hub.example.com/rpc"},
           {"https://hub.example.com:8443/", "hub.example.com", 8443,
            "https://hub.example.com:8443/rpc"},
           {"HTTPS://10.0.0.5:9000/zlv/rpc", "10.0.0.5", 9000, "HTTPS://10.0.0.5:9000/zlv/rpc"},
           {"https://[::1]:8443", "[::1]", 8443, "https://[::1]:8443/rpc"}}) {
    SCOPED_TRACE(c.value);
    const auto endpoint =
        Read(std::string("IpServer=") + c.value + "\nToken=zlvt_x\nProxy=proxy.lan:3128\n");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, c.host);
    EXPECT_EQ(endpoint->port, c.port);
    EXPECT_EQ(endpoint->url, c.url);
    EXPECT_EQ(endpoint->token, "zlvt_x");
    EXPECT_EQ(endpoint->proxy, "proxy.lan:3128");
  }
  EXPECT_EQ(Read("IpServer=CENTRAL01:6000\n")->url, "") << "framed TCP as before";
}

TEST_F(LeIpServerTest, APortThatIsNotAPortFailsTheAttemptNamingTheValue) {
  // Plain http would carry the token in clear.
  for (const char* value : {"CENTRAL01:abc", "CENTRAL01:", "CENTRAL01:0", "CENTRAL01:65536",
                            "CENTRAL01:-5", "CENTRAL01:60 00", "CENTRAL01:6000x",
                            "http://hub.example.com", "https://:443", "https://hub:0"}) {
    try {
      Read(std::string("IpServer=") + value + "\n");
      ADD_FAILURE() << value << " was accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(value), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace zlv
