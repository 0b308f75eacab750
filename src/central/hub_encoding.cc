#include "central/hub_encoding.h"

#include <map>

#include "sync/protocol_json.h"

namespace zlv {

int64_t FirstNumber(const std::string& counter) {
  // Distinct ranges, so a central number is never mistaken for a store's local one while
  // reading logs.
  static const std::map<std::string, int64_t> kStarts = {
      {"NRVENDAREST", 500001}, {"NRCOMANDA", 800001}, {"CDCONSUMIDOR", 900001}};
  const auto start = kStarts.find(counter);
  return start == kStarts.end() ? 1 : start->second;
}

std::string ConsumerValuesText(const ConsumerRecord& consumer) {
  nlohmann::json values = nlohmann::json::object();
  for (const auto& [name, value] : consumer.values) values[name] = VariantToJson(value);
  return DumpJsonText(values);
}

Variant ConsumerPhone(const ConsumerRecord& consumer) {
  const auto phone = consumer.values.find("NRTELECONS");
  if (phone == consumer.values.end() || phone->second.IsEmptyOrNull()) return Variant::Null();
  return Variant(phone->second.AsText());
}

ConsumerRecord ConsumerFromText(std::string client, std::string consumer,
                                const std::string& values) {
  ConsumerRecord record{std::move(client), std::move(consumer), {}};
  const nlohmann::json parsed = ParseJsonText(values);
  for (const auto& [name, value] : parsed.items()) {
    record.values[name] = VariantFromJson(value);
  }
  return record;
}

std::string OrderPacketsText(const GeneratedOrder& order) {
  std::vector<Variant> packets;
  for (const auto& packet : order.sets) packets.emplace_back(packet);
  return DumpJsonText(VariantToJson(Variant(std::move(packets))));
}

std::vector<DataPacket> OrderPacketsFromText(const std::string& text) {
  const Variant stored = VariantFromJson(ParseJsonText(text));
  std::vector<DataPacket> packets;
  for (const auto& packet : stored.AsArray()) {
    packets.push_back(packet.AsPacket());
  }
  return packets;
}

Variant OrderSaleValue(const GeneratedOrder& order, const char* column) {
  const DataPacket& sale = order.sets[kVendaRest];
  const int at = sale.FieldIndex(column);
  return at < 0 || sale.rows.empty() ? Variant::Null() : sale.rows[0][static_cast<std::size_t>(at)];
}

OrderRoadRecord OrderRoadFromCells(const std::string& sale,
                                   const std::function<std::optional<std::string>(int)>& cell) {
  const auto text = [&cell](int column) { return cell(column).value_or(""); };
  OrderRoadRecord road;
  road.branch = text(0);
  road.store = text(1);
  road.sale = sale;
  road.state = text(2);
  road.downloads = std::stoi(text(3));
  road.queued_at = cell(4);
  road.last_download_at = cell(5);
  road.received_at = cell(6);
  if (const auto age = cell(7)) road.received_age_s = std::stod(*age);
  road.channel = cell(8);
  road.external_id = cell(9);
  road.local_sale = cell(10);
  road.tab_states = cell(11);
  road.answer = cell(12);
  road.cancel_state = cell(13);
  road.cancel_reason = cell(14);
  road.cancel_requested_at = cell(15);
  road.sets = OrderPacketsFromText(text(16));
  return road;
}

std::string BranchSettingsText(const BranchSettings& settings) {
  nlohmann::json text = {{"client", settings.client},
                         {"seller", settings.seller},
                         {"operator", settings.operator_code},
                         {"origin", settings.origin},
                         {"receipt_types", settings.receipt_types},
                         {"country", settings.country},
                         {"state", settings.state},
                         {"municipality", settings.municipality}};
  return DumpJsonText(text);
}

BranchSettings BranchSettingsFromText(std::string branch, const std::string& text) {
  const nlohmann::json parsed = ParseJsonText(text);
  BranchSettings settings;
  settings.branch = std::move(branch);
  settings.client = parsed.value("client", "");
  settings.seller = parsed.value("seller", "");
  settings.operator_code = parsed.value("operator", "");
  settings.origin = parsed.value("origin", "");
  settings.country = parsed.value("country", "");
  settings.state = parsed.value("state", "");
  settings.municipality = parsed.value("municipality", "");
  if (parsed.contains("receipt_types")) {
    settings.receipt_types = parsed["receipt_types"].get<std::map<std::string, std::string>>();
  }
  return settings;
}

std::string BranchesText(const std::vector<std::string>& branches) {
  return DumpJsonText(nlohmann::json(branches));
}

std::vector<std::string> BranchesFromText(const std::string& text) {
  return ParseJsonText(text).get<std::vector<std::string>>();
}

}  // namespace zlv
