#include "central/installation_access.h"

#include "central/api_key.h"
#include "sync/protocol_rpc.h"

namespace zlv {

namespace {

[[noreturn]] void Refuse(const std::string& why) {
  throw BadRequest(rpc_code::kNotAuthorized, std::string(kNotAuthorizedText) + ": " + why);
}

std::string Whose(const Installation& installation) {
  return "(filial " + installation.branch + ", caixa " + installation.cash_register + ")";
}

void CheckStore(const Installation& installation, const std::string& branch,
                const std::string& store) {
  if (branch != installation.branch) {
    Refuse("a filial " + CutText(branch) + " não é desta instalação " + Whose(installation));
  }
  if (!installation.store.empty() && store != installation.store) {
    Refuse("a loja " + CutText(branch) + "/" + CutText(store) + " não é desta instalação " +
           Whose(installation));
  }
}

void CheckRows(const Installation& installation, const std::string& method,
               const DataPacket& packet) {
  const int branch = packet.FieldIndex("CDFILIAL"), store = packet.FieldIndex("CDLOJA");
  if (packet.rows.empty() || (branch < 0 && store < 0)) return;
  if (method == "UpdateSincronismo" && !installation.store.empty() && store < 0) {
    Refuse("as linhas de " + method + " não dizem de que loja são (CDLOJA)");
  }
  for (const auto& row : packet.rows) {
    const std::string row_branch =
        branch < 0 ? installation.branch : row.at(static_cast<std::size_t>(branch)).AsText();
    const std::string row_store =
        store < 0 ? installation.store : row.at(static_cast<std::size_t>(store)).AsText();
    CheckStore(installation, row_branch, row_store);
  }
}

void CheckValues(const Installation& installation, const std::string& method,
                 const std::vector<Variant>& values) {
  for (const Variant& value : values) {
    if (value.IsPacket()) CheckRows(installation, method, value.AsPacket());
    if (value.IsArray()) CheckValues(installation, method, value.AsArray());
  }
}

std::string TextAt(const std::vector<Variant>& args, std::size_t at) {
  return at < args.size() && args[at].IsText() ? args[at].AsText() : std::string();
}

}  // namespace

std::optional<Installation> InstallationTokens::Find(const std::string& token,
                                                     Clock::time_point now) {
  const std::string hash = ApiKeyHash(token);
  const auto kept = kept_.find(hash);
  if (kept != kept_.end() && now - kept->second.at < ttl_) return kept->second.installation;
  std::optional<Installation> installation;
  if (const auto found = store_.FindInstallationToken(hash); found && !found->revoked) {
    installation = Installation{found->branch, found->cash_register, found->store};
  }
  if (kept_.size() >= kMaxKept) kept_.clear();
  kept_[hash] = {installation, now};
  return installation;
}

void CheckScope(const Installation& installation, const std::string& method,
                const std::vector<Variant>& params) {
  if (method == "BaixaPedidos") {
    CheckStore(installation, TextAt(params, 0), TextAt(params, 1));
  } else if (method == "ValidaProduto") {
    CheckStore(installation, TextAt(params, 0), TextAt(params, 2));
  } else if (method == "AtualizaPedidos" && !params.empty() && params[0].IsArray()) {
    CheckStore(installation, TextAt(params[0].AsArray(), 5), TextAt(params[0].AsArray(), 6));
  }
  CheckValues(installation, method, params);
}

std::string TokenRefusedText() {
  return std::string(kNotAuthorizedText) + ": token inválido ou revogado";
}

std::string TokenRequiredText() {
  return std::string(kNotAuthorizedText) +
         ": esta central exige o token da instalação (Token, enviado por Autentica)";
}

std::string WithoutTokens(std::string line) {
  constexpr std::string_view kPrefix = "zlvt_";
  for (std::size_t at = line.find(kPrefix); at != std::string::npos;
       at = line.find(kPrefix, at + kPrefix.size())) {
    std::size_t end = at + kPrefix.size();
    while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) ++end;
    line.replace(at + kPrefix.size(), end - at - kPrefix.size(), "…");
  }
  return line;
}

}  // namespace zlv
