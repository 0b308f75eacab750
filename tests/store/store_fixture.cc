#include "store_fixture.h"

#include "bizlib/cp1252.h"
#include "support/demo_store.h"

namespace zlv::test {

namespace {

// A moment of an ordinary working day, so that date rules are not tested at midnight.
const DateTime kStart = DateTime::FromCivil(2024, 3, 15, 19, 30, 5);

}  // namespace

StoreFixture::StoreFixture()
    : dir_("store"),
      clock_(kStart),
      db_(OpenDemoStore(dir_.path() / "store.db")),
      log_(dir_.path(), clock_),
      services_{*db_, log_, clock_, globals_, dir_.path()} {
  globals_.gCDFILIAL = kFilial;
  globals_.gCDCAIXA = kCaixa;
  globals_.gCDLOJA = kLoja;
  globals_.gIDIMPAUTCUPZLV = "N";
}

std::vector<std::string> StoreFixture::LogLines() const {
  std::vector<std::string> lines;
  const std::filesystem::path file = log_.FileFor(clock_.Now());
  if (!std::filesystem::exists(file)) return lines;
  const std::string text = Cp1252ToUtf8(ReadFileBytes(file));
  // "dd/mm/yyyy hh:mm:ss - " precedes every message.
  constexpr size_t kStampLength = 22;
  size_t pos = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos;
       pos = end + 2, end = text.find("\r\n", pos)) {
    const std::string line = text.substr(pos, end - pos);
    lines.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
  }
  return lines;
}

bool StoreFixture::Logged(const std::string& message) const {
  for (const std::string& line : LogLines()) {
    if (line == message) return true;
  }
  return false;
}

DataPacket StoreFixture::Rows(const std::string& sql, const std::vector<Variant>& params) {
  return db_->Query(sql, params);
}

int64_t StoreFixture::Count(const std::string& sql, const std::vector<Variant>& params) {
  return db_->Query(sql, params).rows.at(0).at(0).AsInteger();
}

std::optional<std::string> StoreFixture::Value(const std::string& sql,
                                               const std::vector<Variant>& params) {
  const DataPacket rows = db_->Query(sql, params);
  if (rows.rows.empty()) return std::nullopt;
  return rows.rows[0].at(0).AsText();
}

}  // namespace zlv::test
