#include "health/health_metrics.h"

#include <cstdio>
#include <sstream>

namespace zlv {
namespace {

class Exposition {
 public:
  Exposition(double now_steady, double unix_now) : now_steady_(now_steady), unix_now_(unix_now) {}

  void Add(const char* name, const char* type, const char* help, double value,
           const std::string& labels = {}) {
    out_ << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n'
         << name << labels << ' ' << Number(value) << '\n';
  }
  void AddInstant(const char* name, const char* help, const Instant& instant) {
    Add(name, "gauge", help, unix_now_ - (now_steady_ - instant.steady));
  }
  std::string str() const { return out_.str(); }

 private:
  static std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
  }

  double now_steady_;
  double unix_now_;
  std::ostringstream out_;
};

// Label values here are branch and register codes and the mode: digits and letters, but
// escaped as the format asks all the same.
std::string Label(const std::string& value) {
  std::string out;
  for (const char ch : value) {
    if (ch == '\\' || ch == '"') out += '\\';
    if (ch == '\n') {
      out += "\\n";
      continue;
    }
    out += ch;
  }
  return out;
}

}  // namespace

std::string HealthMetricsText(const HealthRecord& r, double now_steady, double unix_now) {
  Exposition e(now_steady, unix_now);
  e.Add("zlvsinc_info", "gauge",
        "The synchroniser of this computer: its branch, cash register and mode.", 1,
        "{branch=\"" + Label(r.branch) + "\",cash_register=\"" + Label(r.cash_register) +
            "\",mode=\"" + (r.service ? "service" : "desktop") + "\"}");
  e.AddInstant("zlvsinc_start_timestamp_seconds", "When the synchroniser's process started.",
               r.started);
  e.AddInstant("zlvsinc_heartbeat_timestamp_seconds",
               "The synchroniser's last sign of life (every tick and every order).", r.heartbeat);
  if (r.last_cycle) {
    e.AddInstant("zlvsinc_last_cycle_end_timestamp_seconds",
                 "When the last cycle ended; an old value means the file is stale.",
                 r.last_cycle->ended);
    e.Add("zlvsinc_last_cycle_duration_seconds", "gauge", "How long the last cycle took.",
          r.last_cycle->ended.steady - r.last_cycle->started.steady);
    e.Add("zlvsinc_last_cycle_success", "gauge",
          "1 when the last cycle logged no failure, 0 when it did.", r.last_cycle->ok ? 1 : 0);
  }
  if (r.last_download) {
    e.AddInstant("zlvsinc_last_download_timestamp_seconds",
                 "When the central server last answered BaixaPedidos.", *r.last_download);
  }
  e.Add("zlvsinc_cycles_total", "counter", "Cycles ended since the process started.",
        static_cast<double>(r.cycles));
  e.Add("zlvsinc_failed_cycles_total", "counter",
        "Cycles that logged a failure since the process started.",
        static_cast<double>(r.failed_cycles));
  const CycleCounters& t = r.totals;
  e.Add("zlvsinc_orders_inserted_total", "counter", "Orders written into the store database.",
        static_cast<double>(t.orders_inserted));
  e.Add("zlvsinc_orders_refused_total", "counter",
        "Orders the store database refused (logged in LOGSINCDLV).",
        static_cast<double>(t.orders_refused));
  e.Add("zlvsinc_duplicate_orders_total", "counter",
        "Orders handed out again that the store already had.", static_cast<double>(t.duplicates));
  e.Add("zlvsinc_cancellations_total", "counter", "Cancellations applied to the store's orders.",
        static_cast<double>(t.cancellations));
  e.Add("zlvsinc_tickets_written_total", "counter", "Ticket files handed to the print spooler.",
        static_cast<double>(t.tickets_written));
  e.Add("zlvsinc_sales_uploaded_total", "counter", "Order tabs sent back to the central server.",
        static_cast<double>(t.sales_uploaded));
  e.Add("zlvsinc_router_orders_sent_total", "counter", "Orders the delivery router accepted.",
        static_cast<double>(t.router_orders_sent));
  return e.str();
}

}  // namespace zlv
