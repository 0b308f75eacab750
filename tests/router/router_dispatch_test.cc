// EnviarPedidoRot against a real HTTPS server on loopback and a real store database.
#include "router/router_dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "router_fixture.h"
#include "store/download_builder.h"
#include "store/order_writer.h"
#include "support/fake_central_calls.h"

namespace zlv::test {
namespace {

using ::testing::ElementsAre;

const std::filesystem::path kGolden =
    std::filesystem::path(ZLV_SOURCE_DIR) / "tests" / "router" / "golden" / "pedido_rot.xml";

class EnviarPedidoRotTest : public RouterTest {
 protected:
  // The golden order: a name that needs escaping and Windows-1252, two items, three payments
  // (received, paid online, change given back).
  void AddGoldenOrder() {
    AddOrder("0000000101", "0000000201");
    Sql("UPDATE COMANDAVEN SET DSCONSUMIDOR = 'José da Conceição & Filhos <VIP>',"
        " DSBAIRRO = 'CENTRO' WHERE NRCOMANDA = '0000000201'");
    AddItem("0000000101", "0000000201", "001", "10001", 2, 18.9);
    AddItem("0000000101", "0000000201", "002", "10004", 1, 6.5);
    AddPayment("0000000101", "1", "001", "E", 50);
    AddPayment("0000000101", "2", "005", "T", 4.3);
    AddPayment("0000000101", "3", "004", "S", 10);
  }
  std::string UrlEnvio() const { return server_.url("/sendOrder"); }
};

TEST_F(EnviarPedidoRotTest, AcceptedOrderIsPostedAsTheGoldenBodyAndMarkedOnce) {
  AddGoldenOrder();
  EnviarPedidoRot(services_);

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/sendOrder");
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
  if (std::getenv("ZLV_UPDATE_GOLDEN") != nullptr) WriteFileBytes(kGolden, requests[0].body);
  EXPECT_EQ(requests[0].body, ReadFileBytes(kGolden));

  EXPECT_EQ(RouterState("0000000201"),
            std::make_pair(std::string("S"), std::string("2026-03-07 19:30:00")));
  const auto log = LogMessages();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[0], "Metodo -> \"EnviarPedidoRot\"");
  EXPECT_EQ(log[1], "stNrComandaRot: 0000000201");
  EXPECT_EQ(log[2], "URLROTEIRIZADOR: " + UrlEnvio());
  EXPECT_TRUE(log[3].starts_with("XML: <root><Id>0000000201</Id>")) << log[3];
  EXPECT_NE(log[3].find("José da Conceição &amp; Filhos &lt;VIP&gt;"), std::string::npos);
  EXPECT_EQ(log[4], "Pedido enviado ao Roteirizador com sucesso");
  EXPECT_EQ(log[5], "URLROTEIRIZADOR: " + UrlEnvio());
  EXPECT_EQ(log[6], "RETORNO ROT: {\"success\":true}");

  // An accepted order still in production is listed again but never sent again.
  EnviarPedidoRot(services_);
  EXPECT_EQ(server_.requests().size(), 1u);
  const auto again = LogMessages();
  EXPECT_THAT(std::vector(again.begin() + 7, again.end()),
              ElementsAre("Metodo -> \"EnviarPedidoRot\"", "stNrComandaRot: 0000000201",
                          "IDSITUPEDROT: S"));
}

TEST_F(EnviarPedidoRotTest, RefusalOrErrorPageLeavesTheOrderToBeOfferedAgain) {
  AddGoldenOrder();
  const std::vector<std::pair<int, std::string>> replies = {
      {200, "TRUE"},
      {200, "{\"success\":false}"},
      {200, ""},
      {500, "<html><body>Internal Server Error</body></html>"},
      // An error page is no acceptance, whatever words it holds.
      {500, "{\"success\":true}"}};
  for (const auto& [status, reply] : replies) {
    server_.SetReply(status, reply);
    EnviarPedidoRot(services_);
    EXPECT_EQ(RouterState("0000000201"), std::make_pair(std::string(), std::string())) << reply;
    const auto log = LogMessages();
    EXPECT_THAT(std::vector(log.end() - 3, log.end()),
                ElementsAre("Pedido não enviado ao Roteirizador", "URLROTEIRIZADOR: " + UrlEnvio(),
                            "RETORNO ROT: " + reply));
  }
  EXPECT_EQ(server_.requests().size(), replies.size());

  server_.SetReply(200, "<ok>operation=true</ok>");
  EnviarPedidoRot(services_);
  EXPECT_EQ(RouterState("0000000201").first, "S");
}

TEST_F(EnviarPedidoRotTest, OrderWithoutItemsIsSentWithAnEmptyItemList) {
  AddOrder("0000000102", "0000000202");
  AddPayment("0000000102", "1", "005", "T", 25);
  EnviarPedidoRot(services_);
  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].body.find("<Valor>25</Valor><status>"), std::string::npos);
  EXPECT_NE(requests[0].body.find("<ItensPedido></ItensPedido><Pagamentos><data><Id>1</Id>"),
            std::string::npos)
      << requests[0].body;
  EXPECT_EQ(RouterState("0000000202").first, "S");
}

// An order tab downloaded without a name, address, complement, district or postal code of its
// own goes to the router under the registered consumer's. The writer stored those absent texts
// as '', which the router's ISNULL fallbacks take as given: the courier got an empty <Name>.
TEST_F(EnviarPedidoRotTest, DownloadedOrderWithoutItsOwnNameGoesUnderTheConsumersName) {
  OrderDownload download;
  download.vendas.Add(test::DeliveryOrder("700001", DateTime::FromCivil(2026, 3, 7, 19, 5, 9)));
  download.comandas.Add({{"CDFILIAL", "0001"},
                         {"NRVENDAREST", "700001"},
                         {"NRCOMANDA", "7000011"},
                         {"IDSTCOMANDA", "P"},
                         {"CDLOJA", "001"},
                         {"CDPAIS", "1058"},
                         {"SGESTADO", "SP"},
                         {"CDMUNICIPIO", "3550308"},
                         {"IDORGCMDVENDA", "DLV_IFO"}});
  download.pagamentos.Add(test::DeliveryPayment("700001", "1", "001", 25.0));
  DownloadSets sets;
  download.LoadInto(sets);
  FakeCentralCalls central;
  InserePedido(services_, central, sets);
  ASSERT_EQ(sets.cdsVendaRest.RecordCount(), 1) << ::testing::PrintToString(LogMessages());
  Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = 'P'");  // the register marks it ready

  EnviarPedidoRot(services_);

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  for (const char* part :
       {"<Name>ANA PEREIRA</Name>", "<Rua>RUA AUGUSTA</Rua>", "<Numero>120</Numero>",
        "<Bairro>BAIRRO</Bairro>", "<CEP>01305000</CEP>"}) {
    EXPECT_NE(requests[0].body.find(part), std::string::npos) << part << " in " << requests[0].body;
  }
}

TEST_F(EnviarPedidoRotTest, OrderWithoutPaymentsOrNotInProductionIsNotSelected) {
  AddOrder("0000000103", "0000000203");  // no cash movement
  AddOrder("0000000104", "0000000204");
  AddPayment("0000000104", "1", "001", "E", 10);
  Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = '4' WHERE NRCOMANDA = '0000000204'");
  EnviarPedidoRot(services_);
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_THAT(LogMessages(),
              ElementsAre("Metodo -> \"EnviarPedidoRot\"",
                          "Não existem pedidos para sincronizar com o Roteirizador"));
}

TEST_F(EnviarPedidoRotTest, RouterTooSlowEndsTheCallAndTheOrdersAreOfferedAgain) {
  AddGoldenOrder();
  AddOrder("0000000105", "0000000205");
  AddPayment("0000000105", "1", "001", "E", 10);
  server_.SetDelay(5);
  const auto start = std::chrono::steady_clock::now();
  EnviarPedidoRot(services_, RouterOptions{.timeout_seconds = "1"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));

  // Waiting for one router that does not answer is enough: the second order waits too.
  EXPECT_EQ(server_.requests().size(), 1u);
  const auto log = LogMessages();
  EXPECT_TRUE(log.back().starts_with("ERRO: ")) << log.back();
  EXPECT_NE(log.back().find(UrlEnvio()), std::string::npos) << log.back();
  EXPECT_EQ(RouterState("0000000201").first, "");
  EXPECT_EQ(RouterState("0000000205").first, "");

  server_.SetDelay(0);
  EnviarPedidoRot(services_);
  EXPECT_EQ(server_.requests().size(), 3u);
  EXPECT_EQ(RouterState("0000000201").first, "S");
  EXPECT_EQ(RouterState("0000000205").first, "S");
}

TEST_F(EnviarPedidoRotTest, AddressThatIsNotHttpMakesNoRequest) {
  AddGoldenOrder();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"   ", ""},
      {"ftp://127.0.0.1/rot", "ftp://127.0.0.1/rot"},
      {"127.0.0.1:8443", "127.0.0.1:8443"}};
  for (const auto& [address, shown] : cases) {
    SetRouterAddress(address);
    EnviarPedidoRot(services_);
    EXPECT_EQ(LogMessages().back(),
              "CDURLROT inválido, pedido não enviado ao Roteirizador: \"" + shown + "\"");
  }
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_EQ(RouterState("0000000201").first, "");
}

TEST_F(EnviarPedidoRotTest, PlainHttpAddressIsServedAndWarnedOncePerStart) {
  AddGoldenOrder();
  // The test server speaks TLS only: the plain request fails, after the warning.
  SetRouterAddress("http://127.0.0.1:" + std::to_string(server_.port()));
  EnviarPedidoRot(services_);
  EnviarPedidoRot(services_);
  const auto log = LogMessages();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) {
                            return line.starts_with(
                                "Atenção: o endereço do Roteirizador não usa criptografia");
                          }),
            1);
}

TEST_F(EnviarPedidoRotTest, FailedItemSelectionEndsTheCallWithoutSendingTheOrder) {
  AddGoldenOrder();
  Sql("DROP TABLE ITCOMANDAVEN");
  EnviarPedidoRot(services_);
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_TRUE(LogMessages().back().starts_with("ERRO: ")) << LogMessages().back();
}

TEST_F(EnviarPedidoRotTest, AcceptedOrderWhoseStateCannotBeSavedIsLoggedAndOfferedAgain) {
  AddGoldenOrder();
  Sql("CREATE TRIGGER TRAVA BEFORE UPDATE ON COMANDAVEN BEGIN SELECT RAISE(ABORT, 'travado');"
      " END");
  EnviarPedidoRot(services_);
  const auto log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[log.size() - 4], "Pedido enviado ao Roteirizador com sucesso");
  EXPECT_NE(log[log.size() - 3].find("AtualizaStatusCmdRot: Erro -> "), std::string::npos);
  EXPECT_NE(log[log.size() - 3].find("travado"), std::string::npos);
  EXPECT_EQ(RouterState("0000000201").first, "");
}

class EnviarPedidoRotBadCertificateTest : public RouterTest {
 protected:
  EnviarPedidoRotBadCertificateTest() : RouterTest(TestHttpsServer::Certificate::kUntrusted) {}
};

TEST_F(EnviarPedidoRotBadCertificateTest, CertificateThatDoesNotVerifyGetsNoOrder) {
  AddOrder("0000000106", "0000000206");
  AddPayment("0000000106", "1", "001", "E", 10);
  EnviarPedidoRot(services_);
  const std::string last = LogMessages().back();
  EXPECT_TRUE(last.starts_with("ERRO: ")) << last;
  EXPECT_EQ(RouterState("0000000206").first, "");
  for (const auto& request : server_.requests()) EXPECT_TRUE(request.body.empty());
}

}  // namespace
}  // namespace zlv::test
