// The script protocol: what a malformed request answers, and that it never changes the session.
#include "plugin/script_dispatcher.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/log.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

using nlohmann::json;
using testing::entry;
using testing::PeekTestHome;

class ScriptDispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.writeDictionary("ambora52.dic", {entry("go", "行く"), entry("going", "行くこと")});
    home_.writeDictionary("revora48.dic", {entry("行く", "go")});
    peek_ = home_.construct();
  }

  // Everything a request could change, as the page and the tests see it.
  struct State {
    size_t first, second;
    int32_t current;
    bool suite, eof;
    std::optional<UString> text;
    bool operator==(const State&) const = default;
  };
  State state() {
    return {peek_->recordset(0).dicCount(),
            peek_->recordset(1).dicCount(),
            peek_->currentRecordsetIndex(),
            peek_->amboraMode(),
            peek_->_isEOF(),
            peek_->_getRecordAsText()};
  }

  PeekTestHome home_;
  CapturingLogSink log_;
  std::shared_ptr<LexorPeek> peek_;
};

TEST_F(ScriptDispatcherTest, BadRequestsAnswerAnErrorAndChangeNothing) {
  peek_->_useAmbora();
  ASSERT_TRUE(peek_->_queryWithWord(u"go"));
  const State before = state();

  const std::pair<std::string, std::string> cases[] = {
      // a request, the start of its error
      {"", "request is not JSON"},
      {R"({"op":"dicCount")", "request is not JSON"},
      {"{\"op\":\"queryWithWord\",\"args\":[\"\xff\"]}", "request is not JSON"},  // invalid UTF-8
      {"[\"dicCount\"]", "request must be a JSON object"},
      {R"({"args":[]})", "request needs \"op\""},
      {R"({"op":"bogus"})", "unknown operation: bogus"},
      {R"({"op":"_useAmbora"})", "unknown operation: _useAmbora"},
      {R"({"op":"initWithWebView"})", "unknown operation: initWithWebView"},
      {R"({"op":"useNthDic","args":[]})", "useNthDic takes 1 argument, got 0"},
      {R"({"op":"useNthDic","args":[0,1]})", "useNthDic takes 1 argument, got 2"},
      {R"({"op":"useAmbora","args":[1]})", "useAmbora takes 0 arguments, got 1"},
      {R"({"op":"useNthDic","args":"0"})", "useNthDic: \"args\" must be an array"},
      {R"({"op":"useNthDic","args":["0"]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[1.0]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[true]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[2147483648]})",
       "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[-2147483649]})",
       "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[18446744073709551615]})",
       "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"queryWithWord","args":[7]})", "queryWithWord: the argument must be a string"},
      {R"({"op":"consult","args":[["go"]]})", "consult: the argument must be a string"},
      {R"({"op":"addDictionary","args":[{}]})",
       "addDictionary: the argument must be a string or null"},
      {std::string(100000, '['), "request is not JSON"},
      {R"({"op":"consult","args":["\ud800"]})", "request is not JSON"},  // a lone surrogate
  };
  for (const auto& [request, error] : cases) {
    const std::string response = handleScriptRequest(*peek_, request);
    SCOPED_TRACE(request + " -> " + response);
    EXPECT_EQ(response.find('\n'), std::string::npos);
    const json parsed = json::parse(response, nullptr, false);
    ASSERT_TRUE(parsed.is_object() && parsed.contains("error") && !parsed.contains("result"));
    EXPECT_EQ(parsed["error"].get<std::string>().rfind(error, 0), 0u);
    EXPECT_EQ(state(), before);
  }
  // The session is still there and answers.
  EXPECT_EQ(handleScriptRequest(*peek_, R"({"op":"getRecordAsText"})"),
            R"({"result":"go<br>行く"})");
}

TEST_F(ScriptDispatcherTest, ResultsInTheirJsonForms) {
  const std::pair<const char*, const char*> exchanges[] = {
      {R"({"op":"dicCount"})", R"({"result":2})"},
      {R"({"op":"dicCount","extra":{"ignored":true}})", R"({"result":2})"},
      {R"({"op":"useNthDic","args":[0]})", R"({"result":null})"},
      {R"({"op":"queryWithWord","args":["go"]})", R"({"result":true})"},
      {R"({"op":"getRecord"})", R"({"result":["go",null,null,"行く",null]})"},
      {R"({"op":"getRecordAsText"})", R"({"result":"go<br>行く"})"},
      {R"({"op":"moveNext"})", R"({"result":true})"},
      {R"({"op":"moveNext"})", R"({"result":false})"},
      {R"({"op":"isEOF"})", R"({"result":true})"},
      {R"({"op":"getRecordAsHTML"})", R"({"result":null})"},
      {R"({"op":"queryWithWord","args":["\u884c"]})", R"({"result":false})"},
      {R"({"op":"addDictionary","args":[null]})", R"({"result":null})"},
      {R"({"op":"isAmboraAvailable"})", R"({"result":48})"},
      {R"({"op":"consult","args":["zzz"]})", R"({"result":[]})"},

  };
  for (const auto& [request, response] : exchanges) {
    EXPECT_EQ(handleScriptRequest(*peek_, request), response) << request;
  }
}

}  // namespace
}  // namespace lexor
