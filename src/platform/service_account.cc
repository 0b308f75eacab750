#include "platform/service_account.h"

#include <algorithm>
#include <cctype>

namespace zlv::platform {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The part after the last backslash: "NT AUTHORITY\LocalService" -> "LocalService".
std::string_view BareName(std::string_view name) {
  const auto slash = name.rfind('\\');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

}  // namespace

std::optional<std::string> WellKnownAccountSid(std::string_view start_name) {
  if (start_name.empty() || SameText(start_name, "LocalSystem")) {
    return std::string(kLocalSystemSid);
  }
  const bool nt_authority =
      SameText(start_name.substr(0, start_name.rfind('\\') + 1), "NT AUTHORITY\\");
  if (nt_authority && SameText(BareName(start_name), "LocalService")) return "S-1-5-19";
  if (nt_authority && SameText(BareName(start_name), "NetworkService")) return "S-1-5-20";
  return std::nullopt;
}

std::string AccountNameForLookup(std::string_view start_name) {
  if (start_name.starts_with(".\\")) start_name.remove_prefix(2);
  return std::string(start_name);
}

bool SameSid(std::string_view a, std::string_view b) { return SameText(a, b); }

bool ContaDoServico(std::string_view start_name, std::string_view process_sid,
                    const std::function<std::optional<std::string>(const std::string&)>& lookup) {
  if (process_sid.empty()) return false;
  std::optional<std::string> sid = WellKnownAccountSid(start_name);
  if (!sid) sid = lookup(AccountNameForLookup(start_name));
  return sid && SameSid(*sid, process_sid);
}

}  // namespace zlv::platform
