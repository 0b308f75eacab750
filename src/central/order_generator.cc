#include "central/order_generator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zlv {

namespace {

double Cents(double value) { return std::round(value * 100.0) / 100.0; }

// Whole seconds: the store compares and prints these, fractions would only add noise.
DateTime WholeSeconds(DateTime t) {
  const CivilTime c = t.Civil();
  return DateTime::FromCivil(c.year, c.month, c.day, c.hour, c.minute, c.second);
}

}  // namespace

OrderGenerator::OrderGenerator(const MasterData& master, const StoreSchema& schema,
                               std::string branch, std::string store, uint64_t seed,
                               std::function<int64_t(const std::string&)> next_number,
                               std::vector<ConsumerRecord> known)
    : master_(master),
      branch_(std::move(branch)),
      store_(std::move(store)),
      random_(seed),
      next_number_(std::move(next_number)),
      consumers_(std::move(known)) {
  for (const auto& own : master_.consumers) {
    bool seen = false;
    for (const auto& consumer : consumers_) {
      seen = seen || (consumer.client == own.client && consumer.consumer == own.consumer);
    }
    if (!seen) consumers_.push_back(own);
  }
  for (int set = 0; set < kDownloadSetCount; ++set) {
    fields_[set] = DownloadFields(set, schema);
    required_[set] = RequiredFields(set, schema);
  }
}

void OrderGenerator::Append(GeneratedOrder& order, int set,
                            const std::map<std::string, Variant>& values) {
  const bool lenient = set == kCons || set == kConsumiFilial;
  auto row = MakeRow(fields_[set], values, lenient);
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (row[i].IsNull() && required_[set][i]) row[i] = NeutralValue(fields_[set][i], now_);
  }
  order.sets[set].rows.push_back(std::move(row));
}

ConsumerRecord& OrderGenerator::PickConsumer(DateTime now) {
  if (!consumers_.empty() && random_.Chance(0.3)) {
    auto& known = consumers_[static_cast<std::size_t>(
        random_.Between(0, static_cast<int>(consumers_.size()) - 1))];
    UpdateConsumer(random_, master_, known, now);
    return known;
  }
  consumers_.push_back(NewConsumer(random_, master_, Number("CDCONSUMIDOR"), now));
  return consumers_.back();
}

GeneratedOrder OrderGenerator::Next(DateTime now, bool scheduled) {
  now = WholeSeconds(now);
  now_ = now;
  GeneratedOrder order{branch_, store_, Number("NRVENDAREST"), scheduled, {}};
  for (int set = 0; set < kDownloadSetCount; ++set) order.sets[set].fields = fields_[set];
  const ConsumerRecord& consumer = PickConsumer(now);
  const DateTime opened = now.AddSeconds(-60.0 * random_.Between(1, 10));
  const std::string& operator_code = random_.Pick(master_.operators);
  seller_ = random_.Pick(master_.sellers);
  Append(order, kVendaRest,
         {{"CDFILIAL", branch_},
          {"CDLOJA", store_},
          {"NRVENDAREST", order.sale},
          {"DTHRABERMESA", opened},
          {"CDCLIENTE", consumer.client},
          {"CDCONSUMIDOR", consumer.consumer},
          {"CDVENDEDOR", seller_},
          {"NRPESMESAVEN", int64_t{1}},
          {"CDOPERADOR", operator_code},
          {"CDOPERULTATU", operator_code}});
  Append(order, kCons, consumer.values);
  Append(order, kConsumiFilial,
         {{"CDCLIENTE", consumer.client},
          {"CDCONSUMIDOR", consumer.consumer},
          {"CDFILIAL", branch_},
          {"DTULTATU", now},
          {"IDATUCONSUMI", "N"}});

  const DeliveryOrigin& origin = random_.Pick(DeliveryOrigins());
  double total = 0;
  const int tabs = random_.Chance(0.15) ? 2 : 1;
  for (int i = 0; i < tabs; ++i) AddTab(order, consumer, now, scheduled, origin.code, total);
  AddPayments(order, consumer, now, origin.code, total);
  return order;
}

void OrderGenerator::AddTab(GeneratedOrder& order, const ConsumerRecord& consumer, DateTime now,
                            bool scheduled, const std::string& origin, double& total) {
  const std::string tab = Number("NRCOMANDA");
  const bool marketplace = IsMarketplace(origin);
  const bool pickup = !marketplace && random_.Chance(0.1);
  const bool points = !master_.campaigns.empty() && !marketplace && random_.Chance(0.35);
  const double fee = pickup ? 0.0 : random_.Pick(std::vector<double>{4.9, 5.9, 7.9, 9.9});
  const double discount = random_.Chance(0.15) ? 5.0 : 0.0;
  DateTime due = now.AddSeconds(60.0 * random_.Between(35, 55));
  Variant scheduled_for = Variant::Null();
  if (scheduled) {
    const int minutes = 5 * random_.Between(12, 36);  // one to three hours ahead
    due = WholeSeconds(now.AddSeconds(60.0 * minutes));
    scheduled_for = due;
  }
  std::map<std::string, Variant> values = DeliveryAddress(consumer);
  const auto name = consumer.values.find("NMCONSUMIDOR");
  values.insert(DeliveryTabDefaults().begin(), DeliveryTabDefaults().end());
  values.insert({{"CDFILIAL", branch_},
                 {"NRVENDAREST", order.sale},
                 {"NRCOMANDA", tab},
                 {"DSCOMANDA", (scheduled ? "ENC_" : "DLV_") + tab},
                 {"VRDESCOMANDA", discount},
                 {"CDLOJA", store_},
                 {"VRACRCOMANDA", fee},
                 {"DTENTREGA", due},
                 {"IDORGCMDVENDA", origin},
                 {"IDRETBALLOJA", pickup ? "S" : "N"},
                 {"DSOBSCOMANDA", random_.PickText(TabNotes())},
                 {"DTHRAGENDADA", scheduled_for},
                 {"DSPREVENTREGA", pickup ? "20-30 min" : "40-50 min"},
                 {"NRCONTATOCON", consumer.values.at("NRTELECONS")},
                 {"NRLATPEDIDO", "-23." + random_.Digits(6)},
                 {"NRLONGPEDIDO", "-46." + random_.Digits(6)}});
  if (marketplace) {
    values["NRCOMANDAEXT"] = ExternalNumber(random_, origin);
    values["DSCONSUMIDOR"] = name == consumer.values.end() ? Variant::Null() : name->second;
  }
  if (discount > 0) values["DSCUPOMPROMO"] = "PROMO5";
  if (random_.Chance(0.3)) values["DSEMAILENVCUPOM"] = consumer.values.at("DSEMAILCONS");
  if (points) values["CDCAMPANHA"] = random_.Pick(master_.campaigns);
  Append(order, kComandaVen, values);
  total += fee - discount;
  AddItems(order, tab, points, total);
}

void OrderGenerator::AddItems(GeneratedOrder& order, const std::string& tab, bool points,
                              double& total) {
  // A fixed call code on some tabs (the store makes one for the others).
  const Variant call_code = random_.Chance(0.2) ? Variant(random_.Digits(3)) : Variant::Null();
  int item_number = 0;
  int combo_number = 0;
  const auto regular = master_.Products(ProductKind::Regular, true);
  const auto combo_parts = master_.Products(ProductKind::Regular, false);
  const auto combo_heads = master_.Products(ProductKind::Combo, false);
  auto extras = master_.Products(ProductKind::Extra, false);
  if (extras.empty()) extras = combo_parts;
  std::vector<const MasterProduct*> singles = regular;
  if (singles.empty()) {
    for (const auto& product : master_.products) singles.push_back(&product);
  }
  const int entries = random_.Between(1, 4);
  for (int entry = 0; entry < entries; ++entry) {
    const bool combo = !combo_heads.empty() && !combo_parts.empty() && random_.Chance(0.3);
    const MasterProduct* combo_head = combo ? random_.Pick(combo_heads) : nullptr;
    const int parts = combo ? random_.Between(2, 3) : 1;
    if (combo) ++combo_number;
    for (int part = 0; part < parts; ++part) {
      const MasterProduct& product = *random_.Pick(combo ? combo_parts : singles);
      const std::string item = std::to_string(++item_number);
      const double quantity = product.weighed ? random_.Between(150, 1200) / 1000.0
                                              : (combo ? 1.0 : random_.Between(1, 3));
      const double price = product.price;
      const double item_discount = combo ? Cents(price * quantity * 0.15) : 0.0;
      total += Cents(price * quantity) - item_discount;
      const std::map<std::string, Variant> keys = {{"CDFILIAL", branch_},
                                                   {"NRVENDAREST", order.sale},
                                                   {"NRCOMANDA", tab},
                                                   {"NRPRODCOMVEN", item}};
      auto values = keys;
      values.insert(
          {{"CDPRODUTO", product.code},
           {"QTPRODCOMVEN", quantity},
           {"VRPRECCOMVEN", price},
           {"IDSTPRCOMVEN", "1"},
           {"VRDESCCOMVEN", item_discount},
           {"VRACRCOMVEN", 0.0},
           {"NRSEQPRODCOM", combo ? Variant(std::to_string(combo_number)) : Variant::Null()},
           {"CDPRODPROMOCAO", combo ? Variant(combo_head->code) : Variant::Null()},
           {"IDIMPPRGRPROMO", "N"},
           {"CDVENDEDOR", seller_},
           {"CDLOJA", store_},
           {"IDPRODIMPFIS", "S"},
           {"VRPRECCLCOMVEN", 0.0},
           {"CDSENHAPED", call_code},
           {"IDORIGEMVENDA", "DLV"},
           {"TXPRODCOMVEN",
            random_.Chance(0.2) ? Variant(random_.Pick(ItemNotes())) : Variant::Null()},
           {"DSOBSPEDDIGCMD",
            random_.Chance(0.15) ? Variant(random_.Pick(ItemNotes())) : Variant::Null()}});
      Append(order, kItComandaVen, values);
      if (!master_.occurrences.empty() && random_.Chance(0.3)) {
        auto obs = keys;
        const MasterOccurrence& occurrence = random_.Pick(master_.occurrences);
        obs.insert({{"CDGRPOCOR", occurrence.group},
                    {"CDOCORR", occurrence.code},
                    {"QTPRODCOMVENOBS", 1.0}});
        Append(order, kObsItComandaVen, obs);
      }
      if (!combo && !product.weighed && !extras.empty() && random_.Chance(0.25)) {
        AddComposition(order, keys, extras);
      }
      if (points && random_.Chance(0.5)) {
        auto movement = keys;
        movement.insert({{"CDCAMPANHA", random_.Pick(master_.campaigns)},
                         {"IDTPMOVCONS", "C"},
                         {"VRPONTOBRINDE", std::floor(price * quantity)},
                         {"CDLOJA", store_}});
        Append(order, kMovPontoConsAux, movement);
      }
    }
  }
}

void OrderGenerator::AddComposition(GeneratedOrder& order,
                                    const std::map<std::string, Variant>& item_keys,
                                    std::vector<const MasterProduct*> parts) {
  // Distinct parts: the store keys a composition row by its product.
  std::shuffle(parts.begin(), parts.end(), random_.engine());
  const int count = std::min(static_cast<int>(parts.size()), random_.Between(1, 3));
  for (int p = 0; p < count; ++p) {
    const MasterProduct& part = *parts[static_cast<std::size_t>(p)];
    auto est = item_keys;
    est.insert({{"CDPRODUTO", part.code},
                {"QTPROCOMEST", 1.0},
                {"VRPRECCOMEST", 0.0},
                {"VRDESITCOMEST", 0.0},
                {"IDIMPPRGRPROMO", "N"},
                {"TXPRODCOMVENEST",
                 random_.Chance(0.2) ? Variant(random_.Pick(ItemNotes())) : Variant::Null()}});
    Append(order, kItComandaEst, est);
    if (!master_.occurrences.empty() && random_.Chance(0.3)) {
      auto obs = item_keys;
      const MasterOccurrence& occurrence = random_.Pick(master_.occurrences);
      obs.insert({{"CDPRODUTO", part.code},
                  {"CDGRPOCOR", occurrence.group},
                  {"CDOCORR", occurrence.code},
                  {"QTPRODCOMVENOBS", 1.0}});
      Append(order, kObsItComandaEst, obs);
    }
  }
}

void OrderGenerator::AddPayments(GeneratedOrder& order, const ConsumerRecord& consumer,
                                 DateTime now, const std::string& origin, double total) {
  total = Cents(total);
  const auto of_kind = [this](ReceiptKind kind) -> const MasterReceiptType* {
    for (const auto& type : master_.receipt_types) {
      if (type.kind == kind) return &type;
    }
    return nullptr;
  };
  int sequence = 0;
  const auto pay = [&](const MasterReceiptType& type, const char* movement, double amount) {
    std::map<std::string, Variant> values = {{"CDFILIAL", branch_},
                                             {"NRVENDAREST", order.sale},
                                             {"NRSEQMOVDLV", std::to_string(++sequence)},
                                             {"IDTIPOMOVIVEDLV", movement},
                                             {"VRMOVIVENDDLV", Cents(amount)},
                                             {"CDTIPORECE", type.code},
                                             {"CDCLIENTE", consumer.client},
                                             {"CDCONSUMIDOR", consumer.consumer}};
    if (type.kind == ReceiptKind::Card) {
      values["NRCARTBANCODLV"] = "************" + random_.Digits(4);
      values["CDNSUTEFDLV"] = random_.Digits(9);
      values["NRAUTORIZATEFDLV"] = random_.Digits(6);
      values["DTHRACESSOCAT"] = now;
    }
    Append(order, kMovCaixaDlv, values);
  };
  const MasterReceiptType* cash = of_kind(ReceiptKind::Cash);
  const MasterReceiptType* change = of_kind(ReceiptKind::Change);
  const MasterReceiptType* card = of_kind(ReceiptKind::Card);
  const MasterReceiptType* voucher = of_kind(ReceiptKind::Voucher);
  const MasterReceiptType* online = of_kind(ReceiptKind::Online);
  const MasterReceiptType& fallback = master_.receipt_types.front();
  const MasterReceiptType& electronic = card ? *card : fallback;
  const int choice = random_.Between(0, 2);
  if (voucher && total > 20 && random_.Chance(0.3)) {
    // A voucher covers part of the order, the rest is paid online or by card.
    const double part = std::min(total - 1.0, 10.0 * random_.Between(1, 3));
    pay(*voucher, "E", part);
    pay(IsMarketplace(origin) && online ? *online : electronic, "E", total - part);
  } else if (IsMarketplace(origin)) {
    pay(online ? *online : electronic, "E", total);
  } else if (choice == 0 && cash) {
    // Cash with change: the consumer hands over the next round amount.
    const double step = total < 50 ? 10.0 : (total < 100 ? 50.0 : 100.0);
    const double handed = std::ceil((total + 0.01) / step) * step;
    pay(*cash, "E", handed);
    pay(change ? *change : *cash, "S", handed - total);
  } else {
    pay(electronic, "E", total);
  }
}

}  // namespace zlv
