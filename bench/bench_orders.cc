#include "bench_orders.h"

#include <cmath>
#include <stdexcept>

#include "central/generator_people.h"

namespace zlv::bench {

namespace {

const MasterReceiptType& ReceiptOf(const MasterData& master, ReceiptKind kind) {
  for (const auto& type : master.receipt_types) {
    if (type.kind == kind) return type;
  }
  return master.receipt_types.front();
}

}  // namespace

FixedShapeOrders::FixedShapeOrders(Database& store_db, std::string branch, std::string store)
    : master_(LoadMasterData(store_db, branch, store)),
      branch_(std::move(branch)),
      store_(std::move(store)) {
  if (master_.occurrences.empty()) {
    throw std::runtime_error("the store has no occurrences for the items' observations");
  }
  const StoreSchema schema = StoreSchema::FromDatabase(store_db);
  for (int set = 0; set < kDownloadSetCount; ++set) {
    fields_[set] = DownloadFields(set, schema);
    required_[set] = RequiredFields(set, schema);
  }
}

void FixedShapeOrders::Append(GeneratedOrder& order, int set,
                              const std::map<std::string, Variant>& values) {
  auto row = MakeRow(fields_[set], values, /*lenient=*/set <= kConsumiFilial);
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (row[i].IsNull() && required_[set][i]) row[i] = NeutralValue(fields_[set][i], now_);
  }
  order.sets[set].rows.push_back(std::move(row));
}

GeneratedOrder FixedShapeOrders::Next(HubStore& central, DateTime now) {
  const CivilTime c = now.Civil();
  now_ = DateTime::FromCivil(c.year, c.month, c.day, c.hour, c.minute, c.second);
  const auto number = [&central](const char* counter) {
    return std::to_string(central.NextNumber(counter));
  };
  GeneratedOrder order{branch_, store_, number("NRVENDAREST"), false, {}};
  for (int set = 0; set < kDownloadSetCount; ++set) order.sets[set].fields = fields_[set];
  const ConsumerRecord consumer = NewConsumer(random_, master_, number("CDCONSUMIDOR"), now_);
  const std::string& seller = master_.sellers.front();
  const std::string& operator_code = master_.operators.front();
  Append(order, kCons, consumer.values);
  Append(order, kConsumiFilial,
         {{"CDCLIENTE", consumer.client},
          {"CDCONSUMIDOR", consumer.consumer},
          {"CDFILIAL", branch_},
          {"DTULTATU", now_},
          {"IDATUCONSUMI", "N"}});
  Append(order, kVendaRest,
         {{"CDFILIAL", branch_},
          {"CDLOJA", store_},
          {"NRVENDAREST", order.sale},
          {"DTHRABERMESA", now_.AddSeconds(-300)},
          {"CDCLIENTE", consumer.client},
          {"CDCONSUMIDOR", consumer.consumer},
          {"CDVENDEDOR", seller},
          {"NRPESMESAVEN", int64_t{1}},
          {"CDOPERADOR", operator_code},
          {"CDOPERULTATU", operator_code}});

  const std::string tab = number("NRCOMANDA");
  constexpr double kFee = 5.9;
  std::map<std::string, Variant> tab_values = DeliveryAddress(consumer);
  tab_values.insert({{"CDFILIAL", branch_},
                     {"NRVENDAREST", order.sale},
                     {"NRCOMANDA", tab},
                     {"DSCOMANDA", "DLV_" + tab},
                     {"IDSTCOMANDA", "P"},
                     {"VRDESCOMANDA", 0.0},
                     {"VRCOMISVENDE", 0.0},
                     {"CDLOJA", store_},
                     {"VRCONSUMAMIN", 0.0},
                     {"VRACRCOMANDA", kFee},
                     {"DTENTREGA", now_.AddSeconds(2700)},
                     {"IDORGCMDVENDA", "DLV_APP"},
                     {"IDRETBALLOJA", "N"},
                     {"IDIMPCUPEXP", "N"},
                     {"DSPREVENTREGA", "40-50 min"},
                     {"NRCONTATOCON", consumer.values.at("NRTELECONS")}});
  Append(order, kComandaVen, tab_values);

  const auto products = master_.Products(ProductKind::Regular, /*allow_weighed=*/false);
  double total = kFee;
  for (int i = 0; i < kItemsPerOrder; ++i) {
    const MasterProduct& product = *products.at(static_cast<std::size_t>(i) % products.size());
    const std::map<std::string, Variant> keys = {{"CDFILIAL", branch_},
                                                 {"NRVENDAREST", order.sale},
                                                 {"NRCOMANDA", tab},
                                                 {"NRPRODCOMVEN", std::to_string(i + 1)}};
    auto item = keys;
    item.insert({{"CDPRODUTO", product.code},
                 {"QTPRODCOMVEN", 1.0},
                 {"VRPRECCOMVEN", product.price},
                 {"IDSTPRCOMVEN", "1"},
                 {"VRDESCCOMVEN", 0.0},
                 {"VRACRCOMVEN", 0.0},
                 {"CDVENDEDOR", seller},
                 {"CDLOJA", store_},
                 {"IDPRODIMPFIS", "S"},
                 {"IDORIGEMVENDA", "DLV"}});
    Append(order, kItComandaVen, item);
    const MasterOccurrence& occurrence =
        master_.occurrences[static_cast<std::size_t>(i) % master_.occurrences.size()];
    auto obs = keys;
    obs.insert(
        {{"CDGRPOCOR", occurrence.group}, {"CDOCORR", occurrence.code}, {"QTPRODCOMVENOBS", 1.0}});
    Append(order, kObsItComandaVen, obs);
    total += product.price;
  }

  const double card = std::round(total * 60.0) / 100.0;  // 60 % by card, the rest in cash
  const std::pair<ReceiptKind, double> payments[kPaymentsPerOrder] = {
      {ReceiptKind::Card, card}, {ReceiptKind::Cash, std::round((total - card) * 100) / 100}};
  for (int i = 0; i < kPaymentsPerOrder; ++i) {
    Append(order, kMovCaixaDlv,
           {{"CDFILIAL", branch_},
            {"NRVENDAREST", order.sale},
            {"NRSEQMOVDLV", std::to_string(i + 1)},
            {"IDTIPOMOVIVEDLV", "E"},
            {"VRMOVIVENDDLV", payments[i].second},
            {"CDTIPORECE", ReceiptOf(master_, payments[i].first).code},
            {"CDCLIENTE", consumer.client},
            {"CDCONSUMIDOR", consumer.consumer}});
  }
  return order;
}

void FixedShapeOrders::AddTo(HubStore& central, int count, DateTime now) {
  HubTransaction transaction(central);
  for (int i = 0; i < count; ++i) central.AddOrder(Next(central, now), now);
  transaction.Commit();
}

}  // namespace zlv::bench
