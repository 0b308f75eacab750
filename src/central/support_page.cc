#include "central/support_page.h"

#include <string>
#include <string_view>

namespace zlv {

// From the files of src/central/support_page/, generated at build time (cmake/embed_files.cmake).
std::optional<std::string_view> SupportPageFile(std::string_view name);

namespace {

struct PageFile {
  const char* target;
  const char* name;
  const char* content_type;
};

constexpr PageFile kFiles[] = {
    {"/", "index.html", "text/html; charset=utf-8"},
    {"/support/page.css", "page.css", "text/css; charset=utf-8"},
    {"/support/page.js", "page.js", "text/javascript; charset=utf-8"},
};

// Its own files and its own origin, nothing inline, no frames, no forms sent anywhere.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

}  // namespace

std::optional<HttpResponse> SupportPage(const HttpRequest& request) {
  const std::string path = request.target.substr(0, request.target.find('?'));
  for (const PageFile& file : kFiles) {
    if (path != file.target) continue;
    if (request.method != "GET") {
      return ProblemResponse({405,
                              "method-not-allowed",
                              "Method not allowed",
                              request.method + " " + path + " (allowed: GET)",
                              {},
                              false},
                             request.request_id);
    }
    const auto text = SupportPageFile(file.name);
    if (!text) break;
    HttpResponse response{200, file.content_type, std::string(*text)};
    response.headers = {{"Content-Security-Policy", kPolicy},
                        {"X-Content-Type-Options", "nosniff"},
                        {"Referrer-Policy", "no-referrer"},
                        {"Cache-Control", "no-cache"}};
    return response;
  }
  return std::nullopt;
}

}  // namespace zlv
