#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "data/data_packet.h"
#include "sync/central_client.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

namespace zlv {
namespace {

DataPacket SamplePacket() {
  DataPacket packet;
  packet.fields = {{"CDFILIAL", FieldType::String, 4},
                   {"QTPRODCOMVEN", FieldType::Float, 0},
                   {"NRPESMESAVEN", FieldType::Integer, 0},
                   {"DTHRABERMESA", FieldType::DateTime, 0},
                   {"IDATIVO", FieldType::Boolean, 0}};
  packet.rows = {
      {Variant("0001"), Variant(0.35), Variant(int64_t{2}),
       Variant(DateTime::FromCivil(2024, 3, 5, 19, 42, 7)), Variant(true)},
      {Variant("São João"), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}};
  return packet;
}

Variant RoundTrip(const Variant& value) {
  return VariantFromJson(ParseJsonText(DumpJsonText(VariantToJson(value))));
}

TEST(ProtocolValues, EveryVariantKindSurvivesTheWire) {
  const Variant values[] = {
      Variant("texto com acentuação"),
      Variant(int64_t{-9'007'199'254'740'993}),
      Variant(5.0),  // a whole float must not come back as an integer
      Variant(0.1),
      Variant(true),
      Variant(DateTime::FromCivil(1999, 12, 31, 23, 59, 59, 250)),
      Variant(SamplePacket()),
      Variant(std::vector<Variant>{Variant("a"), Variant::Null(), Variant(SamplePacket()),
                                   Variant(std::vector<Variant>{Variant(int64_t{1})})}),
  };
  for (const Variant& value : values) {
    const Variant back = RoundTrip(value);
    EXPECT_EQ(back.type(), value.type()) << DumpJsonText(VariantToJson(value));
    EXPECT_EQ(back, value) << DumpJsonText(VariantToJson(value));
  }
  EXPECT_TRUE(RoundTrip(Variant()).IsNull());
  EXPECT_TRUE(RoundTrip(Variant::Null()).IsNull());
}

TEST(ProtocolValues, MalformedValuesAreRefusedWithTheirFault) {
  const char* bad[] = {
      R"({"fields":[{"name":"A","type":"string"}],"rows":[[1]]})",        // cell of the wrong type
      R"({"fields":[{"name":"A","type":"money"}],"rows":[]})",            // unknown field type
      R"({"fields":[{"name":"A","type":"string"}],"rows":[["x","y"]]})",  // row too wide
      R"({"datetime":"2024-02-30T10:00:00"})",                            // impossible date
      R"({"datetime":12})",
      R"({"datetime":"2024-01-01T00:00:00","extra":1})",
      R"({"something":"else"})",
      "18446744073709551615",  // beyond int64
  };
  for (const char* text : bad) {
    EXPECT_THROW(VariantFromJson(ParseJsonText(text)), ProtocolError) << text;
  }
}

TEST(ProtocolValues, NonFiniteNumbersAreNotSentAsNull) {
  EXPECT_THROW(VariantToJson(Variant(std::numeric_limits<double>::quiet_NaN())),
               std::invalid_argument);
  EXPECT_THROW(VariantToJson(Variant(std::numeric_limits<double>::infinity())),
               std::invalid_argument);
}

TEST(ProtocolText, InvalidJsonAndBadUtf8AreProtocolErrors) {
  for (const std::string text : {"", "{", "[1,]", "nul", "{\"a\":1} trailing", "\"\xC3\x28\""}) {
    EXPECT_THROW(ParseJsonText(text), ProtocolError) << text;
  }
}

TEST(ProtocolText, NestingBeyondTheLimitIsRefusedBeforeDecoding) {
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_NO_THROW(VariantFromJson(ParseJsonText(nested(kMaxJsonDepth))));
  // A hostile frame of nothing but brackets must not exhaust the stack.
  EXPECT_THROW(ParseJsonText(nested(100'000)), ProtocolError);
}

// `rows` rows of `fields` integer fields, every cell 0.
std::string ZeroPacket(std::size_t fields, std::size_t rows) {
  std::string text = R"({"fields":[)";
  for (std::size_t f = 0; f < fields; ++f) {
    text += (f ? "," : "") + std::string(R"({"name":"C)") + std::to_string(f) +
            R"(","type":"integer"})";
  }
  std::string row = "[";
  for (std::size_t f = 0; f < fields; ++f) row += f ? ",0" : "0";
  row += "]";
  text += R"(],"rows":[)";
  for (std::size_t r = 0; r < rows; ++r) text += (r ? "," : "") + row;
  return text + "]}";
}

// Item rows of `count` items of one order in the items slot (4) of a download.
Variant DownloadWithItems(std::size_t count) {
  DataPacket items;
  items.fields = {{"CDFILIAL", FieldType::String, 4}, {"NRVENDAREST", FieldType::String, 10}};
  items.rows.assign(count, {Variant("0001"), Variant("500001")});
  std::vector<Variant> download(11, Variant(DataPacket{}));
  download[4] = Variant(std::move(items));
  return Variant(std::move(download));
}

TEST(ProtocolText, EachBoundOfAMessagePassesAtItsLimitAndIsRefusedByNameBeyondIt) {
  const struct {
    const char* bound;
    std::size_t limit;
    std::function<void(std::size_t)> decode;
  } cases[] = {
      {"campos por pacote", kMaxPacketFields,
       [](std::size_t n) { VariantFromJson(ParseJsonText(ZeroPacket(n, 1))); }},
      {"linhas por pacote", kMaxPacketRows,
       [](std::size_t n) { VariantFromJson(ParseJsonText(ZeroPacket(1, n))); }},
      {"bytes por texto", kMaxTextBytes,
       [](std::size_t n) { VariantFromJson(ParseJsonText('"' + std::string(n, 'x') + '"')); }},
      // The array counts as a value besides its items.
      {"valores por mensagem", kMaxMessageValues,
       [](std::size_t n) {
         std::string text = "[0";
         for (std::size_t i = 2; i < n; ++i) text += ",0";
         VariantFromJson(ParseJsonText(text + "]"));
       }},
      {"itens por pedido", kMaxItemsPerOrder,
       [](std::size_t n) { CheckItemsPerOrder(DownloadWithItems(n)); }},
  };
  for (const auto& c : cases) {
    EXPECT_NO_THROW(c.decode(c.limit)) << c.bound;
    try {
      c.decode(c.limit + 1);
      ADD_FAILURE() << c.bound << " beyond the limit was accepted";
    } catch (const ProtocolError& e) {
      const std::string named = "limite de " + std::to_string(c.limit) + " " + c.bound;
      EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
    }
  }
}

TEST(ProtocolText, BadUtf8InOutgoingTextIsReplacedNotFatal) {
  const std::string dumped = DumpJsonText(VariantToJson(Variant(std::string("a\xFFz"))));
  EXPECT_EQ(VariantFromJson(ParseJsonText(dumped)).AsText(), "a\xEF\xBF\xBDz");
}

TEST(ProtocolMessages, RequestCarriesPositionalParamsInOrder) {
  const std::string request = BuildRequest(7, "BaixaPedidos", {Variant("0001"), Variant("001")});
  const RpcRequest parsed = ParseRequest(request);
  EXPECT_EQ(parsed.id, 7);
  EXPECT_EQ(parsed.method, "BaixaPedidos");
  ASSERT_EQ(parsed.params.size(), 2u);
  EXPECT_EQ(parsed.params[0].AsText(), "0001");
  EXPECT_EQ(parsed.params[1].AsText(), "001");
  EXPECT_EQ(ParseJsonText(request)["jsonrpc"], "2.0");
}

TEST(ProtocolMessages, ResponseResultAndErrorReachTheCaller) {
  const Variant packet(SamplePacket());
  EXPECT_EQ(ParseResponse(BuildResultResponse(3, packet), 3), packet);
  EXPECT_TRUE(ParseResponse(BuildResultResponse(3, Variant()), 3).IsNull());
  try {
    ParseResponse(BuildErrorResponse(4, rpc_code::kServerError, "Filial inexistente"), 4);
    FAIL() << "an error response must raise";
  } catch (const RemoteError& e) {
    EXPECT_STREQ(e.what(), "Filial inexistente");
    EXPECT_EQ(e.code(), rpc_code::kServerError);
  }
}

TEST(ProtocolMessages, ResponsesOutOfStepOrMisshapenBreakTheProtocol) {
  const char* bad[] = {
      R"({"jsonrpc":"2.0","id":8,"result":null})",  // answers another request
      R"({"jsonrpc":"2.0","id":"9","result":null})",
      R"({"jsonrpc":"1.0","id":9,"result":null})",
      R"({"jsonrpc":"2.0","id":9})",
      R"({"jsonrpc":"2.0","id":9,"result":1,"error":{"code":1,"message":"x"}})",
      R"({"jsonrpc":"2.0","id":9,"error":{"code":"x","message":"x"}})",
      R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"parse error"}})",
      R"([1,2])",
  };
  for (const char* text : bad) EXPECT_THROW(ParseResponse(text, 9), ProtocolError) << text;
}

TEST(ProtocolMessages, BadRequestsCarryTheirJsonRpcCode) {
  const auto code_of = [](const std::string& text) {
    try {
      ParseRequest(text);
    } catch (const BadRequest& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(code_of("{not json"), rpc_code::kParseError);
  EXPECT_EQ(code_of(R"({"jsonrpc":"2.0","method":"X"})"), rpc_code::kInvalidRequest);
  EXPECT_EQ(code_of(R"({"jsonrpc":"2.0","id":1})"), rpc_code::kInvalidRequest);
  EXPECT_EQ(code_of(R"({"jsonrpc":"2.0","id":1,"method":"X","params":{"a":1}})"),
            rpc_code::kInvalidParams);
  EXPECT_EQ(code_of(R"({"jsonrpc":"2.0","id":1,"method":"X","params":[{"bad":1}]})"),
            rpc_code::kInvalidParams);
}

}  // namespace
}  // namespace zlv
