#include "central/channel_order_maker.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "central/time_zone.h"

namespace zlv {

namespace {

using json = nlohmann::json;

// The hub reads amounts as numbers with two decimals; the maker counts in cents so that its
// totals are the hub's to the cent.
double Money(int64_t cents) { return static_cast<double>(cents) / 100.0; }

int64_t PriceCents(const MasterProduct& product) { return std::llround(product.price * 100.0); }

// What the hub bills for a line: quantity times the unit price, rounded to the cent.
int64_t LineCents(double quantity, int64_t unit_cents) {
  return std::llround(quantity * static_cast<double>(unit_cents));
}

// The people generator's consumer columns, as the API's customer members.
void PutText(json& object, const char* member, const std::map<std::string, Variant>& values,
             const char* column) {
  const auto found = values.find(column);
  if (found != values.end() && !found->second.IsEmptyOrNull()) {
    object[member] = found->second.AsText();
  }
}

// Scheduled orders land on a quarter hour, as customers choose them.
constexpr int64_t kSlotSeconds = 15 * 60;

}  // namespace

std::string Rfc3339Utc(int64_t unix_seconds) {
  const CivilTime c = UnixSecondsToDateTime(unix_seconds).Civil();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

ChannelOrderMaker::ChannelOrderMaker(const MasterData& master, std::string branch,
                                     std::string store, uint64_t seed)
    : master_(master), branch_(std::move(branch)), store_(std::move(store)), random_(seed) {}

json ChannelOrderMaker::Next(const std::string& external_id,
                             std::optional<int64_t> scheduled_after) {
  ++made_;
  const DeliveryOrigin& origin = random_.Pick(DeliveryOrigins());
  json order = {{"external_id", external_id},
                {"origin", origin.code},
                {"branch", branch_},
                {"store", store_},
                {"customer", Customer()}};
  if (origin.marketplace) order["display_id"] = ExternalNumber(random_, origin.code);
  const bool pickup = !origin.marketplace && random_.Chance(0.1);
  if (pickup) order["pickup"] = true;
  json items = json::array();
  int64_t total = AddItems(items);
  order["items"] = std::move(items);
  const int64_t fee = pickup ? 0 : random_.Pick(std::vector<int64_t>{490, 590, 790, 990});
  const int64_t discount = random_.Chance(0.15) ? 500 : 0;
  if (fee > 0) order["delivery_fee"] = Money(fee);
  if (discount > 0) order["discount"] = Money(discount);
  total += fee - discount;
  order["payments"] = Payments(total, origin.marketplace);
  const Variant notes = random_.PickText(TabNotes());
  if (!notes.IsNull()) order["notes"] = notes.AsText();
  if (scheduled_after) {
    const int64_t slot = *scheduled_after / kSlotSeconds * kSlotSeconds;
    order["scheduled_for"] = Rfc3339Utc(slot + 60 * 5 * random_.Between(12, 36));
  }
  return order;
}

json ChannelOrderMaker::Customer() {
  if (!customers_.empty() && random_.Chance(0.3)) return random_.Pick(customers_);
  // The code only makes the e-mail address unique; the hub numbers its consumers itself.
  const ConsumerRecord made =
      NewConsumer(random_, master_, std::to_string(made_) + "-" + random_.Digits(4), DateTime());
  json customer = json::object();
  PutText(customer, "name", made.values, "NMCONSUMIDOR");
  PutText(customer, "phone", made.values, "NRTELECONS");
  PutText(customer, "email", made.values, "DSEMAILCONS");
  PutText(customer, "document", made.values, "NRCPFRESPCON");
  json address = json::object();
  PutText(address, "street", made.values, "DSENDECONS");
  PutText(address, "number", made.values, "NRENDECONS");
  PutText(address, "complement", made.values, "DSCOMPLENDCONS");
  PutText(address, "district", made.values, "NMBAIRRO");
  PutText(address, "state", made.values, "SGESTADO");
  PutText(address, "postal_code", made.values, "NRCEPCONS");
  PutText(address, "reference", made.values, "DSREFERENDECONS");
  PutText(address, "country_code", made.values, "CDPAIS");
  PutText(address, "municipality_code", made.values, "CDMUNICIPIO");
  customer["address"] = std::move(address);
  customers_.push_back(customer);
  return customer;
}

int64_t ChannelOrderMaker::AddItems(json& items) {
  const auto combo_parts = master_.Products(ProductKind::Regular, false);
  const auto combo_heads = master_.Products(ProductKind::Combo, false);
  std::vector<const MasterProduct*> singles = master_.Products(ProductKind::Regular, true);
  if (singles.empty()) {
    for (const auto& product : master_.products) singles.push_back(&product);
  }
  int64_t total = 0;
  const int entries = random_.Between(1, 4);
  for (int entry = 0; entry < entries; ++entry) {
    json item;
    if (!combo_heads.empty() && !combo_parts.empty() && random_.Chance(0.3)) {
      // A combo: its parts at their own prices, 15% off the whole.
      item = {{"product", random_.Pick(combo_heads)->code}, {"quantity", 1}};
      int64_t cents = 0;
      json components = json::array();
      for (int part = random_.Between(2, 3); part > 0; --part) {
        const MasterProduct& product = *random_.Pick(combo_parts);
        components.push_back({{"product", product.code},
                              {"quantity", 1},
                              {"unit_price", Money(PriceCents(product))}});
        cents += PriceCents(product);
      }
      item["components"] = std::move(components);
      const int64_t discount = std::llround(static_cast<double>(cents) * 0.15);
      item["discount"] = Money(discount);
      total += cents - discount;
    } else {
      const MasterProduct& product = *random_.Pick(singles);
      const double quantity =
          product.weighed ? random_.Between(150, 1200) / 1000.0 : random_.Between(1, 3);
      item = {{"product", product.code},
              {"quantity", quantity},
              {"unit_price", Money(PriceCents(product))}};
      total += LineCents(quantity, PriceCents(product));
    }
    if (random_.Chance(0.2)) item["notes"] = random_.Pick(ItemNotes());
    if (!master_.occurrences.empty() && random_.Chance(0.3)) {
      const MasterOccurrence& occurrence = random_.Pick(master_.occurrences);
      item["observations"] =
          json::array({{{"group", occurrence.group}, {"code", occurrence.code}}});
    }
    items.push_back(std::move(item));
  }
  return total;
}

json ChannelOrderMaker::Payments(int64_t total, bool marketplace) {
  const auto pay = [](const char* method, int64_t cents) {
    return json{{"method", method}, {"amount", Money(cents)}};
  };
  if (total > 2000 && random_.Chance(0.3)) {
    // A meal voucher covers part of the order, the rest is paid online or by card.
    const int64_t part = std::min<int64_t>(total - 100, 1000 * random_.Between(1, 3));
    return json::array({pay("voucher", part), pay(marketplace ? "online" : "card", total - part)});
  }
  if (marketplace) return json::array({pay("online", total)});
  if (random_.Between(0, 2) == 0) {
    // Cash: the customer hands over the next round amount and gets the change.
    const int64_t step = total < 5000 ? 1000 : (total < 10000 ? 5000 : 10000);
    json cash = pay("cash", total);
    cash["change_for"] = Money((total / step + 1) * step);
    return json::array({cash});
  }
  return json::array({pay("card", total)});
}

}  // namespace zlv
