// The router order message: one XML document per order, element names, order and fixed texts
// as the delivery router expects them. Values are column texts (column_text.h); characters XML
// reserves are escaped by the writer.
//
// The document is written without indentation and without an XML declaration: the body goes
// out in Windows-1252, and a declaration without an encoding would claim UTF-8.
//
// Pure functions of their arguments (the datasets' cursors move); main thread.
#pragma once

#include <string>
#include <string_view>

#include "bizlib/regional.h"
#include "data/dataset.h"

namespace zlv {

// The serialized document (UTF-8) for the order on the current row of `pedido` (a row of
// adqDadosRot), with one ItensPedido/data per row of `itens` (adqDadosRotItVen) and one
// Pagamentos/data per row of `pagamentos` (adqDadosRotMovCx), each walked first to last.
// `agora` is the route's start (Rota/data/DataHoraInicio).
std::string MontaXmlPedidoRot(const Dataset& pedido, Dataset& itens, Dataset& pagamentos,
                              DateTime agora, const RegionalSettings& regional);

// The request body for a serialized document: every CR LF pair removed, Windows-1252 bytes.
std::string CorpoPedidoRot(std::string_view xml);

}  // namespace zlv
