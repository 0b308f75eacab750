#include "print/item_walk.h"

#include <utility>
#include <vector>

#include "bizlib/text.h"
#include "data/filter.h"
#include "print/print_files.h"
#include "print/printer_config.h"
#include "print/ticket_text.h"

namespace zlv {

namespace {

constexpr std::string_view kIndexName = "Indice";

bool HasCombo(const Dataset& item) { return !item.Text("CDPRODPROMOCAO").empty(); }

// Items of one printer together, printers ascending; within a production printer the items of
// one combo together, in item order.
void IndexByPrinter(Dataset& set, PrinterColumn column) {
  std::vector<std::string> fields{ColumnName(column)};
  if (column != PrinterColumn::Puxa) {
    fields.insert(fields.end(), {"CDPRODPROMOCAO", "NRSEQPRODCOM", "NRPRODCOMVEN"});
  }
  set.AddIndex(std::string(kIndexName), std::move(fields), /*case_insensitive=*/true);
  set.SetIndexName(std::string(kIndexName));
}

}  // namespace

PrinterColumn ParsePrinterColumn(std::string_view column) {
  if (column == "NRSEQIMPRPROD2") return PrinterColumn::Prod2;
  if (column == "NRSEQIMPRPUXA") return PrinterColumn::Puxa;
  return PrinterColumn::Prod;
}

std::string ColumnName(PrinterColumn column) {
  switch (column) {
    case PrinterColumn::Prod2:
      return "NRSEQIMPRPROD2";
    case PrinterColumn::Puxa:
      return "NRSEQIMPRPUXA";
    case PrinterColumn::Prod:
      break;
  }
  return "NRSEQIMPRPROD";
}

ItemWalk::ItemWalk(Services& services, PrinterColumn column, std::string prefix)
    : services_(services),
      column_(column),
      prefix_(std::move(prefix)),
      prodloja_(services.db, "adqProdLoja") {}

bool ItemWalk::LoadItems(const DataPacket& items, bool keep_observation_products) {
  items_.LoadPacket(items);
  IndexByPrinter(items_, column_);
  items_.First();
  if (items_.Eof()) return false;

  // An observation that is itself a product (extra bacon) arrives both as the item's
  // observation and as an item of its own; the kitchen sees it once, as the observation.
  exclusion_.clear();
  if (!keep_observation_products) {
    NamedStatement obs_products(services_.db, "adqObsProdVen");
    obs_products.SetParam("P_NRVENDAREST", items_.Text("NRVENDAREST"));
    obs_products.SetParam("P_CDFILIAL", items_.Text("CDFILIAL"));
    obs_products.Open();
    for (Dataset& found = obs_products.Result(); !found.Eof(); found.Next()) {
      if (!exclusion_.empty()) exclusion_ += " AND ";
      exclusion_ += "CDPRODUTO <> " + QuoteFilterValue(found.Text("CDPRODUTO"));
    }
  }

  const std::string column = ColumnName(column_);
  for (items_.First(); !items_.Eof();) {
    if (items_.Text(column).empty()) {
      items_.Delete();
    } else {
      items_.Next();
    }
  }
  if (!EmptyString(exclusion_)) {
    items_.SetFilter(exclusion_);
    items_.SetFiltered(true);
  }
  items_.First();
  return !items_.Eof();
}

std::string ItemWalk::FirstItemSale() {
  items_.First();
  return items_.Text("NRVENDAREST");
}

// The statement returns one row per item of the sale with the product, and every item asks:
// looked up once per product and sale, a walk stays linear in the items. Within one walk the
// answer cannot change (same store, same sale, nothing written in between); the first row
// decides, as it did when each item asked.
const ItemWalk::ProdLojaRow& ItemWalk::ProdLoja(const Dataset& item) {
  std::pair<std::string, std::string> key{item.Text("CDPRODUTO"), item.Text("NRVENDAREST")};
  auto found = prodloja_rows_.find(key);
  if (found != prodloja_rows_.end()) return found->second;
  return prodloja_rows_.emplace(std::move(key), LookUpProdLoja(item)).first->second;
}

ItemWalk::ProdLojaRow ItemWalk::LookUpProdLoja(const Dataset& item) {
  prodloja_.Close();
  prodloja_.SetParam("P_CDFILIAL", services_.globals.gCDFILIAL);
  prodloja_.SetParam("P_CDPRODUTO", item.Text("CDPRODUTO"));
  prodloja_.SetParam("P_CDLOJA", services_.globals.gCDLOJA);
  prodloja_.SetParam("P_NRVENDAREST", item.Text("NRVENDAREST"));
  prodloja_.Open();
  ProdLojaRow row;
  // A product without a PRODLOJA row for the store has no printer, model or printed name.
  if (prodloja_.IsEmpty()) return row;
  row.printer = prodloja_.Field(ColumnName(column_)).AsText();
  row.model =
      prodloja_.Field(column_ == PrinterColumn::Puxa ? "MODELOPUXA" : "MODELOPROD").AsText();
  row.name = prodloja_.Field("NMPRODUTO").AsText();
  return row;
}

void ItemWalk::TakeWidth(const ProdLojaRow& row) {
  int width = lines_.width();
  ParamsImp(row.model, width);
  lines_.set_width(width);
}

void ItemWalk::Save() {
  WriteTicketFile(TicketPath(services_.exe_folder,
                             {printer_, order_number_, prefix_, services_.globals.gCDLOJA}),
                  lines_.lines());
  ++services_.globals.cycle_activity.counters.tickets_written;
  // One order can fill many tickets; each written one shows the watchdog the run is moving.
  services_.globals.Touch(services_.clock);
}

void ItemWalk::Walk(std::string order_number) {
  order_number_ = std::move(order_number);
  prodloja_rows_.clear();
  combo_rows_stale_ = true;
  lines_.Clear();
  lines_.set_width(0);
  tracker_.clear();
  items_.First();
  if (items_.Eof()) return;
  printer_ = ProdLoja(items_).printer;

  while (!items_.Eof()) {
    const ProdLojaRow row = ProdLoja(items_);
    TakeWidth(row);
    if (lines_.empty()) AddHeader(/*opening=*/true);
    if (row.printer != printer_) {
      AddClosing(/*printer_change=*/true);
      Save();
      lines_.Clear();
      printer_ = row.printer;
      TakeWidth(row);
      AddHeader(/*opening=*/false);
    }
    if (column_ == PrinterColumn::Puxa || !HasCombo(items_)) {
      PlainItem(row);
    } else {
      ComboBlock(row);
    }
  }
  if (!lines_.empty()) {
    AddClosing(/*printer_change=*/false);
    Save();
  }
}

void ItemWalk::PlainItem(const ProdLojaRow& row) {
  // A blank line between the items of different combos (combo sequence "000": none yet).
  const std::string sequence = items_.Text("NRSEQPRODCOM");
  if (EmptyString(tracker_)) {
    tracker_ = EmptyString(sequence) ? "000" : sequence;
  } else if (sequence != tracker_ && !EmptyString(sequence)) {
    lines_.AddEmpty();
    tracker_ = sequence;
  }
  if (tracker_ != sequence && tracker_ != "000") {
    lines_.AddEmpty();
    tracker_ = sequence;
  }
  if (items_.Text("IDIMPPRGRPROMO") != "S") {
    lines_.Add("---> " +
               QuantityText(services_, items_.Field("QTPRODCOMVEN"), items_.Text("IDPESAPROD")) +
               "  " + row.name);
    ImprimeObservacoes(lines_, items_, ItemObservations());
  }
  items_.Next();
}

void ItemWalk::ComboBlock(const ProdLojaRow& row) {
  const std::string combo = items_.Text("CDPRODPROMOCAO");
  tracker_ = items_.Text("NRSEQPRODCOM");

  // The rows of this combo on this printer: they follow each other in the index from here.
  // The copy they are filtered from is made and indexed once per walk, not once per combo.
  if (combo_rows_stale_) {
    combo_rows_.LoadPacket(items_.Packet());
    IndexByPrinter(combo_rows_, column_);
    combo_rows_stale_ = false;
  }
  Dataset& group = combo_rows_;
  std::string filter = "CDPRODPROMOCAO = " + QuoteFilterValue(combo) +
                       " AND NRSEQPRODCOM = " + QuoteFilterValue(tracker_) + " AND " +
                       ColumnName(column_) + " = " + QuoteFilterValue(printer_);
  if (!EmptyString(exclusion_)) filter += " AND " + exclusion_;
  group.SetFilter(filter);
  group.SetFiltered(true);

  // A combo item that finds no group (no combo sequence, or its product routed elsewhere by
  // the store) is printed as a plain item, so the walk moves on and the kitchen still sees it.
  group.First();
  if (group.Eof()) {
    PlainItem(row);
    return;
  }
  Combo head;
  head.product = combo;
  head.sequence = tracker_;
  head.sale = items_.Text("NRVENDAREST");
  for (; !group.Eof() && !head.own_row; group.Next())
    head.own_row = group.Text("CDPRODUTO") == combo;

  group.First();
  head.title = group.Text("NMPRODUTOPROM");
  if (group.Text("IDIMPQTCOMBO") == "S") {
    head.title =
        FloatToStr(group.Field("QTPRODCOMVEN").AsFloat(), services_.regional) + " - " + head.title;
  }
  AddComboTitle(head);

  for (; !group.Eof(); group.Next()) {
    ComponentLines(group);
    items_.Next();
  }
}

// One row of a combo: the parts it was made of (ITCOMANDAEST), or the row itself.
void ItemWalk::ComponentLines(const Dataset& combo_row) {
  NamedStatement parts_query(services_.db, "adqItComandaEst");
  for (const char* key : {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "NRPRODCOMVEN"}) {
    parts_query.SetParam(std::string("P_") + key, combo_row.Text(key));
  }
  Dataset parts(parts_query.Packet());
  if (!parts.IsEmpty()) {
    for (parts.First(); !parts.Eof(); parts.Next()) {
      lines_.Add("---> " +
                 QuantityText(services_, parts.Field("QTPROCOMEST"), parts.Text("IDPESAPROD")) +
                 "  " + parts.Text("NMPRODUTO"));
      ImprimeObservacoes(lines_, parts, ItemObservations());
    }
  } else if (combo_row.Text("IDIMPPRGRPROMO") != "S") {
    lines_.Add(
        "---> " +
        QuantityText(services_, combo_row.Field("QTPRODCOMVEN"), combo_row.Text("IDPESAPROD")) +
        "  " + combo_row.Text("NMPRODUTO"));
    ImprimeObservacoes(lines_, combo_row, ItemObservations());
  }
}

}  // namespace zlv
