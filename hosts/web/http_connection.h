// One HTTP/1.1 connection of the web host, as bytes in and bytes out: the request parser, the
// limits on what a client may send, and keep-alive and pipelining. It holds no socket, so that
// the network core can drive it and a test or a fuzzer can feed it bytes.
//
// Limits, each answered before anything else reads the request:
//   head (request line and header fields) over 16 KiB in all           431, connection closed
//   a body over 64 KiB                                                   413, connection closed
//   Content-Length present but not exactly one field of digits alone     400, connection closed
//   Transfer-Encoding of any kind, or a POST without Content-Length      411, connection closed
//   more than one Host, Content-Type, Sec-Fetch-Site or token field      400, connection closed
// Requests pipelined on one connection are answered one by one, in order.
#pragma once

// GCC 12 in C++20 needs <utility> ahead of Asio's headers, which Beast includes.
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "hosts/net/connection_protocol.h"

namespace lexor::web {

namespace http = boost::beast::http;
using HttpRequest = http::request<http::string_body>;
using HttpResponse = http::response<http::string_body>;

// Beast's views are Boost's own string_view.
inline std::string_view view(boost::beast::string_view text) { return {text.data(), text.size()}; }

inline constexpr size_t kMaxRequestHead = 16 * 1024;
inline constexpr size_t kMaxRequestBody = 64 * 1024;

// An answer that takes work: `run` gives the response on one of the network core's workers,
// one at a time in `lane`'s order (net::Work).
struct DeferredResponse {
  const void* lane = nullptr;
  std::function<HttpResponse(std::stop_token stop)> run;
};
using HttpAnswer = std::variant<HttpResponse, DeferredResponse>;

// What answers a request that passed the limits, and what a refusal looks like.
class HttpHandler {
 public:
  virtual ~HttpHandler() = default;
  virtual HttpAnswer answer(const HttpRequest& request) = 0;
  virtual HttpResponse refusal(http::status status, std::string_view why) = 0;
};

class HttpConnection : public net::ConnectionProtocol {
 public:
  explicit HttpConnection(HttpHandler& handler) : _handler(handler) {}

  net::Step received(std::string_view bytes, std::string& out) override;
  bool midRequest() const override { return !_pending.empty() || _parser.has_value(); }

 private:
  void startRequest();
  // Checks what the head declares about the body once it is in; a refusal when it breaks a limit.
  std::optional<HttpResponse> checkHead();
  // Writes the response to `out`, saying whether the connection stays open as the request's
  // version needs it said.
  static void append(HttpResponse response, const HttpRequest& request, bool keepAlive,
                     std::string& out);

  HttpHandler& _handler;
  std::string _pending;  // bytes received and not yet taken by the parser
  std::optional<http::request_parser<http::string_body>> _parser;
  size_t _headBytes = 0;  // of the current request's head, taken by the parser so far
  bool _headChecked = false;
};

}  // namespace lexor::web
