// ItemWalk: the body shared by the kitchen tickets and the cancellation tickets. It takes an
// order's items (one row per item of adqBuscaPedido or adqBuscaEncomenda), sorts them by the
// printer of one PRODLOJA column, and walks them, writing one ticket file per printer:
// plain items as "---> quantity  name" lines, the items of a combo as one block under the
// combo's title, each item followed by its observation lines.
//
// The ticket kinds differ in their headers, closings and combo titles; a subclass gives those.
// One object writes the tickets of one order for one column. Main thread only.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "data/dataset.h"
#include "database/named_statement.h"
#include "print/ticket_lines.h"
#include "store/services.h"

namespace zlv {

enum class PrinterColumn { Prod, Prod2, Puxa };

// "NRSEQIMPRPROD2" and "NRSEQIMPRPUXA" name their columns; anything else is the first
// production printer.
PrinterColumn ParsePrinterColumn(std::string_view column);
std::string ColumnName(PrinterColumn column);

class ItemWalk {
 public:
  virtual ~ItemWalk() = default;
  ItemWalk(const ItemWalk&) = delete;
  ItemWalk& operator=(const ItemWalk&) = delete;

 protected:
  // prefix: the file-name kind ("P_", "U_", "C2_", ...).
  ItemWalk(Services& services, PrinterColumn column, std::string prefix);

  // Loads the items, indexes them by printer, combo and item, and drops the items that have no
  // printer in the column. The observation products (adqObsProdVen) are left out of the
  // tickets unless keep_observation_products is set. Returns false when nothing is left.
  bool LoadItems(const DataPacket& items, bool keep_observation_products);

  // Writes the tickets. order_number goes into the file names.
  void Walk(std::string order_number);

  // The first item's sale number in the store (valid after LoadItems returned true).
  std::string FirstItemSale();
  const std::string& order_number() const { return order_number_; }

  // Hooks of the ticket kinds.
  virtual void AddHeader(bool opening) = 0;
  // Closes the ticket before it is saved; printer_change tells whether another follows.
  virtual void AddClosing(bool printer_change) = 0;
  // Adds the title block of a combo.
  struct Combo {
    std::string title;     // the combo's name, after "quantity - " when the store prints it
    bool own_row = false;  // the combo product itself is among the combo's rows
    std::string product;   // CDPRODPROMOCAO
    std::string sequence;  // NRSEQPRODCOM
    std::string sale;      // the store's NRVENDAREST
  };
  virtual void AddComboTitle(const Combo& combo) = 0;
  // Whether the item observation lists are printed (iFood kitchen tickets leave them out).
  virtual bool ItemObservations() const = 0;

  Services& services_;
  const PrinterColumn column_;
  TicketLines lines_;

 private:
  struct ProdLojaRow {
    std::string printer;  // the column's printer
    std::string model;    // its model, for the width
    std::string name;     // the product's printed name
  };
  const ProdLojaRow& ProdLoja(const Dataset& item);
  ProdLojaRow LookUpProdLoja(const Dataset& item);
  void TakeWidth(const ProdLojaRow& row);
  void Save();
  void PlainItem(const ProdLojaRow& row);
  void ComboBlock(const ProdLojaRow& row);
  void ComponentLines(const Dataset& combo_row);

  const std::string prefix_;
  Dataset items_;
  std::string exclusion_;  // filter text leaving out observation products; empty: none
  std::string printer_;    // the printer of the ticket being built
  std::string tracker_;    // the combo sequence last seen, for the blank line between combos
  std::string order_number_;
  NamedStatement prodloja_;
  std::map<std::pair<std::string, std::string>, ProdLojaRow> prodloja_rows_;  // product, sale
  Dataset combo_rows_;  // the items, for the combo blocks to filter
  bool combo_rows_stale_ = true;
};

}  // namespace zlv
