// Bytes from a client through the web host's HTTP connection, cut into pieces as reads may cut
// them. Every answer is a whole HTTP/1.1 response, a refusal closes the connection, and what
// the connection holds between reads stays within the head limit plus one read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hosts/web/http_connection.h"

namespace {

using lexor::web::HttpAnswer;
using lexor::web::HttpConnection;
using lexor::web::HttpHandler;
using lexor::web::HttpRequest;
using lexor::web::HttpResponse;
namespace http = lexor::web::http;

class Handler : public HttpHandler {
 public:
  HttpAnswer answer(const HttpRequest& request) override {
    if (request.body().size() > lexor::web::kMaxRequestBody) __builtin_trap();
    HttpResponse response(http::status::ok, 11);
    response.body() = request.body();
    return response;
  }
  HttpResponse refusal(http::status status, std::string_view why) override {
    HttpResponse response(status, 11);
    response.body() = std::string(why);
    return response;
  }
};

}  // namespace

// The first byte chooses the size of the pieces (1 to 256 bytes); the rest is what the client sent.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = static_cast<size_t>(data[0]) + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  Handler handler;
  HttpConnection connection(handler);
  for (size_t at = 0; at < bytes.size(); at += piece) {
    std::string out;
    const bool keepOpen = lexor::net::receiveWhole(connection, bytes.substr(at, piece), out);
    if (!out.empty() && out.rfind("HTTP/1.1 ", 0) != 0) __builtin_trap();
    if (!keepOpen) {
      if (out.empty() || out.find("Connection: close") == std::string::npos) __builtin_trap();
      break;
    }
  }
  return 0;
}
