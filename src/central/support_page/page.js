// The hub's support page: the stores' presence and an order's road, read from the hub's JSON
// API with a support key and refreshed every 10 seconds.
//
// Texts from the API are put in as text (textContent), never as markup: order texts and
// failure messages come from customers and stores.
//
// The key is kept in sessionStorage: it reaches every branch, so it lives only as long as the
// tab, and a shared support desk machine keeps no key once the tab is closed.
"use strict";

const KEY_NAME = "zlvsinc-support-key";
const REFRESH_MS = 10000;

const PRESENCE = {
  online: "online",
  stale: "atrasada",
  offline: "offline",
  never: "sem contato",
};

const STATES = {
  queued: "na fila",
  handed_out: "baixado pela loja, sem confirmação",
  received: "recebido pela loja",
  open_at_store: "aberto na loja",
  closed: "fechado",
  cancelled: "cancelado",
};

const CANCEL_STATES = { done: "feito", pending: "pendente", confirmed: "confirmado pela loja" };

let stores = [];
let lookup = null; // the order being followed: {path}
let timer = null;
let round = 0; // the latest refresh: only it schedules the next, so one loop runs at a time

const $ = (id) => document.getElementById(id);

function el(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

function age(seconds) {
  if (seconds === null || seconds === undefined) return "—";
  const s = Math.max(0, Math.round(seconds));
  if (s < 60) return s + " s";
  if (s < 3600) return Math.floor(s / 60) + " min";
  if (s < 86400) return Math.floor(s / 3600) + " h " + Math.floor((s % 3600) / 60) + " min";
  return Math.floor(s / 86400) + " d " + Math.floor((s % 86400) / 3600) + " h";
}

function when(text) {
  if (!text) return "—";
  const date = new Date(text);
  return isNaN(date) ? text : date.toLocaleString("pt-BR");
}

function showStatus(text, error) {
  const status = $("status");
  status.textContent = text;
  status.className = error ? "error" : "";
}

// A failure the operator can act on: what the hub answered, or that it did not answer.
class ApiError extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

async function api(path) {
  let response;
  try {
    response = await fetch(path, {
      headers: { Authorization: "Bearer " + sessionStorage.getItem(KEY_NAME) },
      cache: "no-store",
    });
  } catch (e) {
    throw new ApiError("Hub inacessível: sem resposta de " + location.host, 0);
  }
  let body = null;
  try {
    body = await response.json();
  } catch (e) {
    // a proxy's page or an empty answer: the status says enough
  }
  if (response.status === 401) {
    throw new ApiError("Chave recusada pelo hub (401): informe uma chave de suporte válida", 401);
  }
  if (!response.ok) {
    const detail = body && (body.detail || body.title);
    throw new ApiError("Erro " + response.status + (detail ? ": " + detail : ""), response.status);
  }
  return body;
}

function askKey(message) {
  sessionStorage.removeItem(KEY_NAME);
  $("main").hidden = true;
  $("change-key").hidden = true;
  $("key-section").hidden = false;
  if (message) showStatus(message, true);
  $("key-input").focus();
}

function lastCall(calls) {
  let latest = null;
  for (const [method, call] of Object.entries(calls || {})) {
    if (latest === null || call.last_call_age_s < latest.call.last_call_age_s) {
      latest = { method, call };
    }
  }
  return latest;
}

function storeMatches(store) {
  const presence = $("presence-filter").value;
  if (presence === "dark" && store.presence !== "offline" && store.presence !== "never") {
    return false;
  }
  if (presence && presence !== "dark" && store.presence !== presence) return false;
  const text = $("text-filter").value.trim().toLowerCase();
  if (!text) return true;
  return [store.branch, store.store, store.name].some((v) =>
    String(v || "").toLowerCase().includes(text));
}

function numberCell(value, alert) {
  return el("td", value, "number" + (alert && value > 0 ? " alert" : ""));
}

function renderStores() {
  const body = $("stores-body");
  body.replaceChildren();
  const shown = stores.filter(storeMatches);
  for (const store of shown) {
    const row = el("tr");
    row.dataset.store = store.branch + "/" + store.store;
    row.dataset.presence = store.presence;
    row.append(el("td", store.branch), el("td", store.store), el("td", store.name));
    const badge = el("span", PRESENCE[store.presence] || store.presence,
                     "badge presence-" + store.presence);
    const presence = el("td");
    presence.append(badge);
    presence.title = "última baixa de pedidos há " + age(store.last_download_age_s);
    row.append(presence);
    row.append(numberCell(store.orders_waiting, false));
    row.append(el("td", age(store.oldest_waiting_age_s)));
    row.append(numberCell(store.stuck, true), numberCell(store.needs_reconciliation, true));
    const call = lastCall(store.calls);
    const callCell = el("td", call ? call.method + " há " + age(call.call.last_call_age_s) : "—");
    if (call && call.call.last_failure &&
        call.call.last_failure_age_s !== null &&
        call.call.last_failure_age_s <= call.call.last_call_age_s) {
      callCell.append(el("span", "falhou: " + call.call.last_failure, "failure"));
    }
    row.append(callCell, el("td", store.version || "—"));
    body.append(row);
  }
  $("stores-count").textContent = shown.length + " de " + stores.length + " lojas";
}

function field(list, label, value, flag) {
  list.append(el("dt", label), el("dd", value, flag ? "flag" : ""));
}

function renderOrder(road) {
  const list = $("order-fields");
  list.replaceChildren();
  field(list, "Pedido no hub", road.id);
  field(list, "Filial / loja", road.branch + " / " + road.store);
  field(list, "Canal / id externo", (road.channel || "—") + " / " + (road.external_id || "—"));
  const state = el("dd", STATES[road.state] || road.state);
  state.id = "order-state";
  state.dataset.state = road.state;
  list.append(el("dt", "Situação"), state);
  field(list, "Entrou na fila", when(road.queued_at));
  const handed = road.handed_out || {};
  field(list, "Baixado pela loja",
        handed.count ? handed.count + "× (última " + when(handed.last_at) + ")" : "nenhuma vez");
  field(list, "Recebido pela loja", when(road.received_at));
  field(list, "Venda na loja",
        road.store_sale ? road.store_sale + " (resposta " + (road.store_answer || "—") + ")" : "—");
  const cancel = road.cancellation;
  field(list, "Cancelamento", cancel
    ? (CANCEL_STATES[cancel.state] || cancel.state) + " — " + (cancel.reason || "") +
      " (" + when(cancel.requested_at) + ")"
    : "—");
  field(list, "Travado", road.stuck ? "sim: baixado 3 vezes e nunca recebido" : "não",
        road.stuck);
  field(list, "A conciliar",
        road.needs_reconciliation ? "sim: confirmado e não visto nas vendas da loja" : "não",
        road.needs_reconciliation);

  const history = road.status_history || [];
  const historyBox = $("order-history");
  historyBox.replaceChildren();
  if (history.length === 0) {
    historyBox.append(el("p", "nenhum status enviado pela loja"));
  } else {
    const columns = [];
    for (const row of history) {
      for (const name of Object.keys(row)) if (!columns.includes(name)) columns.push(name);
    }
    const table = el("table");
    const head = el("tr");
    for (const name of columns) head.append(el("th", name));
    table.append(el("thead"), el("tbody"));
    table.tHead.append(head);
    for (const row of history) {
      const line = el("tr");
      for (const name of columns) line.append(el("td", row[name]));
      table.tBodies[0].append(line);
    }
    historyBox.append(table);
  }

  const problems = road.product_problems || [];
  const problemBox = $("order-problems");
  problemBox.replaceChildren();
  if (problems.length === 0) {
    problemBox.append(el("p", "nenhum"));
  } else {
    const list = el("ul");
    for (const p of problems) {
      list.append(el("li", p.product + " (" + p.arvprod + "): " + p.message));
    }
    problemBox.append(list);
  }
  $("order").hidden = false;
}

async function refreshOrder() {
  if (!lookup) return;
  try {
    const road = await api(lookup);
    $("order-error").hidden = true;
    renderOrder(road);
  } catch (e) {
    if (e.status === 401) throw e;
    $("order").hidden = true;
    $("order-error").textContent = e.status === 404 ? "Pedido não encontrado" : e.message;
    $("order-error").hidden = false;
  }
}

async function refresh() {
  clearTimeout(timer);
  const mine = ++round;
  if (!sessionStorage.getItem(KEY_NAME)) return askKey();
  try {
    const answer = await api("/v1/stores");
    stores = answer.stores || [];
    $("key-section").hidden = true;
    $("main").hidden = false;
    $("change-key").hidden = false;
    renderStores();
    await refreshOrder();
    showStatus("atualizado às " + new Date().toLocaleTimeString("pt-BR"), false);
  } catch (e) {
    if (mine !== round) return;
    if (e.status === 401) return askKey(e.message);
    showStatus(e.message, true);
  }
  if (mine === round) timer = setTimeout(refresh, REFRESH_MS);
}

function lookOrder(event) {
  event.preventDefault();
  const id = $("order-id").value.trim();
  const channel = $("order-channel").value.trim();
  const external = $("order-external").value.trim();
  if (id) {
    lookup = "/v1/orders/" + encodeURIComponent(id);
  } else if (external) {
    lookup = "/v1/orders?external_id=" + encodeURIComponent(external) +
             (channel ? "&channel=" + encodeURIComponent(channel) : "");
  } else {
    lookup = null;
    $("order").hidden = true;
    $("order-error").textContent = "Informe o número no hub, ou o canal e o id externo";
    $("order-error").hidden = false;
    return;
  }
  refresh();
}

document.addEventListener("DOMContentLoaded", () => {
  $("key-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const key = $("key-input").value.trim();
    if (!key) return;
    sessionStorage.setItem(KEY_NAME, key);
    $("key-input").value = "";
    showStatus("carregando…", false);
    refresh();
  });
  $("change-key").addEventListener("click", () => {
    clearTimeout(timer);
    askKey("");
  });
  $("order-form").addEventListener("submit", lookOrder);
  $("presence-filter").addEventListener("change", renderStores);
  $("text-filter").addEventListener("input", renderStores);
  refresh();
});
