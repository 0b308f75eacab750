// The five methods of the central order server over a HubStore, as the reference server
// serves them: argument checks, then one transaction per call.
//
//  BaixaPedidos(branch, store): null, a message, or the 11 download packets: the store's
//    pending orders (at most kMaxOrdersPerDownload, oldest first) and its pending
//    cancellations whose store sale number is known.
//  UpdateSincronismo(orders, cancellations): marks them confirmed; null.
//  AtualizaPedidos([sales, tabs, items, payments, consumers, branch, store]): records the
//    state and answers [null, packet NRVENDAREST/NRVENDARESTAUX/SGSEXOCON] per sale: "D" when
//    every order tab of the sale is closed ("X", "5") or cancelled ("4"), else "S" with the
//    server's number for the sale (a new one for a sale the store opened itself).
//  AtualizaHistPedCons([rows, orders]): keeps every row with a full key and answers them.
//  ValidaProduto(branch, sale, store, product): the product problems set for the product.
//
// One thread at a time (the server's event loop).
#pragma once

#include <string>
#include <vector>

#include "central/hub_store.h"
#include "data/variant.h"

namespace zlv {

// A download stays far below the frame limit however many orders wait; the rest come with
// the next cycle, 30 s later.
inline constexpr int kMaxOrdersPerDownload = 100;

bool IsCentralMethod(const std::string& method);

// The branch and store a call names in its arguments; empty where the method names none
// (UpdateSincronismo, AtualizaHistPedCons) or the arguments are not of the method's shape.
struct CallStore {
  std::string branch, store;
};
CallStore StoreNamedBy(const std::string& method, const std::vector<Variant>& params);

// Throws BadRequest for an unknown method or arguments of the wrong shape, and any other
// exception when the method fails.
Variant CallCentralMethod(HubStore& store, const std::string& method,
                          const std::vector<Variant>& params, DateTime now);

}  // namespace zlv
