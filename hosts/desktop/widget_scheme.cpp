#include "hosts/desktop/widget_scheme.h"

#include <array>
#include <fstream>
#include <sstream>
#include <string_view>

namespace lexor::desktop {
namespace {

// The same policy as the web host's, less the network: scripts and styles of the page's own
// files only, nothing inline, nothing from elsewhere.
constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'; object-src 'none'";

// The page's meta element keeps its place for the web host's token; this host has no token.
constexpr std::string_view kTokenPlaceholder = "@LEXORPEEK_TOKEN@";

// The window's bridge: the page extension has already put `LexorPeek` on the window before any
// script runs, so this only says so on the page, in words, when the extension did not load, and
// looks up the word the window started with (`?word=`) once the widget's script is ready.
// In a window of its own the card needs no shadow, the window being its frame; a blurred shadow
// also costs the engine's software renderer some 50 ms a repaint, more than the rest of a look-up.
constexpr std::string_view kWindowBridge = R"js('use strict';
(function () {
  document.documentElement.style.setProperty('--shadow', 'none');
  if (!window.LexorPeek) {
    document.getElementById('widget').dataset.state = 'error';
    document.getElementById('status').textContent = 'LexorPeek cannot answer: its page ' +
      'extension did not load, so no dictionary can be read. Reinstalling LexorPeek should mend it.';
    return;
  }
  const word = new URLSearchParams(location.search).get('word');
  if (word === null) return;
  document.addEventListener('DOMContentLoaded', function () {
    const field = document.getElementById('word');
    field.value = word;
    field.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true, cancelable: true }));
  });
})();
)js";
std::string missingPage(const std::string& path) {
  return "<!doctype html><meta charset=utf-8><title>LexorPeek</title><p>LexorPeek cannot show "
         "its page: " +
         path + " cannot be read. Reinstalling LexorPeek should mend it.</p>";
}

bool readWholeFile(const std::string& path, std::string* contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return false;
  *contents = std::move(out).str();
  return true;
}

struct WidgetFile {
  std::string_view name;
  std::string_view contentType;
};

constexpr std::array<WidgetFile, 4> kWidgetFiles = {{
    {"index.html", "text/html"},
    {"widget.css", "text/css"},
    {"widget.js", "text/javascript"},
    {"favicon.svg", "image/svg+xml"},
}};

}  // namespace

WidgetScheme::WidgetScheme(const std::string& folder) {
  for (const WidgetFile& file : kWidgetFiles) {
    const std::string path = folder + "/" + std::string(file.name);
    Served served{std::string(file.contentType), {}};
    if (!readWholeFile(path, &served.body)) {
      g_printerr("lexorpeek-window: cannot read %s\n", path.c_str());
      if (file.name != "index.html") continue;
      served.body = missingPage(path);
    }
    if (file.name == "index.html") {
      if (const size_t at = served.body.find(kTokenPlaceholder); at != std::string::npos)
        served.body.erase(at, kTokenPlaceholder.size());
      _files.emplace("/", served);
    }
    _files.emplace("/" + std::string(file.name), std::move(served));
  }
  _files.emplace("/lexorpeek.js", Served{"text/javascript", std::string(kWindowBridge)});
}

void WidgetScheme::registerOn(WebKitWebContext* context) {
  webkit_web_context_register_uri_scheme(context, kWidgetScheme, answer, this, nullptr);
  // A secure context, as a page on loopback is: the page's storage and features behave alike.
  webkit_security_manager_register_uri_scheme_as_secure(
      webkit_web_context_get_security_manager(context), kWidgetScheme);
}

void WidgetScheme::answer(WebKitURISchemeRequest* request, gpointer self) {
  const auto& files = static_cast<WidgetScheme*>(self)->_files;
  const char* path = webkit_uri_scheme_request_get_path(request);
  const auto found = files.find(std::string_view(path ? path : ""));
  if (found == files.end()) {
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such file: %s", path);
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
    return;
  }
  const Served& served = found->second;
  GBytes* bytes = g_bytes_new_static(served.body.data(), served.body.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(served.body.size()));
  webkit_uri_scheme_response_set_content_type(response, served.contentType.c_str());
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Content-Security-Policy", kContentSecurityPolicy);
  soup_message_headers_append(headers, "X-Content-Type-Options", "nosniff");
  // Once headers are given, theirs is the type that counts (the engine checks it for scripts
  // and styles), so it is named in both places.
  soup_message_headers_set_content_type(headers, served.contentType.c_str(), nullptr);
  webkit_uri_scheme_response_set_http_headers(response, headers);  // takes the headers
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

}  // namespace lexor::desktop
