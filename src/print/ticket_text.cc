#include "print/ticket_text.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <utility>

#include "bizlib/text.h"
#include "database/named_statement.h"

namespace zlv {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 19> kOrigens{{
    {"DLV_IFO", "iFood"},       {"DLV_PJA", "Pedidos Ja"},       {"DLV_SIT", "Site"},
    {"DLV_CAL", "Call Center"}, {"DLV_INT", "Integracao"},       {"DLV_APP", "App"},
    {"DLV_ZLV", "Zelvora"},     {"DLV_TAA", "Auto Atendimento"}, {"DLV_UBR", "Uber Eats"},
    {"DLV_RAP", "Rappi"},       {"DLV_99F", "99Food"},           {"DLV_JAM", "James"},
    {"DLV_WZP", "WhatsApp"},    {"DLV_DDI", "Direto"},           {"DLV_NMO", "Neemo"},
    {"DLV_ANT", "Anota Ai"},    {"DLV_PED", "Pede Pronto"},      {"TGO_PED", "Pede Pronto"},
    {"BAL_PED", "Pede Pronto"},
}};

// How far a searched fraction may be from the quantity's hundredths: the nearest thirds,
// sixths and sevenths of the examples (0.33, 0.17, 0.13 -> 1/3, 1/6, 1/7) stay within it.
constexpr double kFractionTolerance = 0.02;

bool IsPrintable(unsigned char c) { return c >= 33 && c <= 126; }

// Splits an observation text at ";" and calls take(piece) for every piece that is not blank,
// the text after the last ";" included.
template <typename Take>
void ForEachPiece(std::string_view text, Take take) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(start, end - start);
    if (!EmptyString(piece)) take(piece);
    start = end + 1;
  }
}

}  // namespace

std::string OrigemLabel(std::string_view idorgcmdvenda) {
  for (const auto& [code, label] : kOrigens) {
    if (code == idorgcmdvenda) return std::string(label);
  }
  return {};
}

std::string ConsumoLabel(std::string_view idretballoja) {
  if (idretballoja == "N") return "Para entregar";
  if (idretballoja == "S") return "Retirar no balcao";
  if (idretballoja == "C") return "Comer no local";
  return {};
}

TitleLines ContinuationTitle(std::string_view idorgcmdvenda, std::string_view idretballoja) {
  const bool app = idorgcmdvenda == "DLV_APP";
  if (idretballoja == "S") {
    return {app ? "VENDA APLICATIVO" : "VENDA DELIVERY - TO GO", "PEDIDO RETIRAR NA LOJA"};
  }
  if (idretballoja == "N") {
    return {app ? "VENDA APLICATIVO" : "VENDA DELIVERY", "PEDIDO PARA ENTREGAR"};
  }
  if (idretballoja == "C") {
    return {app ? "VENDA APLICATIVO" : "VENDA DELIVERY", "PEDIDO PARA COMER NO LOCAL"};
  }
  return {};
}

std::string BuscaNumeroPedido(Services& services, const std::string& cdfilial,
                              const std::string& nrvendarest, std::string_view mode) {
  std::string_view query;
  std::string_view marker;
  if (mode == "D") {
    query = "adqNrComanda";
    marker = "DLV_";
  } else if (mode == "E") {
    query = "adqNrComandaEnc";
    marker = "ENC_";
  } else {
    return {};
  }
  NamedStatement statement(services.db, query);
  statement.SetParam("P_CDFILIAL", cdfilial);
  statement.SetParam("P_NRVENDAREST", nrvendarest);
  statement.Open();
  if (statement.IsEmpty()) return {};
  std::string number = statement.Field("DSCOMANDA").AsText();
  for (size_t at = number.find(marker); at != std::string::npos; at = number.find(marker, at)) {
    number.erase(at, marker.size());
  }
  return number;
}

std::string LimpaTexto(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && !IsPrintable(static_cast<unsigned char>(text[first]))) ++first;
  // Bytes of a UTF-8 multi-byte letter are all above 126, so whole letters are skipped above
  // and below, and the cut counts letters, not bytes.
  std::string kept = TextLeft(text.substr(first), 255);
  while (!kept.empty() && !IsPrintable(static_cast<unsigned char>(kept.back()))) kept.pop_back();
  return kept;
}

std::string FloatToStr(double value, const RegionalSettings& regional) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string text = buffer;
  for (char& c : text) {
    if (c == '.') c = regional.decimal_separator;
  }
  return text;
}

std::string FractionText(double quantity, const RegionalSettings& regional) {
  // Whole units, and anything that is not a plain quantity below one, print as decimals.
  if (!(quantity >= 0) || quantity >= 1) return FloatToStr(quantity, regional);
  // Hundredths, halves to the even neighbour (0.125 -> 12) as the store's rounding does.
  const int hundredths = static_cast<int>(std::nearbyint(quantity * 100));
  int h = hundredths;
  // 0 and 100 hundredths have no fraction below one worth printing; single hundredths that
  // do not reduce (0.01, 0.03, ...) have no small denominator either.
  if (h <= 0 || h >= 100) return FloatToStr(quantity, regional);
  constexpr int kHundredths = 100;
  int g = std::gcd(h, kHundredths);
  if (g > 1) return std::to_string(h / g) + "/" + std::to_string(kHundredths / g);
  if (h < 10) return FloatToStr(quantity, regional);

  // Look for a small denominator m such that h/100 is about k/m: halve h while it is half or
  // more (counting the halvings in k), then grow m until h * m is within 10 of 100.
  int k = 1;
  int m = 2;
  int d = 20;
  while (d > 10) {
    while (h >= 50) {
      h /= 2;
      ++m;
      ++k;
    }
    // m only grows and h no longer changes: past 110 no later m comes within 10 of 100
    // (0.37, 0.43, 0.57, 0.83, 0.87, 0.99, ...), so the decimal is printed instead.
    if (h * m > 110) return FloatToStr(quantity, regional);
    d = std::abs(h * m - 100);
    ++m;
  }
  --m;
  int denominator = m * h;
  g = std::gcd(h, denominator);
  const int numerator = k > 1 ? k : h / g;
  denominator /= g;
  // The halving count stands in for the numerator, which can land far from the quantity
  // (0.73 would read 2/3); such a fraction would make the kitchen produce the wrong amount.
  if (std::abs(static_cast<double>(numerator) / denominator - hundredths / 100.0) >
      kFractionTolerance) {
    return FloatToStr(quantity, regional);
  }
  return std::to_string(numerator) + "/" + std::to_string(denominator);
}

std::string ConvertFracionario(Services& services, double quantity) {
  std::string text = FractionText(quantity, services.regional);
  services.log.GravaLog("ConvertFracionario: doValor=" + FloatToStr(quantity, services.regional));
  return text;
}

std::string QuantityText(Services& services, const Variant& quantity, std::string_view idpesaprod) {
  if (UpperCase(idpesaprod) == "N") return ConvertFracionario(services, quantity.AsFloat());
  return services.regional.FormatFixed(quantity.AsFloat(), 3);
}

void ImprimeObservacoes(TicketLines& lines, const Dataset& item, bool item_observations) {
  if (item.IsEmpty()) return;
  std::string printed;
  const std::string list = item.Text("DSOBSITEMVENDA");
  if (item_observations && !EmptyString(list)) {
    ForEachPiece(list, [&](std::string_view piece) {
      std::string clean = LimpaTexto(piece);
      lines.Add("   * " + clean);
      printed += clean + ";";
    });
  }
  const std::string typed = item.Text("DSOBSPEDDIGITA");
  if (!EmptyString(typed)) {
    ForEachPiece(typed, [&](std::string_view piece) {
      std::string clean = LimpaTexto(piece);
      if (printed.find(clean + ";") == std::string::npos) lines.Add("   * " + clean);
    });
  }
}

}  // namespace zlv
