#include "central/channel_order.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

#include "bizlib/cp1252.h"
#include "central/generator_people.h"
#include "central/order_layouts.h"

namespace zlv {

namespace {

using json = nlohmann::json;

constexpr std::size_t kMaxExternalId = 100;
constexpr std::size_t kMaxItems = 200;
constexpr std::size_t kMaxComponents = 20;
constexpr std::size_t kMaxPayments = 20;
constexpr int64_t kMaxCents = 100'000'000;  // a million in any currency is no delivery order
// A delivery without a time of its own is due this long after it was placed.
constexpr double kDeliveryMinutes = 45;

const std::vector<std::string> kPaymentMethods = {"cash", "card", "voucher", "online"};

[[noreturn]] void Fail(const std::string& pointer, const std::string& rule) {
  throw ChannelOrderError(pointer, rule);
}

// Reads the fields of one JSON object, each failure naming the field by its pointer.
class Fields {
 public:
  Fields(const json& object, std::string pointer) : object_(object), pointer_(std::move(pointer)) {
    if (!object_.is_object()) Fail(pointer_, "must be an object");
  }

  std::string At(const std::string& key) const { return pointer_ + "/" + key; }

  std::optional<std::string> Text(const std::string& key, bool required) const {
    const json* value = Find(key);
    if (value == nullptr) {
      if (required) Fail(At(key), "is required");
      return std::nullopt;
    }
    if (!value->is_string()) Fail(At(key), "must be a text");
    const std::string text = value->get<std::string>();
    if (required && text.empty()) Fail(At(key), "must not be empty");
    if (Cp1252ToUtf8(Utf8ToCp1252(text)) != text) {
      Fail(At(key), "has characters the store cannot keep (outside Windows-1252)");
    }
    return text;
  }

  // An amount in cents: a number, not negative, with at most two decimals.
  int64_t Cents(const std::string& key, bool required) const {
    const double value = Number(key, required, 0);
    if (value < 0) Fail(At(key), "must not be negative");
    const double cents = value * 100;
    if (std::fabs(cents - std::round(cents)) > 1e-6)
      Fail(At(key), "must have at most two decimals");
    if (cents > static_cast<double>(kMaxCents)) Fail(At(key), "is too large");
    return std::llround(cents);
  }

  // A quantity above zero with at most three decimals.
  double Quantity(const std::string& key) const {
    const double value = Number(key, true, 0);
    if (value <= 0) Fail(At(key), "must be above zero");
    if (std::fabs(value * 1000 - std::round(value * 1000)) > 1e-6 || value > 10'000) {
      Fail(At(key), "must have at most three decimals and be at most 10000");
    }
    return value;
  }

  bool Flag(const std::string& key) const {
    const json* value = Find(key);
    if (value == nullptr) return false;
    if (!value->is_boolean()) Fail(At(key), "must be true or false");
    return value->get<bool>();
  }

  // The array's elements (none when it is absent and not required).
  const json& List(const std::string& key, bool required, std::size_t most) const {
    static const json kNone = json::array();
    const json* value = Find(key);
    if (value == nullptr) {
      if (required) Fail(At(key), "is required");
      return kNone;
    }
    if (!value->is_array()) Fail(At(key), "must be an array");
    if (required && value->empty()) Fail(At(key), "must not be empty");
    if (value->size() > most) Fail(At(key), "must have at most " + std::to_string(most));
    return *value;
  }

  const json* Object(const std::string& key, bool required) const {
    const json* value = Find(key);
    if (value == nullptr && required) Fail(At(key), "is required");
    return value;
  }

 private:
  // The member, or nullptr when it is absent or null.
  const json* Find(const std::string& key) const {
    const auto it = object_.find(key);
    return it == object_.end() || it->is_null() ? nullptr : &*it;
  }
  double Number(const std::string& key, bool required, double fallback) const {
    const json* value = Find(key);
    if (value == nullptr) {
      if (required) Fail(At(key), "is required");
      return fallback;
    }
    if (!value->is_number()) Fail(At(key), "must be a number");
    return value->get<double>();
  }

  const json& object_;
  std::string pointer_;
};

std::string Element(const std::string& pointer, std::size_t index) {
  return pointer + "/" + std::to_string(index);
}

double Money(int64_t cents) { return static_cast<double>(cents) / 100.0; }

// A text for a column, with the field it came from: checked against the column's length
// when the row is made.
struct Sourced {
  std::string text;
  std::string pointer;
};

struct Component {
  std::string pointer;
  Sourced product;
  double quantity = 0;
  int64_t unit_cents = 0;
  std::optional<Sourced> notes;
  int64_t Cents() const { return std::llround(quantity * static_cast<double>(unit_cents)); }
};

struct Observation {
  Sourced group, code;
};

struct Item {
  Component line;  // the product itself, or the combo's code when it has components
  int64_t discount_cents = 0;
  std::vector<Observation> observations;
  std::vector<Component> components;
  int64_t Cents() const {
    if (components.empty()) return line.Cents();
    int64_t total = 0;
    for (const Component& part : components) total += part.Cents();
    return total;
  }
};

struct Payment {
  std::string pointer;
  std::string method;
  int64_t cents = 0;
  std::optional<int64_t> change_for_cents;
};

std::optional<Sourced> SourcedText(const Fields& fields, const std::string& key, bool required) {
  const auto text = fields.Text(key, required);
  if (!text) return std::nullopt;
  return Sourced{*text, fields.At(key)};
}

Component ReadComponent(const json& value, const std::string& pointer, bool priced) {
  const Fields fields(value, pointer);
  Component component;
  component.pointer = pointer;
  component.product = *SourcedText(fields, "product", true);
  component.quantity = fields.Quantity("quantity");
  component.unit_cents = priced ? fields.Cents("unit_price", true) : 0;
  component.notes = SourcedText(fields, "notes", false);
  return component;
}

Item ReadItem(const json& value, const std::string& pointer) {
  const Fields fields(value, pointer);
  const json& parts = fields.List("components", false, kMaxComponents);
  Item item;
  item.line = ReadComponent(value, pointer, parts.empty());
  if (!parts.empty() && item.line.quantity != 1) {
    Fail(fields.At("quantity"), "a combo is one item: send two combos as two items");
  }
  if (!parts.empty() && fields.Object("unit_price", false) != nullptr) {
    Fail(fields.At("unit_price"), "a combo is priced by its components");
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    item.components.push_back(ReadComponent(parts[i], Element(fields.At("components"), i), true));
  }
  item.discount_cents = fields.Cents("discount", false);
  if (item.discount_cents > item.Cents()) Fail(fields.At("discount"), "exceeds the item's amount");
  const json& observations = fields.List("observations", false, kMaxComponents);
  for (std::size_t i = 0; i < observations.size(); ++i) {
    const Fields observation(observations[i], Element(fields.At("observations"), i));
    item.observations.push_back(
        {*SourcedText(observation, "group", true), *SourcedText(observation, "code", true)});
  }
  return item;
}

Payment ReadPayment(const json& value, const std::string& pointer) {
  const Fields fields(value, pointer);
  Payment payment;
  payment.pointer = pointer;
  payment.method = *fields.Text("method", true);
  if (std::find(kPaymentMethods.begin(), kPaymentMethods.end(), payment.method) ==
      kPaymentMethods.end()) {
    Fail(fields.At("method"), "must be one of cash, card, voucher, online");
  }
  payment.cents = fields.Cents("amount", true);
  if (payment.cents == 0) Fail(fields.At("amount"), "must be above zero");
  if (fields.Object("change_for", false) != nullptr) {
    if (payment.method != "cash") Fail(fields.At("change_for"), "is for cash payments only");
    payment.change_for_cents = fields.Cents("change_for", true);
    if (*payment.change_for_cents < payment.cents) {
      Fail(fields.At("change_for"), "must not be below the amount");
    }
  }
  return payment;
}

// "12.90": an amount of cents as an error text shows it.
std::string MoneyText(int64_t cents) {
  const std::string digits = std::to_string(cents / 100);
  const int64_t rest = cents % 100;
  return digits + (rest < 10 ? ".0" : ".") + std::to_string(rest);
}

class Builder {
 public:
  explicit Builder(ChannelOrderContext& context) : context_(context) {
    for (int set = 0; set < kDownloadSetCount; ++set) {
      fields_[set] = DownloadFields(set, context_.schema);
      required_[set] = RequiredFields(set, context_.schema);
    }
  }

  GeneratedOrder Build(const json& body) {
    const Fields order(body, "");
    Read(order);
    const BranchSettings& settings = context_.settings;
    for (const auto& [value, what] :
         {std::pair{settings.client, "client"}, std::pair{settings.seller, "seller"},
          std::pair{settings.operator_code, "operator"}}) {
      if (value.empty()) {
        Fail("", "branch " + settings.branch + " has no " + what +
                     " code for channel orders (zlvsinc-central set-branch --" + what + ")");
      }
    }
    for (const Payment& payment : payments_) ReceiptType(payment.method, payment.pointer);

    GeneratedOrder made{
        settings.branch, context_.store, Number("NRVENDAREST"), scheduled_.has_value(), {}};
    for (int set = 0; set < kDownloadSetCount; ++set) made.sets[set].fields = fields_[set];
    const ConsumerRecord consumer = Consumer();
    Append(made, kVendaRest,
           {{"CDFILIAL", settings.branch},
            {"CDLOJA", context_.store},
            {"NRVENDAREST", made.sale},
            {"DTHRABERMESA", context_.now},
            {"CDCLIENTE", consumer.client},
            {"CDCONSUMIDOR", consumer.consumer},
            {"CDVENDEDOR", settings.seller},
            {"NRPESMESAVEN", int64_t{1}},
            {"CDOPERADOR", settings.operator_code},
            {"CDOPERULTATU", settings.operator_code}},
           {});
    Append(made, kCons, consumer.values, consumer_sources_);
    Append(made, kConsumiFilial,
           {{"CDCLIENTE", consumer.client},
            {"CDCONSUMIDOR", consumer.consumer},
            {"CDFILIAL", settings.branch},
            {"DTULTATU", context_.now},
            {"IDATUCONSUMI", "N"}},
           {});
    const std::string tab = Number("NRCOMANDA");
    AddTab(made, consumer, tab);
    AddItems(made, tab);
    AddPayments(made, consumer);
    return made;
  }

 private:
  using Values = std::map<std::string, Variant>;
  using Sources = std::map<std::string, std::string>;  // column -> the field it came from

  void Read(const Fields& order) {
    const auto external_id = order.Text("external_id", true);
    if (external_id->size() > kMaxExternalId) {
      Fail(order.At("external_id"),
           "must be at most " + std::to_string(kMaxExternalId) + " characters");
    }
    origin_ = SourcedText(order, "origin", false);
    if (!origin_ || origin_->text.empty()) {
      if (context_.settings.origin.empty()) {
        Fail(order.At("origin"), "is required: the branch has no default origin");
      }
      origin_ = Sourced{context_.settings.origin, order.At("origin")};
    }
    display_id_ = SourcedText(order, "display_id", false);
    notes_ = SourcedText(order, "notes", false);
    pickup_ = order.Flag("pickup");
    if (const auto when = order.Text("scheduled_for", false)) {
      scheduled_ = context_.store_time(*when);
      if (!scheduled_) {
        Fail(order.At("scheduled_for"),
             "must be an RFC 3339 time with its offset, as 2026-12-09T19:30:00-03:00");
      }
      if (*scheduled_ < context_.now) Fail(order.At("scheduled_for"), "is in the past");
    }
    fee_cents_ = order.Cents("delivery_fee", false);
    discount_cents_ = order.Cents("discount", false);

    const Fields customer(*order.Object("customer", true), order.At("customer"));
    name_ = *SourcedText(customer, "name", true);
    phone_ = *SourcedText(customer, "phone", true);
    email_ = SourcedText(customer, "email", false);
    document_ = SourcedText(customer, "document", false);
    if (const json* address = customer.Object("address", !pickup_)) {
      const Fields fields(*address, customer.At("address"));
      for (const auto& [key, column] : kAddressColumns) {
        if (auto text = SourcedText(fields, key, key == "street" || key == "number")) {
          address_[column] = std::move(*text);
        }
      }
      const BranchSettings& settings = context_.settings;
      for (const auto& [column, text, key] :
           {std::tuple{"CDPAIS", settings.country, "country_code"},
            std::tuple{"SGESTADO", settings.state, "state"},
            std::tuple{"CDMUNICIPIO", settings.municipality, "municipality_code"}}) {
        if (!text.empty() && !address_.count(column)) {
          address_[column] = Sourced{text, fields.At(key)};
        }
      }
    }

    const json& items = order.List("items", true, kMaxItems);
    int64_t total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      items_.push_back(ReadItem(items[i], Element(order.At("items"), i)));
      total += items_.back().Cents() - items_.back().discount_cents;
    }
    total += fee_cents_;
    if (discount_cents_ > total) Fail(order.At("discount"), "exceeds the order's amount");
    total -= discount_cents_;
    const json& payments = order.List("payments", true, kMaxPayments);
    int64_t paid = 0;
    for (std::size_t i = 0; i < payments.size(); ++i) {
      payments_.push_back(ReadPayment(payments[i], Element(order.At("payments"), i)));
      paid += payments_.back().cents;
    }
    if (paid != total) {
      Fail(order.At("payments"), "add up to " + MoneyText(paid) + ", the order to " +
                                     MoneyText(total) +
                                     " (items less their discounts, plus the delivery fee, less "
                                     "the discount)");
    }
  }

  std::string ReceiptType(const std::string& method, const std::string& pointer) const {
    const auto& types = context_.settings.receipt_types;
    const auto found = types.find(method);
    if (found == types.end() || found->second.empty()) {
      Fail(pointer + "/method", "branch " + context_.settings.branch + " has no receipt type for " +
                                    method + " (zlvsinc-central set-branch --receipt-" + method +
                                    ")");
    }
    return found->second;
  }

  std::string Number(const std::string& counter) {
    return std::to_string(context_.next_number(counter));
  }

  // The customer as the store keeps consumers: found by phone among the known, else new.
  ConsumerRecord Consumer() {
    ConsumerRecord* known = nullptr;
    for (ConsumerRecord& consumer : context_.consumers) {
      const auto phone = consumer.values.find("NRTELECONS");
      if (consumer.client == context_.settings.client && phone != consumer.values.end() &&
          phone->second.AsText() == phone_.text) {
        known = &consumer;
      }
    }
    if (known == nullptr) {
      context_.consumers.push_back({context_.settings.client, Number("CDCONSUMIDOR"), {}});
      known = &context_.consumers.back();
      known->values["DTCADCONS"] = context_.now;
    }
    Values& v = known->values;
    v["CDCLIENTE"] = known->client;
    v["CDCONSUMIDOR"] = known->consumer;
    if (!address_.empty()) {
      // A new address replaces the old one whole: no complement or place code of the old stays.
      for (const auto& [key, column] : kAddressColumns) v[column] = Variant::Null();
      for (const char* code : {"CDPAIS", "CDMUNICIPIO", "CDBAIRRO", "NMQUADRANTE"}) {
        v[code] = Variant::Null();
      }
    }
    Put(v, consumer_sources_, "NMCONSUMIDOR", name_);
    Put(v, consumer_sources_, "NRTELECONS", phone_);
    Put(v, consumer_sources_, "NRCELULARCONS", phone_);
    if (email_) Put(v, consumer_sources_, "DSEMAILCONS", *email_);
    if (document_) Put(v, consumer_sources_, "NRCPFRESPCON", *document_);
    for (const auto& [column, text] : address_) Put(v, consumer_sources_, column, text);
    v["DTULTATUCSUM"] = context_.now;
    v["IDATUCONSUMI"] = "N";
    return *known;
  }

  static void Put(Values& values, Sources& sources, const std::string& column,
                  const Sourced& text) {
    values[column] = text.text;
    sources[column] = text.pointer;
  }

  void AddTab(GeneratedOrder& made, const ConsumerRecord& consumer, const std::string& tab) {
    Values values = pickup_ ? Values{} : DeliveryAddress(consumer);
    Sources sources;
    for (const auto& [consumer_column, tab_column] : kTabAddressColumns) {
      if (const auto found = consumer_sources_.find(consumer_column);
          found != consumer_sources_.end() && !pickup_) {
        sources[tab_column] = found->second;
      }
    }
    const DateTime due = scheduled_ ? *scheduled_ : context_.now.AddSeconds(60 * kDeliveryMinutes);
    values.insert(DeliveryTabDefaults().begin(), DeliveryTabDefaults().end());
    values.insert({{"CDFILIAL", made.branch},
                   {"NRVENDAREST", made.sale},
                   {"NRCOMANDA", tab},
                   {"DSCOMANDA", (scheduled_ ? "ENC_" : "DLV_") + tab},
                   {"VRDESCOMANDA", Money(discount_cents_)},
                   {"CDLOJA", made.store},
                   {"VRACRCOMANDA", Money(fee_cents_)},
                   {"DTENTREGA", due},
                   {"IDRETBALLOJA", pickup_ ? "S" : "N"},
                   {"DTHRAGENDADA", scheduled_ ? Variant(*scheduled_) : Variant::Null()}});
    Put(values, sources, "IDORGCMDVENDA", *origin_);
    Put(values, sources, "NRCONTATOCON", phone_);
    if (notes_) Put(values, sources, "DSOBSCOMANDA", *notes_);
    if (display_id_) {
      Put(values, sources, "NRCOMANDAEXT", *display_id_);
      Put(values, sources, "DSCONSUMIDOR", name_);
    }
    Append(made, kComandaVen, values, sources);
  }

  void AddItems(GeneratedOrder& made, const std::string& tab) {
    int item_number = 0;
    int combo_number = 0;
    for (const Item& item : items_) {
      const bool combo = !item.components.empty();
      if (combo) ++combo_number;
      const std::vector<Component> lines = combo ? item.components : std::vector{item.line};
      for (std::size_t l = 0; l < lines.size(); ++l) {
        const Component& line = lines[l];
        const Values keys = {{"CDFILIAL", made.branch},
                             {"NRVENDAREST", made.sale},
                             {"NRCOMANDA", tab},
                             {"NRPRODCOMVEN", std::to_string(++item_number)}};
        Values values = keys;
        Sources sources;
        values.insert(
            {{"QTPRODCOMVEN", line.quantity},
             {"VRPRECCOMVEN", Money(line.unit_cents)},
             {"IDSTPRCOMVEN", "1"},
             // A combo's discount goes with its first part, as one amount the store subtracts.
             {"VRDESCCOMVEN", l == 0 ? Money(item.discount_cents) : 0.0},
             {"VRACRCOMVEN", 0.0},
             {"NRSEQPRODCOM", combo ? Variant(std::to_string(combo_number)) : Variant::Null()},
             {"IDIMPPRGRPROMO", "N"},
             {"CDVENDEDOR", context_.settings.seller},
             {"CDLOJA", made.store},
             {"IDPRODIMPFIS", "S"},
             {"VRPRECCLCOMVEN", 0.0},
             {"IDORIGEMVENDA", "DLV"}});
        Put(values, sources, "CDPRODUTO", line.product);
        if (combo) Put(values, sources, "CDPRODPROMOCAO", item.line.product);
        if (line.notes) Put(values, sources, "TXPRODCOMVEN", *line.notes);
        Append(made, kItComandaVen, values, sources);
        if (l != 0) continue;
        for (const Observation& observation : item.observations) {
          Values obs = keys;
          Sources obs_sources;
          Put(obs, obs_sources, "CDGRPOCOR", observation.group);
          Put(obs, obs_sources, "CDOCORR", observation.code);
          obs["QTPRODCOMVENOBS"] = 1.0;
          Append(made, kObsItComandaVen, obs, obs_sources);
        }
      }
    }
  }

  void AddPayments(GeneratedOrder& made, const ConsumerRecord& consumer) {
    int sequence = 0;
    const auto pay = [&](const std::string& type, const char* movement, int64_t cents) {
      Append(made, kMovCaixaDlv,
             {{"CDFILIAL", made.branch},
              {"NRVENDAREST", made.sale},
              {"NRSEQMOVDLV", std::to_string(++sequence)},
              {"IDTIPOMOVIVEDLV", movement},
              {"VRMOVIVENDDLV", Money(cents)},
              {"CDTIPORECE", type},
              {"CDCLIENTE", consumer.client},
              {"CDCONSUMIDOR", consumer.consumer}},
             {});
    };
    for (const Payment& payment : payments_) {
      const std::string type = ReceiptType(payment.method, payment.pointer);
      if (payment.change_for_cents && *payment.change_for_cents > payment.cents) {
        // Cash handed over, and the change going back, as the store's cash drawer counts them.
        const auto& types = context_.settings.receipt_types;
        const auto change = types.find("change");
        pay(type, "E", *payment.change_for_cents);
        pay(change != types.end() && !change->second.empty() ? change->second : type, "S",
            *payment.change_for_cents - payment.cents);
      } else {
        pay(type, "E", payment.cents);
      }
    }
  }

  // Adds the row, first checking every text that came from the order against its column.
  void Append(GeneratedOrder& made, int set, const Values& values, const Sources& sources) {
    const std::vector<FieldDef>& fields = fields_[set];
    for (const auto& [column, pointer] : sources) {
      for (const FieldDef& field : fields) {
        if (field.name != column || field.type != FieldType::String || field.size <= 0) continue;
        const std::size_t length = Utf8ToCp1252(values.at(column).AsText()).size();
        if (length > static_cast<std::size_t>(field.size)) {
          Fail(pointer, "is longer than the store keeps: at most " + std::to_string(field.size) +
                            " characters (" + column + ")");
        }
      }
    }
    const bool lenient = set == kCons || set == kConsumiFilial;
    auto row = MakeRow(fields, values, lenient);
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (row[i].IsNull() && required_[set][i]) row[i] = NeutralValue(fields[i], context_.now);
    }
    made.sets[set].rows.push_back(std::move(row));
  }

  // The customer's address fields and the consumer's columns that keep them.
  static inline const std::vector<std::pair<std::string, std::string>> kAddressColumns = {
      {"street", "DSENDECONS"},
      {"number", "NRENDECONS"},
      {"complement", "DSCOMPLENDCONS"},
      {"reference", "DSREFERENDECONS"},
      {"postal_code", "NRCEPCONS"},
      {"district", "NMBAIRRO"},
      {"state", "SGESTADO"},
      // The store's place codes: its delivery router takes only orders whose tab names its
      // country and municipality (MUNICIPIO, ESTADO).
      {"country_code", "CDPAIS"},
      {"municipality_code", "CDMUNICIPIO"}};
  // The consumer's address columns and the order tab's columns they are copied to.
  static inline const std::vector<std::pair<std::string, std::string>> kTabAddressColumns = {
      {"DSENDECONS", "DSENDECONSCOMAN"},
      {"NRENDECONS", "NRENDECONSCOMAN"},
      {"DSCOMPLENDCONS", "DSCOMPLENDCOCOM"},
      {"DSREFERENDECONS", "DSREFENDCONSCOM"},
      {"NRCEPCONS", "NRCEPCONSCOMAND"},
      {"SGESTADO", "SGESTADO"},
      {"NMBAIRRO", "DSBAIRRO"},
      {"CDPAIS", "CDPAIS"},
      {"CDMUNICIPIO", "CDMUNICIPIO"}};

  ChannelOrderContext& context_;
  std::array<std::vector<FieldDef>, kDownloadSetCount> fields_;
  std::array<std::vector<bool>, kDownloadSetCount> required_;

  std::optional<Sourced> origin_, display_id_, notes_, email_, document_;
  Sourced name_, phone_;
  std::map<std::string, Sourced> address_;  // consumer column -> text
  bool pickup_ = false;
  std::optional<DateTime> scheduled_;
  int64_t fee_cents_ = 0, discount_cents_ = 0;
  std::vector<Item> items_;
  std::vector<Payment> payments_;
  Sources consumer_sources_;
};

}  // namespace

GeneratedOrder BuildChannelOrder(const nlohmann::json& order, ChannelOrderContext& context) {
  return Builder(context).Build(order);
}

}  // namespace zlv
