// The web host's HTTP connection fed bytes directly: the limits on what a client may send, each
// beside a request just within it, and keep-alive and pipelining.
#include "hosts/web/http_connection.h"

#include <gtest/gtest.h>

#include <vector>

namespace lexor::web {
namespace {

// Answers every request with its method and target, so that the order of answers shows.
class EchoHandler : public HttpHandler {
 public:
  HttpAnswer answer(const HttpRequest& request) override {
    HttpResponse response(http::status::ok, 11);
    response.body() = std::string(view(request.method_string())) + " " +
                      std::string(view(request.target())) + " " +
                      std::to_string(request.body().size());
    return response;
  }
  HttpResponse refusal(http::status status, std::string_view why) override {
    HttpResponse response(status, 11);
    response.body() = std::string(why);
    return response;
  }
};

struct Exchange {
  std::string out;
  bool keepOpen = true;
  bool midRequest = false;
};

// Feeds `bytes` in pieces of `piece` bytes, as a client's writes may arrive.
Exchange feed(const std::string& bytes, size_t piece = 1 << 20) {
  EchoHandler handler;
  HttpConnection connection(handler);
  Exchange exchange;
  for (size_t at = 0; at < bytes.size() && exchange.keepOpen; at += piece) {
    exchange.keepOpen =
        net::receiveWhole(connection, std::string_view(bytes).substr(at, piece), exchange.out);
  }
  exchange.midRequest = connection.midRequest();
  return exchange;
}

// A request head of at most `size` bytes and more than `size` - 64, in lines of 64 bytes.
std::string headOfSize(size_t size) {
  std::string head = "GET / HTTP/1.1\r\nHost: h\r\n";
  while (head.size() + 64 <= size)
    head += "X-" + std::to_string(100000 + head.size()) + ": " + std::string(52, 'a') + "\r\n";
  return head + "\r\n";
}

std::string get(const std::string& headers) {
  return "GET / HTTP/1.1\r\nHost: h\r\n" + headers + "\r\n";
}

std::string post(const std::string& headers, const std::string& body) {
  return "POST /LexorPeek HTTP/1.1\r\nHost: h\r\n" + headers + "\r\n" + body;
}

TEST(HttpConnectionTest, LimitsAreRefusedAndWhatIsWithinThemAnswered) {
  const std::string body64k(64 * 1024, 'b');
  const struct {
    const char* name;
    std::string request;
    const char* status;
    bool keepOpen;
  } cases[] = {
      {"head of 16 KiB in many lines", headOfSize(16 * 1024 - 2), "200", true},
      {"head over 16 KiB in many lines", headOfSize(16 * 1024 + 64), "431", false},
      {"head over 16 KiB in one line", "GET /" + std::string(17 * 1024, 'a') + " HTTP/1.1\r\n\r\n",
       "431", false},
      {"body of 64 KiB", post("Content-Length: 65536\r\n", body64k), "200", true},
      {"body over 64 KiB", post("Content-Length: 65537\r\n", body64k + "b"), "413", false},
      {"two equal lengths", post("Content-Length: 2\r\nContent-Length: 2\r\n", "{}"), "400", false},
      {"a list of lengths", post("Content-Length: 2, 2\r\n", "{}"), "400", false},
      {"a signed length", post("Content-Length: +2\r\n", "{}"), "400", false},
      {"a length that is not a number", post("Content-Length: 2x\r\n", "{}"), "400", false},
      {"POST without a length", post("", ""), "411", false},
      {"chunked", post("Transfer-Encoding: chunked\r\n", "2\r\n{}\r\n0\r\n\r\n"), "411", false},
      {"another transfer coding", post("Transfer-Encoding: gzip\r\n", ""), "411", false},
      {"not HTTP", "HELLO\r\n\r\n", "400", false},
      {"HTTP/1.0 closes after its answer", "GET /a HTTP/1.0\r\n\r\n", "200", false},
      {"HTTP/1.0 keep-alive", "GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "200", true},
      // A field the host decides by, twice (names in any case): readers could take either.
      {"two Host fields", get("host: evil\r\n"), "400", false},
      {"two token fields", get("X-LexorPeek-Token: a\r\nX-LEXORPEEK-TOKEN: b\r\n"), "400", false},
      {"two Content-Type fields", get("Content-Type: a/b\r\ncontent-type: c/d\r\n"), "400", false},
      {"two Sec-Fetch-Site fields",
       get("Sec-Fetch-Site: same-origin\r\nsec-fetch-site: cross-site\r\n"), "400", false},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1} << 20, size_t{1000}}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      const Exchange exchange = feed(c.request, piece);
      EXPECT_TRUE(exchange.out.starts_with(std::string("HTTP/1.1 ") + c.status)) << exchange.out;
      EXPECT_EQ(exchange.out.find("HTTP/1.1 ", 1), std::string::npos);  // one answer only
      EXPECT_EQ(exchange.keepOpen, c.keepOpen);
      EXPECT_EQ(exchange.out.find("Connection: close") != std::string::npos, !c.keepOpen);
    }
  }
  // A 1.0 client keeps the connection only when told so.
  EXPECT_NE(feed("GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n")
                .out.find("Connection: keep-alive\r\n"),
            std::string::npos);
}

TEST(HttpConnectionTest, PipelinedRequestsAreAnsweredInOrder) {
  const std::string requests = "GET /one HTTP/1.1\r\nHost: h\r\n\r\n" +
                               post("Content-Length: 5\r\n", "12345") +
                               "GET /three HTTP/1.1\r\nHost: h\r\n\r\nGET /fou";
  for (size_t piece : {size_t{1} << 20, size_t{7}, size_t{1}}) {
    const Exchange exchange = feed(requests, piece);
    const size_t one = exchange.out.find("GET /one 0");
    const size_t two = exchange.out.find("POST /LexorPeek 5");
    const size_t three = exchange.out.find("GET /three 0");
    EXPECT_TRUE(one < two && two < three && three != std::string::npos) << exchange.out;
    EXPECT_TRUE(exchange.keepOpen && exchange.midRequest) << piece;  // the fourth is half sent
  }
  EXPECT_FALSE(feed("GET /one HTTP/1.1\r\n\r\n").midRequest);
}

}  // namespace
}  // namespace lexor::web
