#include "store/order_items.h"

#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

#include "bizlib/text.h"
#include "database/row_params.h"
#include "store/number_generator.h"

namespace zlv {

namespace {

using FilterTerms = std::vector<std::pair<std::string_view, std::string>>;

// Sets the parameters of a row below an order tab from the downloaded row, with the order's
// and the order tab's new numbers and the item's new number as its keys. The other values the
// writer fills itself (where the statement has them) are left to the caller.
void SetRowParams(NamedStatement& statement, const Dataset& row, const OrderUnit& unit,
                  const OrderTabNumbers& tab, const std::string& nrprodcomven) {
  SetParamsFromRow(statement, row,
                   {"P_NRVENDAREST", "P_NRCOMANDA", "P_NRPRODCOMVEN", "P_NRSEQPRODCUP",
                    "P_CDSENHAPED", "P_DTULTATU"});
  statement.SetParam("P_NRVENDAREST", unit.nrvendarest);
  statement.SetParam("P_NRCOMANDA", tab.nrcomanda);
  statement.SetParam("P_NRPRODCOMVEN", nrprodcomven);
}

// All items of an order tab share one call code: the first item's, or a new one of the day.
std::string CallCode(OrderUnit& unit) {
  const Dataset& items = unit.sets().cdsItComandaVen;
  std::string first = items.Eof() ? std::string() : items.Text("CDSENHAPED");
  if (!EmptyString(first)) return first;
  const DateTime today = unit.services().clock.Now().DateOnly();
  return TdtmZlvProxCodigo(unit.services().db, &unit.number_advances())
      .PrxVendaDia(unit.services().globals.gCDFILIAL, today);
}

// Refuses a product the central server reports problems for (unless the branch takes orders
// with such products) or that the store's product table lacks.
void CheckProduct(OrderUnit& unit, const Dataset& item) {
  OrderStatements& st = unit.statements();
  const std::string cdproduto = item.Text("CDPRODUTO");

  st.adqIDBAIXAPEDCOMP.Close();
  st.adqIDBAIXAPEDCOMP.SetParam("P_CDFILIAL", unit.services().globals.gCDFILIAL);
  st.adqIDBAIXAPEDCOMP.Open();
  const std::string baixa_pedido_completo =
      st.adqIDBAIXAPEDCOMP.IsEmpty() ? std::string()
                                     : st.adqIDBAIXAPEDCOMP.Field("IDBAIXAPEDCOMP").AsText();
  if (baixa_pedido_completo != "S") {
    std::string cdfilial = item.Text("CDFILIAL");
    // A copy: whatever the server does with its argument, every row of the order keeps the
    // sale number the generator gave it.
    std::string nrvendarest = unit.nrvendarest;
    std::string cdloja = item.Text("CDLOJA");
    std::string produto = cdproduto;
    Dataset& problems = unit.sets().cdsValidaProduto;
    problems.LoadPacket(unit.central().ValidaProduto(cdfilial, nrvendarest, cdloja, produto));
    if (!problems.IsEmpty()) {
      problems.First();
      unit.services().log.GravaLog("produto impede baixa:" + problems.Text("CDARVPROD"));
      unit.services().log.GravaLog("");
      throw std::runtime_error("Produto " + cdproduto + " falta cadastro.");
    }
  }

  st.adqProduto.Close();
  st.adqProduto.SetParam("P_CDPRODUTO", cdproduto);
  st.adqProduto.Open();
  if (st.adqProduto.IsEmpty()) {
    throw std::runtime_error("Produto " + cdproduto + " não encontrado na base local da Filial.");
  }
}

// Writes the current item and checks its product; returns false when that failed.
bool WriteItem(OrderUnit& unit, const OrderTabNumbers& tab, const std::string& call_code,
               std::string& nrprodcomven) {
  const Dataset& item = unit.sets().cdsItComandaVen;
  const Dataset& order_tab = unit.sets().cdsComandaVen;
  NamedStatement& insert = unit.statements().acmInsItComVen;
  try {
    nrprodcomven = TdtmZlvProxCodigo(unit.services().db, &unit.number_advances())
                       .PrxItemComanda(unit.order().Text("CDFILIAL"), tab.nrcomanda, 1);
    SetRowParams(insert, item, unit, tab, nrprodcomven);
    for (const char* name :
         {"QTPRODCOMVEN", "VRPRECCOMVEN", "VRDESCCOMVEN", "VRACRCOMVEN", "VRPRECCLCOMVEN"}) {
      insert.SetParam(std::string("P_") + name, ColumnFloat(item, name));
    }
    // A cancelled order tab gets cancelled items.
    insert.SetParam("P_IDSTPRCOMVEN", order_tab.Text("IDSTCOMANDA") == "4"
                                          ? std::string("6")
                                          : item.Text("IDSTPRCOMVEN"));
    insert.SetParam("P_NRSEQPRODCUP", tab.nrseqprodcup);
    insert.SetParam("P_CDSENHAPED", call_code);
    // The tickets name an item ISNULL(DSPRODUTOGEN, product name): an empty text in place of
    // a missing generic name would print the item without a name.
    insert.SetParam("P_DSPRODUTOGEN", ColumnValue(item, "DSPRODUTOGEN"));
    insert.Execute();
    CheckProduct(unit, item);
    return true;
  } catch (const std::exception& e) {
    const std::string cdproduto = item.Text("CDPRODUTO");
    unit.RecordRowFailure(e.what(), "ITCOMANDAVEN", cdproduto, cdproduto);
    return false;
  }
}

// The observations of an item that was written.
void WriteItemObservations(OrderUnit& unit, const OrderTabNumbers& tab,
                           const std::string& nrprodcomven, bool item_failed) {
  Dataset& rows = unit.sets().cdsObsItComandaVen;
  NamedStatement& insert = unit.statements().acmObsItComandaVen;
  for (; !rows.Eof() && !item_failed; rows.Next()) {
    try {
      SetRowParams(insert, rows, unit, tab, nrprodcomven);
      insert.SetParam("P_QTPRODCOMVENOBS", ColumnFloat(rows, "QTPRODCOMVENOBS"));
      insert.Execute();
    } catch (const std::exception& e) {
      unit.RecordRowFailure(e.what(), "OBSITCOMANDAVEN", rows.Text("CDOCORR"), "");
    }
  }
}

void WriteCompositions(OrderUnit& unit, const OrderTabNumbers& tab,
                       const std::string& nrprodcomven) {
  Dataset& rows = unit.sets().cdsItComandaEst;
  NamedStatement& insert = unit.statements().acmInsProdEst;
  for (; !rows.Eof(); rows.Next()) {
    try {
      SetRowParams(insert, rows, unit, tab, nrprodcomven);
      for (const char* name : {"QTPROCOMEST", "VRPRECCOMEST", "VRDESITCOMEST"}) {
        insert.SetParam(std::string("P_") + name, ColumnFloat(rows, name));
      }
      insert.SetParam("P_TXPRODCOMVENEST", ColumnValue(rows, "TXPRODCOMVENEST"));
      insert.SetParam("P_IDIMPPRGRPROMO", ColumnValue(rows, "IDIMPPRGRPROMO"));
      insert.Execute();
    } catch (const std::exception& e) {
      const std::string cdproduto = rows.Text("CDPRODUTO");
      unit.RecordRowFailure(e.what(), "ITCOMANDAEST", cdproduto, cdproduto);
    }
  }
}

// Only an item with compositions has composition observations.
void WriteCompositionObservations(OrderUnit& unit, const OrderTabNumbers& tab,
                                  const std::string& nrprodcomven) {
  Dataset& rows = unit.sets().cdsObsItComandaEst;
  const Dataset& compositions = unit.sets().cdsItComandaEst;
  NamedStatement& insert = unit.statements().acmObsItComandaEst;
  for (; !rows.Eof() && !compositions.IsEmpty(); rows.Next()) {
    try {
      SetRowParams(insert, rows, unit, tab, nrprodcomven);
      insert.SetParam("P_QTPRODCOMVENOBS", ColumnFloat(rows, "QTPRODCOMVENOBS"));
      insert.Execute();
    } catch (const std::exception& e) {
      const std::string cdproduto = rows.Text("CDPRODUTO");
      unit.RecordRowFailure(e.what(), "OBSITCOMANDAEST", cdproduto, cdproduto);
    }
  }
}

void WritePoints(OrderUnit& unit, const OrderTabNumbers& tab, const std::string& nrprodcomven) {
  Dataset& rows = unit.sets().cdsMovPontoConsAux;
  NamedStatement& insert = unit.statements().acmMovPontoConsAux;
  for (; !rows.Eof(); rows.Next()) {
    try {
      SetRowParams(insert, rows, unit, tab, nrprodcomven);
      insert.SetParam("P_VRPONTOBRINDE", ColumnFloat(rows, "VRPONTOBRINDE"));
      insert.SetParam("P_DTULTATU", unit.services().clock.Now());
      insert.Execute();
    } catch (const std::exception& e) {
      unit.RecordRowFailure(e.what(), "MOVPONTOCONSAUX", tab.nrseqprodcup, "");
    }
  }
}

}  // namespace

void WriteOrderTabContents(OrderUnit& unit, const OrderTabNumbers& tab) {
  DownloadSets& sets = unit.sets();
  const FilterTerms tab_terms = {{"CDFILIAL", unit.order().Text("CDFILIAL")},
                                 {"NRVENDAREST", unit.central_number()},
                                 {"NRCOMANDA", sets.cdsComandaVen.Text("NRCOMANDA")}};
  ApplyFilter(sets.cdsItComandaVen, LinkFilter(tab_terms));
  const std::string call_code = CallCode(unit);

  std::string nrprodcomven;
  while (!sets.cdsItComandaVen.Eof()) {
    const bool item_written = WriteItem(unit, tab, call_code, nrprodcomven);

    FilterTerms item_terms = tab_terms;
    item_terms.emplace_back("NRPRODCOMVEN", sets.cdsItComandaVen.Text("NRPRODCOMVEN"));
    const std::string item_filter = LinkFilter(item_terms);

    ApplyFilter(sets.cdsObsItComandaVen, item_filter);
    WriteItemObservations(unit, tab, nrprodcomven, !item_written);
    ApplyFilter(sets.cdsItComandaEst, item_filter);
    WriteCompositions(unit, tab, nrprodcomven);
    ApplyFilter(sets.cdsObsItComandaEst, item_filter);
    WriteCompositionObservations(unit, tab, nrprodcomven);
    ApplyFilter(sets.cdsMovPontoConsAux, item_filter);
    WritePoints(unit, tab, nrprodcomven);

    sets.cdsItComandaVen.Next();
  }
}

void WriteOrderPayments(OrderUnit& unit) {
  Dataset& rows = unit.sets().cdsMovCaixaDlv;
  NamedStatement& insert = unit.statements().acmCriaMovCaixaDlv;
  ApplyFilter(rows, LinkFilter({{"CDFILIAL", unit.order().Text("CDFILIAL")},
                                {"NRVENDAREST", unit.central_number()}}));
  for (; !rows.Eof(); rows.Next()) {
    try {
      SetParamsFromRow(insert, rows, {"P_NRVENDAREST"});
      insert.SetParam("P_NRVENDAREST", unit.nrvendarest);
      insert.SetParam("P_VRMOVIVENDDLV", ColumnFloat(rows, "VRMOVIVENDDLV"));
      // An empty access time gives the zero date-time, not NULL.
      insert.SetParam("P_DTHRACESSOCAT", rows.Field("DTHRACESSOCAT").AsDateTime());
      insert.Execute();
    } catch (const std::exception& e) {
      const std::string cdtiporece = rows.Text("CDTIPORECE");
      unit.RecordRowFailure(e.what(), "MOVCAIXADLV", cdtiporece, cdtiporece);
    }
  }
}

}  // namespace zlv
