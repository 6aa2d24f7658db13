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
    home_.makeFolder();
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
    return {peek_->recordset(0).dicCount(), peek_->recordset(1).dicCount(), peek_->currentRecordsetIndex(),
            peek_->amboraMode(), peek_->_isEOF(), peek_->_getRecordAsText()};
  }

  PeekTestHome home_;
  CapturingLogSink log_;
  std::shared_ptr<LexorPeek> peek_;
};

TEST_F(ScriptDispatcherTest, BadRequestsAnswerAnErrorAndChangeNothing) {
  peek_->_useAmbora();
  ASSERT_TRUE(peek_->_queryWithWord(u"go"));
  const State before = state();

  struct Case {
    std::string request;
    std::string error;  // the start of the answer's error
  };
  const Case cases[] = {
      {"", "request is not JSON"},
      {"not json", "request is not JSON"},
      {R"({"op":"dicCount")", "request is not JSON"},
      {"{\"op\":\"queryWithWord\",\"args\":[\"\xff\"]}", "request is not JSON"},  // invalid UTF-8
      {"{\"op\":\"queryWithWord\",\"args\":[\"\xe3\x81\"]}", "request is not JSON"},
      {"[\"dicCount\"]", "request must be a JSON object"},
      {R"("dicCount")", "request must be a JSON object"},
      {R"({"args":[]})", "request needs \"op\""},
      {R"({"op":7})", "request needs \"op\""},
      {R"({"op":"bogus"})", "unknown operation: bogus"},
      {R"({"op":"_useAmbora"})", "unknown operation: _useAmbora"},
      {R"({"op":"initWithWebView"})", "unknown operation: initWithWebView"},
      {R"({"op":"UseAmbora"})", "unknown operation: UseAmbora"},
      {R"({"op":"useNthDic"})", "useNthDic takes 1 argument, got 0"},
      {R"({"op":"useNthDic","args":[]})", "useNthDic takes 1 argument, got 0"},
      {R"({"op":"useNthDic","args":[0,1]})", "useNthDic takes 1 argument, got 2"},
      {R"({"op":"useAmbora","args":[1]})", "useAmbora takes 0 arguments, got 1"},
      {R"({"op":"useNthDic","args":"0"})", "useNthDic: \"args\" must be an array"},
      {R"({"op":"useNthDic","args":["0"]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[1.0]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[true]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[null]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[2147483648]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[-2147483649]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"useNthDic","args":[18446744073709551615]})", "useNthDic: the argument must be a 32-bit integer"},
      {R"({"op":"queryWithWord","args":[7]})", "queryWithWord: the argument must be a string"},
      {R"({"op":"queryWithWord","args":[null]})", "queryWithWord: the argument must be a string"},
      {R"({"op":"consult","args":[["go"]]})", "consult: the argument must be a string"},
      {R"({"op":"addDictionary","args":[{}]})", "addDictionary: the argument must be a string or null"},
      {std::string(100000, '['), "request is not JSON"},
  };
  for (const Case& c : cases) {
    const std::string response = handleScriptRequest(*peek_, c.request);
    EXPECT_EQ(response.find('\n'), std::string::npos) << c.request;
    const json parsed = json::parse(response, nullptr, false);
    ASSERT_TRUE(parsed.is_object()) << response;
    ASSERT_TRUE(parsed.contains("error")) << c.request << " -> " << response;
    EXPECT_FALSE(parsed.contains("result"));
    EXPECT_EQ(parsed["error"].get<std::string>().rfind(c.error, 0), 0u) << c.request << " -> " << response;
    EXPECT_EQ(state(), before) << c.request;
  }
  // The session is still there and answers.
  EXPECT_EQ(handleScriptRequest(*peek_, R"({"op":"getRecordAsText"})"), R"({"result":"go<br>行く"})");
}

TEST_F(ScriptDispatcherTest, ResultsInTheirJsonForms) {
  const std::pair<const char*, const char*> exchanges[] = {
      {R"({"op":"dicCount"})", R"({"result":2})"},
      {R"({"op":"dicCount","args":[]})", R"({"result":2})"},
      {R"({"op":"dicCount","extra":{"ignored":true}})", R"({"result":2})"},
      {R"({"op":"useNthDic","args":[0]})", R"({"result":null})"},
      {R"({"op":"useNthDic","args":[-2147483648]})", R"({"result":null})"},
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

TEST_F(ScriptDispatcherTest, LoneSurrogatesInAWordStillGiveValidJson) {
  // JSON may escape a lone surrogate; what comes back must still be valid UTF-8.
  const std::string response =
      handleScriptRequest(*peek_, R"({"op":"consult","args":["\ud800"]})");
  EXPECT_TRUE(json::accept(response)) << response;
}

TEST_F(ScriptDispatcherTest, DirectCallsCheckTypesToo) {
  const auto error = [&](std::string_view op, std::vector<ScriptValue> args) {
    ScriptCallResult result = callScriptOperation(*peek_, op, args);
    return std::holds_alternative<ScriptError>(result);
  };
  EXPECT_TRUE(error("useNthDic", {ScriptValue(UString(u"0"))}));
  EXPECT_TRUE(error("queryWithWord", {ScriptValue(int32_t{1})}));
  EXPECT_TRUE(error("queryWithWord", {}));
  EXPECT_TRUE(error("getDicDir", {ScriptValue(ScriptNull{})}));
  EXPECT_TRUE(error("nothing", {}));
  EXPECT_FALSE(error("useNthDic", {ScriptValue(int32_t{0})}));
  EXPECT_EQ(peek_->recordset(0).dicCount(), 1u);
}

}  // namespace
}  // namespace lexor
