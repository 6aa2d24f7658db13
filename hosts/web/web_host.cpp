#include "hosts/web/web_host.h"

#include <boost/beast/core/string.hpp>

#include "hosts/web/request_guard.h"
#include "plugin/lexor_peek.h"
#include "plugin/script_dispatcher.h"

namespace lexor::web {
namespace {

constexpr std::string_view kScriptPath = "/LexorPeek";
constexpr std::string_view kJson = "application/json";

// No inline script, no eval, no plug-ins, nothing from elsewhere: even if a dictionary's text got
// past the page's sanitizer, the browser would refuse to run it.
constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'; "
    "object-src 'none'";

std::string jsonError(std::string_view message) {
  // The messages are this host's own ASCII texts, so they need no escaping.
  return "{\"error\":\"" + std::string(message) + "\"}";
}

std::string_view pathOf(std::string_view target) { return target.substr(0, target.find('?')); }

}  // namespace

HttpResponse WebHost::respond(http::status status, std::string body,
                              std::string_view contentType) const {
  HttpResponse response(status, 11);
  response.set(http::field::content_type,
               boost::beast::string_view(contentType.data(), contentType.size()));
  response.set("Content-Security-Policy", boost::beast::string_view(kContentSecurityPolicy.data(),
                                                                    kContentSecurityPolicy.size()));
  response.set("X-Content-Type-Options", "nosniff");
  response.set("Referrer-Policy", "no-referrer");
  response.set(http::field::x_frame_options, "DENY");
  response.set("Cross-Origin-Resource-Policy", "same-origin");
  response.set(http::field::cache_control, "no-store");
  response.body() = std::move(body);
  return response;
}

HttpResponse WebHost::refusal(http::status status, std::string_view why) {
  return respond(status, jsonError(why), kJson);
}

HttpAnswer WebHost::answer(const HttpRequest& request) {
  // Host and Origin name this very server, or the request comes from a page that does not.
  if (!isOwnHost(view(request[http::field::host]), _port))
    return refusal(http::status::forbidden, "forbidden: unknown host");
  if (request.count(http::field::origin) > 0 &&
      !isOwnOrigin(view(request[http::field::origin]), _port)) {
    return refusal(http::status::forbidden, "forbidden: foreign origin");
  }
  const std::string_view path = pathOf(view(request.target()));
  if (request.method() == http::verb::post) {
    if (path != kScriptPath) return refusal(http::status::not_found, "not found");
    return answerScriptCall(request);
  }
  if (request.method() != http::verb::get)
    return refusal(http::status::method_not_allowed, "method not allowed");
  const WidgetFile* file = _files.find(path);
  if (!file) return refusal(http::status::not_found, "not found");
  if (file->isPage) return servePage(request, *file);
  return respond(http::status::ok, file->body, file->contentType);
}

HttpResponse WebHost::servePage(const HttpRequest& request, const WidgetFile& page) {
  // A page of another site (or of a sibling one) loading ours in a frame or a window would make a
  // session nobody uses: it gets none, so that such pages cannot fill the table.
  const boost::beast::string_view site = request["Sec-Fetch-Site"];
  if (boost::beast::iequals(site, "cross-site") || boost::beast::iequals(site, "same-site")) {
    return refusal(http::status::forbidden, "forbidden: opened from another site");
  }
  std::optional<std::string> token = makeToken();
  if (!token) return refusal(http::status::internal_server_error, "no random bytes for a session");
  if (!_sessions.open(*token, PageSessions::Clock::now()))
    return refusal(http::status::internal_server_error, "cannot create the plug-in object");
  return respond(http::status::ok, WidgetFiles::withToken(page, *token), page.contentType);
}

HttpAnswer WebHost::answerScriptCall(const HttpRequest& request) {
  std::shared_ptr<LexorPeek> peek = _sessions.hold(
      view(request[boost::beast::string_view(kTokenHeader.data(), kTokenHeader.size())]),
      PageSessions::Clock::now());
  if (!peek) {
    return refusal(http::status::forbidden,
                   "forbidden: unknown or expired session; reload the page");
  }
  // The calls run on a worker, in the order of the page's session whichever connection sent
  // them; the session stays alive for them even if the table gives it up meanwhile.
  const void* lane = peek.get();
  return DeferredResponse{
      lane, [this, peek = std::move(peek), body = request.body()](std::stop_token stop) {
        const RequestBudget budget{_budget.time, _budget.maxAnswerBytes, std::move(stop)};
        return respond(http::status::ok, handleScriptRequest(*peek, body, budget), kJson);
      }};
}

}  // namespace lexor::web
