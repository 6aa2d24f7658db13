// The web host: its HTTP connection fed bytes directly (the limits on what a client may send,
// each beside a request just within it, keep-alive and pipelining); a session for each page served
// and none for a page opened by another site, calls reaching their own page's session only.
#include "hosts/web/web_host.h"

#include <gtest/gtest.h>

#include <regex>

#include "hosts/web/http_connection.h"
#include "platform/log.h"
#include "tests/support/peek_test_home.h"

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
  HttpResponse refusal(http::status status, std::string_view) override {
    return HttpResponse(status, 11);
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
  for (size_t at = 0; at < bytes.size() && exchange.keepOpen; at += piece)
    exchange.keepOpen =
        net::receiveWhole(connection, std::string_view(bytes).substr(at, piece), exchange.out);
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
  const std::string kept = feed("GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").out;
  EXPECT_NE(kept.find("Connection: keep-alive\r\n"), std::string::npos) << kept;
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

constexpr uint16_t kPort = 4321;

class WebHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _home.writeDictionary("one1.dic", {testing::entry("go", "行く")});
    _home.writeDictionary("two1.dic", {testing::entry("gehen", "to go")});
    for (const char* name : {"widget.css", "widget.js", "lexorpeek.js", "favicon.svg"})
      _files.write(name, "x");
    _files.write("index.html", R"(<meta name="lexorpeek-token" content="@LEXORPEEK_TOKEN@">)");
  }

  std::unique_ptr<WebHost> makeHost(size_t maxSessions) {
    std::string error;
    std::optional<WidgetFiles> files =
        WidgetFiles::load(_files.path().string(), _files.path().string(), &error);
    EXPECT_TRUE(files) << error;
    auto host = std::make_unique<WebHost>(std::move(*files),
                                          PageSessions::Limits{.maxSessions = maxSessions});
    host->setPort(kPort);
    return host;
  }

  // The host's answer to a request to it, its work done here when it has any.
  static HttpResponse answer(WebHost& host, HttpRequest r) {
    r.set(http::field::host, "127.0.0.1:" + std::to_string(kPort));
    HttpAnswer answer = host.answer(r);
    if (auto* deferred = std::get_if<DeferredResponse>(&answer)) return deferred->run({});
    return std::get<HttpResponse>(std::move(answer));
  }

  // Loads the page and gives the token it carries ("" when it carries none).
  static std::string openPage(WebHost& host, const char* site = nullptr) {
    HttpRequest page(http::verb::get, "/", 11);
    if (site) page.set("Sec-Fetch-Site", site);
    const std::string body = answer(host, page).body();
    std::smatch token;
    return std::regex_search(body, token, std::regex("content=\"([0-9a-f]{64})\"")) ? token[1].str()
                                                                                    : "";
  }

  static HttpResponse call(WebHost& host, const std::string& token, std::string body) {
    HttpRequest r(http::verb::post, "/LexorPeek", 11);
    r.set("X-LexorPeek-Token", token);
    r.body() = std::move(body);
    return answer(host, r);
  }

  testing::PeekTestHome _home;
  testing::TempDir _files;
  CapturingLogSink _log;
};

TEST_F(WebHostTest, EachPageServedHasASessionOfItsOwn) {
  auto host = makeHost(64);
  const std::string first = openPage(*host);
  const std::string second = openPage(*host, "same-origin");
  ASSERT_TRUE(!first.empty() && !second.empty() && first != second);
  call(*host, first, R"({"op":"useNthDic","args":[0]})");
  call(*host, second, R"({"op":"useNthDic","args":[1]})");
  const std::string query = R"([{"op":"queryWithWord","args":["g"]},{"op":"getRecordAsText"}])";
  EXPECT_EQ(call(*host, first, query).body(), R"([{"result":true},{"result":"go<br>行く"}])");
  EXPECT_EQ(call(*host, second, query).body(), R"([{"result":true},{"result":"gehen<br>to go"}])");
  EXPECT_EQ(host->sessions().size(), 2u);
}

// A page opened by another site gets no session; a full table gives up the least used session,
// whose page is told to reload, and its token opens nothing any more.
TEST_F(WebHostTest, RefusalsMakeNoSessionAndRunNoCall) {
  auto host = makeHost(1);
  for (const char* site : {"cross-site", "same-site", "Cross-Site", "SAME-SITE"})
    EXPECT_EQ(openPage(*host, site), "") << site;
  EXPECT_EQ(host->sessions().size(), 0u);
  const std::string first = openPage(*host);
  const std::string second = openPage(*host);
  const HttpResponse evicted = call(*host, first, R"({"op":"dicCount"})");
  EXPECT_EQ(evicted.result(), http::status::forbidden);
  EXPECT_NE(evicted.body().find("reload the page"), std::string::npos);
  EXPECT_EQ(call(*host, second, R"({"op":"dicCount"})").body(), R"({"result":2})");
  EXPECT_EQ(host->sessions().size(), 1u);
}

}  // namespace
}  // namespace lexor::web
