// What the web host answers once a request is within the connection's limits: a session for each
// page served and for no page opened by another site, calls reaching their own page's session
// only, and the refusal once the session is given up.
#include "hosts/web/web_host.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/log.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor::web {
namespace {

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
