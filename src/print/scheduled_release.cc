#include "print/scheduled_release.h"

#include <charconv>
#include <stdexcept>

#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "database/named_statement.h"
#include "print/delivery_ticket.h"
#include "print/production_ticket.h"

namespace zlv {

namespace {

// Three hours: the production lead time of a store that never set one.
constexpr const char* kDefaultLeadTime = "180";

// Switches the timer off for the life of the release and on again however it ends.
class TimerOff {
 public:
  explicit TimerOff(const TimerSwitch& timer) : timer_(timer) {
    if (timer_) timer_(false);
  }
  ~TimerOff() {
    if (timer_) timer_(true);
  }
  TimerOff(const TimerOff&) = delete;
  TimerOff& operator=(const TimerOff&) = delete;

 private:
  const TimerSwitch& timer_;
};

void ReadInto(Services& services, const char* query, const std::string& cdfilial,
              const std::string& cdloja, int lead_minutes, Dataset& target) {
  NamedStatement statement(services.db, query);
  statement.SetParam("P_CDFILIAL", cdfilial);
  statement.SetParam("P_CDLOJA", cdloja);
  statement.SetParam("P_NRTEMPOPROD", lead_minutes);
  target.LoadPacket(statement.Packet());
}

void Release(Services& services, TicketSources& sources, const std::string& cdfilial,
             const std::string& cdcaixa) {
  NamedStatement lead(services.db, "adqTempoProd");
  lead.SetParam("P_CDFILIAL", cdfilial);
  lead.SetParam("P_CDCAIXA", cdcaixa);
  lead.Open();
  std::string lead_text = lead.IsEmpty() ? "" : lead.Field("NRTEMPOPRODUCAO").AsText();
  if (lead_text.empty()) lead_text = kDefaultLeadTime;
  const std::string cdloja = lead.IsEmpty() ? "" : lead.Field("CDLOJA").AsText();
  const int lead_minutes = LeadTimeMinutes(lead_text);

  Dataset& sales = sources.cdsVendaRest;
  ReadInto(services, "adqEncVendarest", cdfilial, cdloja, lead_minutes, sales);
  if (sales.IsEmpty()) return;
  ReadInto(services, "adqEncComandaVen", cdfilial, cdloja, lead_minutes, sources.cdsComandaVen);
  ReadInto(services, "adqEncConsumidor", cdfilial, cdloja, lead_minutes, sources.cdsCons);

  NamedStatement released(services.db, "acmUpdSincAgenda");
  for (sales.First(); !sales.Eof(); sales.Next()) {
    // The writers log their own failures; the order counts as released either way, so a
    // ticket that cannot be written never blocks the orders behind it.
    for (const char* column : {"NRSEQIMPRPROD", "NRSEQIMPRPROD2", "NRSEQIMPRPUXA"}) {
      MontaArquivoPedido_(services, sources, column, "E");
    }
    MontaArquivoEntrega(services, sources, "E");
    released.SetParam("P_CDFILIAL", sales.Text("CDFILIAL"));
    released.SetParam("P_NRVENDAREST", sales.Text("NRVENDAREST"));
    released.Execute();
  }
}

}  // namespace

int LeadTimeMinutes(const std::string& text) {
  int minutes = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [stop, error] = std::from_chars(begin, end, minutes);
  if (error != std::errc() || stop != end || begin == end) {
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  }
  return minutes;
}

void SincronizaENC(Services& services, TicketSources& sources, const std::string& cdfilial,
                   const std::string& cdcaixa, const TimerSwitch& timer) {
  TimerOff off(timer);
  try {
    Release(services, sources, cdfilial, cdcaixa);
  } catch (const std::exception& e) {
    services.log.GravaLog(std::string("Metodo \"SincronizaENC\": Erro -> ") + LogText(e.what()));
  }
}

}  // namespace zlv
