// The store's client against the reference server, both real, on 127.0.0.1: the order
// life cycle a store goes through (download, confirmation, upload, cancellation, history).
#include "central/central_server.h"

#include <gtest/gtest.h>

#include <thread>

#include "central/api_key.h"
#include "central/central_methods.h"
#include "central/hub_test_backends.h"
#include "central/open_hub_store.h"
#include "central/order_generator.h"
#include "central/store_schema.h"
#include "log/activity_log.h"
#include "support/demo_store.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"
#include "sync/central_client.h"
#include "sync/protocol_rpc.h"

namespace zlv {
namespace {

using namespace std::chrono_literals;

CentralServerLimits QuickCallWrites() {
  CentralServerLimits limits;
  limits.call_write_interval = 20ms;
  return limits;
}

// Calls `call` until it returns true or 10 s have passed.
template <typename Check>
bool Eventually(Check check) {
  for (const auto end = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms)) {
    if (check()) return true;
  }
  return check();
}

class CentralServerTest : public ::testing::TestWithParam<test::HubBackend> {
 protected:
  CentralServerTest() {
    // The server's connection lives on its thread; the test adds orders through its own.
    server_thread_ = std::thread([this] { server_.Run(); });
    client_.Connect();
  }

  ~CentralServerTest() override {
    client_.Disconnect();
    server_.Stop();
    server_thread_.join();
  }

  // Orders generated for the demo store and left pending for it.
  std::vector<std::string> AddOrders(int count, const std::string& shop = "001") {
    auto seeded = test::OpenDemoStore(":memory:");
    const StoreSchema schema = StoreSchema::FromDatabase(*seeded);
    const MasterData master = LoadMasterData(*seeded, "0001", shop);
    HubTransaction transaction(*admin_);
    OrderGenerator generator(
        master, schema, "0001", shop, 5,
        [this](const std::string& counter) { return admin_->NextNumber(counter); }, {});
    std::vector<std::string> sales;
    for (int i = 0; i < count; ++i) {
      const GeneratedOrder order = generator.Next(clock_.Now(), false);
      admin_->AddOrder(order, clock_.Now());
      sales.push_back(order.sale);
    }
    transaction.Commit();
    return sales;
  }

  static const DataPacket& Set(const Variant& download, int set) {
    return download.AsArray().at(static_cast<std::size_t>(set)).AsPacket();
  }
  static std::vector<std::string> Column(const DataPacket& packet, const char* field) {
    std::vector<std::string> values;
    for (const auto& row : packet.rows) {
      values.push_back(row.at(static_cast<std::size_t>(packet.FieldIndex(field))).AsText());
    }
    return values;
  }
  static DataPacket Packet(std::vector<std::string> names, std::vector<std::vector<Variant>> rows) {
    DataPacket packet;
    for (auto& name : names) packet.fields.push_back({std::move(name), FieldType::String, 10});
    packet.rows = std::move(rows);
    return packet;
  }
  Variant Upload(const DataPacket& sales, const DataPacket& tabs) {
    std::vector<Variant> slots = {
        Variant(sales),        Variant(tabs),   Variant(DataPacket{}), Variant(DataPacket{}),
        Variant(DataPacket{}), Variant("0001"), Variant("001")};
    return client_.AtualizaPedidos(slots);
  }
  std::vector<std::string> AnswerRow(const Variant& answer, std::size_t row) {
    const DataPacket& packet = answer.AsArray().at(1).AsPacket();
    std::vector<std::string> cells;
    for (const char* field : {"NRVENDAREST", "NRVENDARESTAUX", "SGSEXOCON"}) {
      cells.push_back(Column(packet, field).at(row));
    }
    return cells;
  }

  // A new token of branch 0001's cash register `register_no` covering `shop` ("" for all).
  std::string AddToken(const std::string& register_no, const std::string& shop,
                       const std::string& branch = "0001") {
    std::string token = NewInstallationToken();
    admin_->AddInstallationToken({ApiKeyHash(token), branch, register_no, shop, false});
    return token;
  }
  // The JSON-RPC error code of `call` made on a new connection that authenticates with
  // `token` (on `port`, the fixture's server when 0); 0 when it was answered.
  template <typename Call>
  int CodeWithToken(const std::string& token, Call call, int port = 0) {
    CentralClient client(log_, [&] {
      CentralEndpoint endpoint = TcpEndpoint("127.0.0.1", port ? port : server_.port());
      endpoint.token = token;
      return endpoint;
    });
    try {
      client.Connect();
      call(client);
    } catch (const RemoteError& e) {
      EXPECT_NE(std::string(e.what()).find("não autorizado"), std::string::npos) << e.what();
      return e.code();
    }
    return 0;
  }

  test::TempDir home_{"zlv-central-server"};
  FakeClock clock_{DateTime::FromCivil(2026, 3, 14, 19, 30, 0)};
  ActivityLog log_{home_.path(), clock_};
  const std::string location_ = test::NewHubLocation(GetParam(), home_.path());
  const std::unique_ptr<HubStore> store_ = OpenHubStore(location_);
  const std::unique_ptr<HubStore> admin_ = OpenHubStore(location_);
  CentralServer server_{*store_, clock_, "127.0.0.1", 0, {}, QuickCallWrites()};
  std::thread server_thread_;
  CentralClient client_{log_, [this] { return TcpEndpoint("127.0.0.1", server_.port()); }};
};

INSTANTIATE_TEST_SUITE_P(Backends, CentralServerTest,
                         ::testing::Values(test::HubBackend::kSqlite, test::HubBackend::kPostgres),
                         ::testing::PrintToStringParamName());

TEST_P(CentralServerTest, NothingPendingIsAnEmptyAnswer) {
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsEmpty());
}

TEST_P(CentralServerTest, PendingOrdersComeAsElevenPacketsUntilTheStoreConfirmsThem) {
  const auto sales = AddOrders(3);
  AddOrders(2, "002");
  const Variant first = client_.BaixaPedidos("0001", "001");
  ASSERT_TRUE(first.IsArray());
  ASSERT_EQ(first.AsArray().size(), 11u);
  EXPECT_EQ(Column(Set(first, kVendaRest), "NRVENDAREST"), sales);
  for (const auto& tab_sale : Column(Set(first, kComandaVen), "NRVENDAREST")) {
    EXPECT_NE(std::find(sales.begin(), sales.end(), tab_sale), sales.end());
  }
  EXPECT_FALSE(Set(first, kItComandaVen).empty());
  EXPECT_FALSE(Set(first, kMovCaixaDlv).empty());
  EXPECT_TRUE(Set(first, kPedidosCanc).empty());

  // Not confirmed: the same orders come again.
  EXPECT_EQ(Column(Set(client_.BaixaPedidos("0001", "001"), kVendaRest), "NRVENDAREST"), sales);

  // The store wrote only the first two; the third stays pending.
  DataPacket written = Set(first, kVendaRest);
  written.rows.pop_back();
  client_.UpdateSincronismo(written, Set(first, kPedidosCanc));
  const Variant rest = client_.BaixaPedidos("0001", "001");
  EXPECT_EQ(Column(Set(rest, kVendaRest), "NRVENDAREST"), std::vector<std::string>{sales[2]});

  client_.UpdateSincronismo(Set(rest, kVendaRest), Set(rest, kPedidosCanc));
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsEmpty());
  EXPECT_EQ(Set(client_.BaixaPedidos("0001", "002"), kVendaRest).rows.size(), 2u);
}

TEST_P(CentralServerTest, UploadAnswersSWithTheServersNumberThenDOnceTheTabIsClosed) {
  const auto sales = AddOrders(1);
  const DataPacket sale_rows = Packet({"NRVENDAREST", "NRVENDARESTAUX"},
                                      {{Variant("15"), Variant(sales[0])},
                                       {Variant("16"), Variant::Null()}});  // opened at the store
  const auto tabs = [](const char* status) {
    return Packet({"NRVENDAREST", "IDSTCOMANDA"},
                  {{Variant("15"), Variant(status)}, {Variant("16"), Variant("3")}});
  };
  const Variant open = Upload(sale_rows, tabs("3"));
  EXPECT_EQ(AnswerRow(open, 0), (std::vector<std::string>{"15", sales[0], "S"}));
  const std::string own_number = AnswerRow(open, 1)[1];
  EXPECT_FALSE(own_number.empty());
  EXPECT_NE(own_number, sales[0]);
  EXPECT_EQ(AnswerRow(open, 1)[2], "S");

  const Variant closed = Upload(sale_rows, tabs("X"));
  EXPECT_EQ(AnswerRow(closed, 0), (std::vector<std::string>{"15", sales[0], "D"}));
  // A sale the store opened keeps the number the server gave it the first time.
  EXPECT_EQ(AnswerRow(closed, 1), (std::vector<std::string>{"16", own_number, "S"}));
}

TEST_P(CentralServerTest, CancellationWaitsForTheStoresNumberAndGoesOnceConfirmed) {
  const auto sales = AddOrders(1);
  client_.UpdateSincronismo(Set(client_.BaixaPedidos("0001", "001"), kVendaRest), DataPacket{});
  ASSERT_EQ(admin_->CancelOrders("0001", "001", 5, clock_.Now()), sales);
  // The store has not told its own number for the order yet: nothing to send.
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsEmpty());

  Upload(Packet({"NRVENDAREST", "NRVENDARESTAUX"}, {{Variant("15"), Variant(sales[0])}}),
         Packet({"NRVENDAREST", "IDSTCOMANDA"}, {{Variant("15"), Variant("3")}}));
  const Variant download = client_.BaixaPedidos("0001", "001");
  ASSERT_TRUE(download.IsArray());
  const DataPacket& cancels = Set(download, kPedidosCanc);
  EXPECT_EQ(Column(cancels, "NRVENDAREST"), sales);
  EXPECT_EQ(Column(cancels, "NRVENDARESTAUX"), std::vector<std::string>{"15"});
  EXPECT_EQ(Column(cancels, "CDLOJA"), std::vector<std::string>{"001"});
  EXPECT_TRUE(Set(download, kVendaRest).empty());

  client_.UpdateSincronismo(Set(download, kVendaRest), cancels);
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsEmpty());
}

TEST_P(CentralServerTest, AnotherProcessOnTheSameDatabaseCarriesOnAtAnyCall) {
  const std::unique_ptr<HubStore> other_store = OpenHubStore(location_);
  CentralServer other(*other_store, clock_, "127.0.0.1", 0);
  std::thread other_thread([&] { other.Run(); });
  CentralClient b(log_, [&] { return TcpEndpoint("127.0.0.1", other.port()); });
  CentralClient& a = client_;
  b.Connect();

  const auto sales = AddOrders(2);
  const Variant first = a.BaixaPedidos("0001", "001");
  DataPacket confirmed = Set(first, kVendaRest);
  confirmed.rows.pop_back();
  b.UpdateSincronismo(confirmed, DataPacket{});
  EXPECT_EQ(Column(Set(a.BaixaPedidos("0001", "001"), kVendaRest), "NRVENDAREST"),
            std::vector<std::string>{sales[1]});

  ASSERT_EQ(admin_->CancelOrders("0001", "001", 1, clock_.Now()),
            std::vector<std::string>{sales[0]});
  std::vector<Variant> slots = {
      Variant(Packet({"NRVENDAREST", "NRVENDARESTAUX"}, {{Variant("15"), Variant(sales[0])}})),
      Variant(Packet({"NRVENDAREST", "IDSTCOMANDA"}, {{Variant("15"), Variant("3")}})),
      Variant(DataPacket{}),
      Variant(DataPacket{}),
      Variant(DataPacket{}),
      Variant("0001"),
      Variant("001")};
  b.AtualizaPedidos(slots);
  // Handed out by either process until one of them records the store's confirmation.
  const Variant again = a.BaixaPedidos("0001", "001");
  EXPECT_EQ(Column(Set(again, kPedidosCanc), "NRVENDAREST"), std::vector<std::string>{sales[0]});
  EXPECT_EQ(Column(Set(b.BaixaPedidos("0001", "001"), kPedidosCanc), "NRVENDAREST"),
            std::vector<std::string>{sales[0]});
  a.UpdateSincronismo(Set(again, kVendaRest), Set(again, kPedidosCanc));
  EXPECT_TRUE(b.BaixaPedidos("0001", "001").IsEmpty());

  b.Disconnect();
  other.Stop();
  other_thread.join();
}

TEST_P(CentralServerTest, HistoryRowsWithAFullKeyAreAcceptedAndAnswered) {
  const DataPacket history =
      Packet({"CDFILIAL", "CDLOJA", "NRVENDAREST", "NRCOMANDA", "NRSEQHISTPED", "DTHISTPED"},
             {{Variant("0001"), Variant("001"), Variant("15"), Variant("7"), Variant("1"),
               Variant::Null()},
              {Variant("0001"), Variant("001"), Variant("15"), Variant("7"), Variant::Null(),
               Variant::Null()}});
  std::vector<Variant> slots = {Variant(history), Variant(DataPacket{})};
  const Variant answer = client_.AtualizaHistPedCons(slots);
  ASSERT_TRUE(answer.IsPacket());
  const DataPacket expected_fields{{{"CDFILIAL", FieldType::String, 4},
                                    {"CDLOJA", FieldType::String, 10},
                                    {"NRVENDAREST", FieldType::String, 10},
                                    {"NRCOMANDA", FieldType::String, 10},
                                    {"NRSEQHISTPED", FieldType::String, 3}},
                                   {}};
  EXPECT_EQ(answer.AsPacket().fields, expected_fields.fields);
  ASSERT_EQ(answer.AsPacket().rows.size(), 1u);
  EXPECT_EQ(Column(answer.AsPacket(), "NRSEQHISTPED"), std::vector<std::string>{"1"});
}

TEST_P(CentralServerTest, ValidaProdutoAnswersTheProblemsConfiguredForTheProduct) {
  admin_->AddProductProblem("", "10001", "01.01.001", "NCM NAO CADASTRADO");
  std::string sale = "15", product = "10001", other = "10002";
  const DataPacket problems = client_.ValidaProduto("0001", sale, "001", product);
  ASSERT_EQ(problems.rows.size(), 1u);
  EXPECT_EQ(Column(problems, "CDARVPROD"), std::vector<std::string>{"01.01.001"});
  EXPECT_EQ(Column(problems, "DSMSGIMPOSTO"), std::vector<std::string>{"NCM NAO CADASTRADO"});
  const DataPacket fine = client_.ValidaProduto("0001", sale, "001", other);
  EXPECT_TRUE(fine.rows.empty());
  EXPECT_GE(fine.FieldIndex("DSMSGIMPOSTO"), 0);
}

TEST_P(CentralServerTest, ScriptedMessagesAndErrorsReachTheStoreOnce) {
  AddOrders(1);
  admin_->AddMessage("BaixaPedidos", "0001", "001", {"Manutencao programada", false});
  admin_->AddMessage("BaixaPedidos", "", "", {"Filial bloqueada", true});
  EXPECT_EQ(client_.BaixaPedidos("0001", "001").AsText(), "Manutencao programada");
  EXPECT_THROW(client_.BaixaPedidos("0001", "001"), RemoteError);
  EXPECT_TRUE(client_.Connected());
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsArray());
}

TEST_P(CentralServerTest, WrongCallsAreRefusedWithoutLosingTheConnection) {
  const auto code_of = [this](const char* method, std::vector<Variant> params) {
    try {
      client_.Call(method, params);
    } catch (const RemoteError& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(code_of("ApagaTudo", {}), rpc_code::kMethodNotFound);
  EXPECT_EQ(code_of("BaixaPedidos", {Variant("0001")}), rpc_code::kInvalidParams);
  EXPECT_EQ(code_of("AtualizaPedidos", {Variant(std::vector<Variant>{Variant("x")})}),
            rpc_code::kInvalidParams);
  EXPECT_EQ(code_of("UpdateSincronismo",
                    {Variant(Packet({"OUTRO"}, {{Variant("1")}})), Variant(DataPacket{})}),
            rpc_code::kInvalidParams);
  EXPECT_TRUE(client_.Connected());
}

TEST_P(CentralServerTest, EachStoresLastCallPerMethodIsRecordedAgedOnTheDatabasesClock) {
  client_.BaixaPedidos("0001", "001");
  // These two name no store: they are the store's that last named itself on the connection.
  EXPECT_THROW(client_.Call("AtualizaPedidos", {Variant(std::vector<Variant>{Variant("x")})}),
               RemoteError);
  client_.UpdateSincronismo(DataPacket{}, DataPacket{});
  std::vector<StoreCallRecord> calls;
  ASSERT_TRUE(Eventually([&] { return (calls = admin_->StoreCalls()).size() == 3; }));
  std::vector<std::string> seen;
  for (const StoreCallRecord& call : calls) {
    SCOPED_TRACE(call.method);
    seen.push_back(call.branch + "/" + call.store + " " + call.method);
    EXPECT_GE(call.call_age_s, -1.0);
    EXPECT_LT(call.call_age_s, 10.0);
    const bool failed = call.method == "AtualizaPedidos";
    EXPECT_EQ(call.failure_age_s.has_value(), failed);
    EXPECT_EQ(call.success_age_s.has_value(), !failed);
    EXPECT_EQ(call.failure.find("expected 7 slots") != std::string::npos, failed) << call.failure;
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"0001/001 AtualizaPedidos", "0001/001 BaixaPedidos",
                                            "0001/001 UpdateSincronismo"}));
}

TEST(CentralServerDatabase, ALostDatabaseAnswersEveryCallWithAClearErrorUntilItIsBack) {
  test::TempDir home("zlv-central-lost");
  FakeClock clock(DateTime::FromCivil(2026, 3, 14, 19, 30, 0));
  ActivityLog log(home.path(), clock);
  test::PostgresServer database;
  const std::unique_ptr<HubStore> store = OpenHubStore(database.uri());
  CentralServer server(*store, clock, "127.0.0.1", 0);
  std::thread serving([&] { server.Run(); });
  CentralClient client(log, [&] { return TcpEndpoint("127.0.0.1", server.port()); });
  client.Connect();
  EXPECT_TRUE(client.BaixaPedidos("0001", "001").IsEmpty());

  database.Stop();
  for (int call = 0; call < 2; ++call) {
    try {
      client.BaixaPedidos("0001", "001");
      ADD_FAILURE() << "answered without its database";
    } catch (const RemoteError& e) {
      EXPECT_EQ(std::string(e.what()).find("the hub's database is unavailable, try again: "
                                           "PostgreSQL: cannot connect"),
                0u)
          << e.what();
    }
  }
  database.Start();
  EXPECT_TRUE(client.BaixaPedidos("0001", "001").IsEmpty());
  client.Disconnect();
  server.Stop();
  serving.join();
}

TEST_P(CentralServerTest, UnreadableRequestIsAnsweredThenTheConnectionClosed) {
  FramedConnection raw = FramedConnection::Open("127.0.0.1", server_.port(), 5s);
  raw.Send("{not json", 5s);
  EXPECT_THROW(ParseResponse(raw.Receive(5s), 1), ProtocolError);  // error with id null
  EXPECT_THROW(raw.Receive(5s), TransportError);                   // then closed
  // Others are not disturbed.
  EXPECT_TRUE(client_.BaixaPedidos("0001", "001").IsEmpty());
}

TEST_P(CentralServerTest, ATokenOpensOnlyItsInstallationsStoresAndNothingIsHandedOutElsewhere) {
  const auto sales = AddOrders(1);
  const std::string revoked = AddToken("7", "001");
  ASSERT_EQ(admin_->RevokeInstallationTokens("0001", "7", ""), 1);
  const auto download = [](CentralClient& client) { client.BaixaPedidos("0001", "001"); };
  for (const std::string& token :
       {AddToken("2", "002"), AddToken("1", "001", "0002"), revoked, NewInstallationToken()}) {
    EXPECT_EQ(CodeWithToken(token, download), rpc_code::kNotAuthorized);
  }
  EXPECT_EQ(admin_->FindOrderRoad(sales[0])->downloads, 0);
  // The installation's own store, and a branch-wide installation's.
  EXPECT_EQ(CodeWithToken(AddToken("1", "001"), download), 0);
  EXPECT_EQ(CodeWithToken(AddToken("3", ""), download), 0);
  EXPECT_EQ(admin_->FindOrderRoad(sales[0])->downloads, 2);
}

TEST_P(CentralServerTest, RowsOfAnotherStoreInsideACallAreRefusedWithNothingRecorded) {
  const std::string token = AddToken("1", "001");
  const DataPacket sales =
      Packet({"NRVENDAREST", "NRVENDARESTAUX", "CDFILIAL", "CDLOJA"},
             {{Variant("15"), Variant::Null(), Variant("0001"), Variant("001")},
              {Variant("16"), Variant::Null(), Variant("0001"), Variant("002")}});
  const DataPacket tabs = Packet({"NRVENDAREST", "IDSTCOMANDA"}, {{Variant("15"), Variant("3")}});
  EXPECT_EQ(CodeWithToken(token,
                          [&](CentralClient& client) {
                            std::vector<Variant> slots = {
                                Variant(sales),        Variant(tabs),         Variant(DataPacket{}),
                                Variant(DataPacket{}), Variant(DataPacket{}), Variant("0001"),
                                Variant("001")};
                            client.AtualizaPedidos(slots);
                          }),
            rpc_code::kNotAuthorized);
  EXPECT_FALSE(admin_->UploadedCentralSale("0001", "001", "15"));
  // A confirmation that does not say its rows' store cannot be told from another store's.
  EXPECT_EQ(CodeWithToken(token,
                          [&](CentralClient& client) {
                            client.UpdateSincronismo(Packet({"NRVENDAREST", "CDFILIAL"},
                                                            {{Variant("1"), Variant("0001")}}),
                                                     DataPacket{});
                          }),
            rpc_code::kNotAuthorized);
  // The refused calls are not the other store's calls: only the one answered is noted.
  EXPECT_EQ(CodeWithToken(token, [](CentralClient& client) { client.BaixaPedidos("0001", "001"); }),
            0);
  std::vector<StoreCallRecord> calls;
  ASSERT_TRUE(Eventually([&] { return !(calls = admin_->StoreCalls()).empty(); }));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].store + " " + calls[0].method, "001 BaixaPedidos");
}

TEST_P(CentralServerTest, CallsWithoutATokenAreFlaggedAndRefusedWhereTokensAreRequired) {
  CentralServerLimits limits = QuickCallWrites();
  limits.require_tokens = true;
  const std::unique_ptr<HubStore> strict_store = OpenHubStore(location_);
  CentralServer strict(*strict_store, clock_, "127.0.0.1", 0, {}, limits);
  std::thread serving([&] { strict.Run(); });
  const auto download = [](const std::string& shop) {
    return [shop](CentralClient& client) { client.BaixaPedidos("0001", shop); };
  };
  EXPECT_EQ(CodeWithToken("", download("001"), strict.port()), rpc_code::kNotAuthorized);
  EXPECT_EQ(CodeWithToken(AddToken("2", "002"), download("002"), strict.port()), 0);
  strict.Stop();
  serving.join();

  // Where tokens are not required a store without one is served, and flagged.
  client_.BaixaPedidos("0001", "001");
  std::vector<StoreCallRecord> calls;
  ASSERT_TRUE(Eventually([&] { return (calls = admin_->StoreCalls()).size() == 2; }));
  for (const StoreCallRecord& call : calls) EXPECT_EQ(call.without_token, call.store == "001");
}

}  // namespace
}  // namespace zlv
