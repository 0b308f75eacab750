// The texts the kitchen, cancellation and delivery tickets share: origin and consumption
// labels, the order number, the quantity and fraction texts, the cleaning of observation
// pieces and the observation lines of an item.
//
// Main thread only where a function takes Services (the store connection and the log).
#pragma once

#include <string>
#include <string_view>

#include "data/dataset.h"
#include "print/ticket_lines.h"
#include "store/services.h"

namespace zlv {

// The origin name of an order tab's IDORGCMDVENDA ("DLV_IFO" -> "iFood"); empty when the code
// has none.
std::string OrigemLabel(std::string_view idorgcmdvenda);
// The consumption label of IDRETBALLOJA ("N" -> "Para entregar"); empty for other values.
std::string ConsumoLabel(std::string_view idretballoja);
// The two title lines of a continuation ticket; both empty for another IDRETBALLOJA.
struct TitleLines {
  std::string first, second;
};
TitleLines ContinuationTitle(std::string_view idorgcmdvenda, std::string_view idretballoja);

// The delivery-order number printed on the tickets: the order tab's DSCOMANDA without its
// "DLV_" (mode "D", looked up by the central sale number) or "ENC_" (mode "E", by the store's
// own sale number) marker. Empty when the sale is not found or the mode is another.
std::string BuscaNumeroPedido(Services& services, const std::string& cdfilial,
                              const std::string& nrvendarest, std::string_view mode);

// An observation piece without leading and trailing characters outside 33..126 (blanks,
// control characters, accented letters), at most 255 characters from the first one kept.
std::string LimpaTexto(std::string_view text);

// A value as the business code writes floats: up to 15 significant digits, shortest form,
// the regional decimal separator ("2", "1,5").
std::string FloatToStr(double value, const RegionalSettings& regional);

// The quantity of a unit product: a fraction below 1 ("1/2", "3/4", "1/3"), the decimal text
// otherwise. Always ends; a quantity no fraction describes within two hundredths (0.37, 0.73)
// or below one tenth without an exact hundredths fraction (0.01) is written as a decimal.
std::string FractionText(double quantity, const RegionalSettings& regional);
// FractionText plus the log line the store's support reads to check a ticket's quantities.
std::string ConvertFracionario(Services& services, double quantity);

// "---> " quantity text of an item: ConvertFracionario for a product that is not weighed
// (IDPESAPROD "N", any case), "0.000" with the regional separator otherwise, null included.
std::string QuantityText(Services& services, const Variant& quantity, std::string_view idpesaprod);

// The observation lines of the dataset's current row ("   * " + piece): the item's
// observation list DSOBSITEMVENDA (unless item_observations is false) and the typed
// observations DSOBSPEDDIGITA not already printed from the list. Nothing for an empty dataset.
void ImprimeObservacoes(TicketLines& lines, const Dataset& item, bool item_observations);

}  // namespace zlv
