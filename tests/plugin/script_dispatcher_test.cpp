// The script protocol: a malformed request's answer, the session left as it was; the plug-in as a
// host sees it: script names, what the page cannot see, registration, a record as text and HTML.
#include "plugin/script_dispatcher.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/log.h"
#include "tests/support/peek_test_home.h"

namespace lexor {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

std::string batchOf(size_t count, const std::string& call) {
  std::string batch = "[";
  for (size_t i = 0; i < count; ++i) batch += (i ? "," : "") + call;
  return batch + "]";
}

// The suite with one query made, so that a call that changed anything would show.
class ScriptDispatcherTest : public testing::PeekSessionTest {
 protected:
  void SetUp() override {
    PeekSessionTest::SetUp();
    _peek->_useAmbora();
    ASSERT_TRUE(_peek->_queryWithWord(u"go"));
    _before = state();
  }
  using State = std::tuple<size_t, size_t, int32_t, bool, std::optional<UString>>;
  State state() {
    return State{_peek->recordset(0).dicCount(), _peek->recordset(1).dicCount(),
                 _peek->currentRecordsetIndex(), _peek->amboraMode(), _peek->_getRecordAsText()};
  }

  State _before;
};

TEST_F(ScriptDispatcherTest, BadRequestsAnswerAnErrorAndChangeNothing) {
  const std::string int32 = " must be a 32-bit integer";
  const std::string limit = ": the limit must be from 1 to 10000";
  const std::pair<std::string, std::string> cases[] = {
      // a request, the start of its error
      {"", "request is not JSON"},
      {"{\"op\":\"queryWithWord\",\"args\":[\"\xff\"]}", "request is not JSON"},
      {R"({"op":"consult","args":["\ud800"]})", "request is not JSON"},
      {std::string(100000, '['), "request is not JSON"},
      {"7", "request must be a JSON object"},
      {"[]", "a batch holds 1 to 1000 calls, got 0"},
      {batchOf(1001, R"({"op":"moveNext"})"), "a batch holds 1 to 1000 calls, got 1001"},
      {R"([{"op":"useNthDic","args":[1]},"dicCount"])", "batch call 1 must be a JSON object"},
      {R"({"args":[]})", "request needs \"op\""},
      {R"({"op":"_useAmbora"})", "unknown operation: _useAmbora"},
      {R"({"op":"useNthDic","args":[]})", "useNthDic takes 1 argument, got 0"},
      {R"({"op":"useAmbora","args":[1]})", "useAmbora takes 0 arguments, got 1"},
      {R"({"op":"useNthDic","args":"0"})", "useNthDic: \"args\" must be an array"},
      {R"({"op":"useNthDic","args":["0"]})", "useNthDic: the argument" + int32},
      {R"({"op":"useNthDic","args":[1.0]})", "useNthDic: the argument" + int32},
      {R"({"op":"useNthDic","args":[-2147483649]})", "useNthDic: the argument" + int32},
      {R"({"op":"useNthDic","args":[2147483648]})", "useNthDic: the argument" + int32},
      {R"({"op":"queryWithWord","args":[7]})", "queryWithWord: the argument must be a string"},
      {R"({"op":"addDictionary","args":[{}]})", "addDictionary: the argument must be a string"},
      {R"({"op":"addDictionary","args":[null]})", "addDictionary: the argument must be a string"},
      {R"({"op":"matchWords","args":["lev","go"]})", "matchWords takes 3 arguments, got 2"},
      {R"({"op":"matchWords","args":["lev","go","9"]})", "matchWords: argument 3" + int32},
      {R"({"op":"matchWords","args":["lev",1.5,9]})", "matchWords: argument 2 must be a string"},
      {R"({"op":"matchWords","args":["lev","go",0]})", "matchWords" + limit},
      {R"({"op":"matchWords","args":["lev","go",10001]})", "matchWords" + limit},
      {R"({"op":"matchWords","args":["soundex","go",9]})", "matchWords: unknown strategy: soundex"},
      {R"({"op":"matchWords","args":["re","(go",9]})", "matchWords: invalid regular expression"},
      {R"({"op":"searchText","args":["cat",0]})", "searchText" + limit},
      {R"({"op":"searchText","args":["cat",10001]})", "searchText" + limit},
      {R"({"op":"searchText","args":["\"cat",10]})", "searchText: unclosed quote in the query"},
  };
  for (const auto& [request, error] : cases) {
    const std::string response = handleScriptRequest(*_peek, request);
    SCOPED_TRACE(request.substr(0, 80) + " -> " + response);
    EXPECT_EQ(response.find('\n'), std::string::npos);
    const json parsed = json::parse(response, nullptr, false);
    ASSERT_TRUE(parsed.is_object() && parsed.contains("error") && !parsed.contains("result"));
    EXPECT_EQ(parsed["error"].get<std::string>().rfind(error, 0), 0u);
    EXPECT_EQ(state(), _before);
  }
}

// Matches answer on the word's side; like every reading call they leave the query and cursor.
TEST_F(ScriptDispatcherTest, ReadingCallsAnswerAndLeaveTheQueryAlone) {
  const std::pair<const char*, const char*> reads[] = {
      {R"({"op":"matchWords","args":["lev","GP",10]})", R"({"result":["go"]})"},
      {R"({"op":"matchWords","args":["prefix","go",1]})", R"({"result":["go"]})"},
      {R"({"op":"matchWords","args":["exact","行く",10]})", R"({"result":["行く"]})"},
      {R"({"op":"matchWords","args":["suffix","zz",10]})", R"({"result":[]})"},
      {R"({"op":"deinflect","args":["行った"]})",
       R"({"result":[{"rules":["past"],"word":"行く"}]})"},
      {R"({"op":"deinflect","args":["行く"]})", R"({"result":[]})"},
      {R"({"op":"toKana","args":["ikuTAKUSHI-"]})", R"({"result":"いくタクシー"})"},
      // members beside op and args are ignored
      {R"({"op":"getRecord","extra":{"x":true}})", R"({"result":["go","gou",null,"行く",null]})"},
      {R"({"op":"isAmboraAvailable","x":1})", R"({"result":48})"},
  };
  for (const auto& [request, response] : reads) {
    EXPECT_EQ(handleScriptRequest(*_peek, request), response) << request;
    EXPECT_EQ(state(), _before) << request;
  }
  const json strategies = json::parse(handleScriptRequest(*_peek, R"({"op":"matchStrategies"})"));
  ASSERT_EQ(strategies["result"].size(), 10u);
  EXPECT_EQ(strategies["result"][9][0], "lev");
}

// A batch answers what its calls answer one by one, in order, an error not stopping the rest.
TEST_F(ScriptDispatcherTest, BatchEqualsItsCallsSentOneByOne) {
  const json calls = json::parse(R"([
    {"op":"useAmbora"}, {"op":"queryWithWord","args":["go"]}, {"op":"getRecordAsHTML"},
    {"op":"moveNext"}, {"op":"useNthDic","args":["x"]}, {"op":"getRecordAsText"}, {"op":"moveNext"},
    {"op":"moveNext"}, {"op":"isEOF"}, {"op":"getRecord"}, {"op":"nothing"},
    {"op":"queryWithWord","args":["行"]}, {"op":"getRecord"}, {"op":"consult","args":["gon"]}])");
  std::shared_ptr<LexorPeek> single = _home.construct();
  json oneByOne = json::array();
  for (const json& call : calls)
    oneByOne.push_back(json::parse(handleScriptRequest(*single, call.dump())));

  std::shared_ptr<LexorPeek> batched = _home.construct();
  const json answers = json::parse(handleScriptRequest(*batched, calls.dump()));
  EXPECT_EQ(answers, oneByOne);
  EXPECT_TRUE(answers[4].contains("error") && answers[10].contains("error"));
  EXPECT_EQ(answers[5], json({{"result", "going<br>行くこと"}}));
  EXPECT_EQ(handleScriptRequest(*batched, batchOf(1000, R"({"op":"isEOF"})")),
            batchOf(1000, R"({"result":true})"));
}

// Within a budget the calls done keep their answers and the ones after the budget is spent say
// why they did not run; a consult past the whole bound is not built at all.
TEST_F(ScriptDispatcherTest, ABudgetStopsABatchBetweenCalls) {
  const std::string consult = R"({"op":"consult","args":["go"]})";
  const std::string whole = handleScriptRequest(*_peek, consult);
  ASSERT_TRUE(whole.starts_with(R"({"result":[")")) << whole;
  const auto three = [](const std::string& a, const std::string& b, const std::string& c) {
    return "[" + a + "," + b + "," + c + "]";
  };
  const std::string batch = three(consult, consult, consult);
  const size_t roomForTwo = 2 * whole.size() + 3;  // "[", two answers and their commas
  const auto tooLarge = [](const std::string& why) {
    return R"({"error":"request too large: )" + why + R"("})";
  };
  const std::string bytes =
      tooLarge("an answer of more than " + std::to_string(roomForTwo) + " bytes");
  const std::string late = tooLarge("more than 0 ms of work");
  const std::string stopping = R"({"error":"the server is stopping"})";
  std::stop_source stop;
  stop.request_stop();
  const RequestBudget forTwo{.maxAnswerBytes = roomForTwo}, forNone{.maxAnswerBytes = 20};
  const RequestBudget noTime{.time = 0ms}, stopped{.stop = stop.get_token()};
  const struct {
    const char* name;
    RequestBudget budget;
    std::string request;
    std::string answer;
  } cases[] = {
      {"no budget", RequestBudget(), batch, three(whole, whole, whole)},
      {"room for two answers", forTwo, batch, three(whole, whole, bytes)},
      {"one consult past the bound", forNone, consult, tooLarge("an answer of more than 20 bytes")},
      {"no time", noTime, batch, three(late, late, late)},
      {"a stop", stopped, batch, three(stopping, stopping, stopping)},
      {"a refused argument under a bound", forTwo, R"({"op":"consult","args":[null]})",
       handleScriptRequest(*_peek, R"({"op":"consult","args":[null]})")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(handleScriptRequest(*_peek, c.request, c.budget), c.answer) << c.name;
}

TEST(ScriptNamesTest, TableSelectorsHaveTheirNamesAndEverythingElseIsHidden) {
  // clang-format off
  const std::pair<const char*, const char*> table[] = {
      {"_addDictionary:", "addDictionary"},    {"_removeDics", "removeDictionaries"},
      {"_consult:", "consult"},                {"_queryWithWord:", "queryWithWord"},
      {"_moveNext", "moveNext"},               {"_isEOF", "isEOF"},
      {"_getRecord", "getRecord"},             {"_getRecordAsText", "getRecordAsText"},
      {"_getRecordAsHTML", "getRecordAsHTML"}, {"_getDicDir", "getDicDir"},
      {"_dicCount", "dicCount"},               {"_dicPathsInDir", "dicPathsInDir"},
      {"_dicNamesInDir", "dicNamesInDir"},     {"_useNthDic:", "useNthDic"},
      {"_useAmbora", "useAmbora"},             {"_isAmboraAvailable", "isAmboraAvailable"}};
  // clang-format on
  std::vector<std::string> names;
  for (const auto& [selector, name] : table) {
    CapturingLogSink log;
    EXPECT_EQ(LexorPeek::webScriptNameForSelector(selector), name) << selector;
    EXPECT_FALSE(LexorPeek::isSelectorExcludedFromWebScript(selector)) << selector;
    EXPECT_TRUE(log.lines().empty());
    names.emplace_back(name);
  }
  EXPECT_EQ(scriptNames(), names);
  // The host's own calls and near misses of table selectors.
  for (const char* selector : {"initWithWebView:", "windowScriptObjectAvailable:", "_addDictionary",
                               "addDictionary", "_isEOF:", "", "matchWords", "searchText"}) {
    CapturingLogSink log;
    EXPECT_EQ(LexorPeek::webScriptNameForSelector(selector), std::nullopt) << selector;
    EXPECT_EQ(log.lines(), std::vector<std::string>{"\tunknown selector"}) << selector;
    EXPECT_TRUE(LexorPeek::isSelectorExcludedFromWebScript(selector)) << selector;
  }
  for (const char* key : {"_dicDir", "_rs", "_amboraMode", "LexorPeek", ""})
    EXPECT_TRUE(LexorPeek::isKeyExcludedFromWebScript(key)) << key;
}

struct RecordingWindow : WindowScriptObject {
  void setValue(ScriptObject* value, const UString& key) override {
    calls.emplace_back(value, key);
  }
  std::vector<std::pair<ScriptObject*, UString>> calls;
};

using LexorPeekTest = testing::PeekSessionTest;

TEST_F(LexorPeekTest, StartsEmptyAndRegistersItselfOnEveryWindowItIsGiven) {
  EXPECT_EQ(_peek->recordset(0).dicCount() + _peek->recordset(1).dicCount(), 0u);
  EXPECT_FALSE(_peek->amboraMode());
  RecordingWindow first, second;
  _peek->windowScriptObjectAvailable(&first);
  _peek->windowScriptObjectAvailable(&second);
  _peek->windowScriptObjectAvailable(nullptr);
  const std::vector<std::pair<ScriptObject*, UString>> once = {{_peek.get(), u"LexorPeek"}};
  EXPECT_EQ(first.calls, once);
  EXPECT_EQ(second.calls, once);
}

std::optional<UString> text(const char* s) {
  return s ? std::optional<UString>(fromUtf8(s)) : std::nullopt;
}

TEST(RecordRenderingTest, TextAndHtmlForms) {
  const struct {
    const char *eword, *pron, *jword, *example, *text, *html;
  } cases[] = {
      {"go", nullptr, nullptr, nullptr, "go",
       R"(<span class="m"><span class="f1">go</span></span>)"},
      {"go", nullptr, nullptr, "ex", "go<br>ex",
       R"(<span class="m"><span class="f1">go</span></span><br/><span class="f5">&loz; ex</span>)"},
      {"go", nullptr, "", nullptr, "go<br>",  // an empty translation is still present
       R"(<span class="m"><span class="f1">go</span></span><span class="f4"></span>)"},
      {nullptr, nullptr, "行く", nullptr, "<br>行く",
       R"(<span class="m"><span class="f1"></span></span><span class="f4">行く</span>)"},
      {"a<b>", "&amp;", "<i>x</i>\n\"y\"", "<br>", "a<b> [&amp;]<br><i>x</i>\n\"y\"<br><br>",
       R"(<span class="m"><span class="f1">a<b></span> <span class="f2">[&amp;]</span></span>)"
       "<span class=\"f4\"><i>x</i>\n\"y\"</span><br/><span class=\"f5\">&loz; <br></span>"},
  };
  for (const auto& c : cases) {
    const Record record{text(c.eword), text(c.pron), 1, text(c.jword), text(c.example)};
    EXPECT_EQ(toUtf8(recordAsText(record)), c.text) << c.text;
    EXPECT_EQ(toUtf8(recordAsHTML(record)), c.html) << c.text;
  }
}

}  // namespace
}  // namespace lexor
