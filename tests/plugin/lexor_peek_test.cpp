// The plug-in object as a host sees it: script names, what is hidden from the page, registration,
// and the three forms of a record.
#include "plugin/lexor_peek.h"

#include <gtest/gtest.h>

#include "platform/log.h"
#include "plugin/script_dispatcher.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

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

TEST(LexorPeekTest, StartsEmptyAndRegistersItselfOnEveryWindowItIsGiven) {
  testing::PeekTestHome home;
  home.touch("ambora52.dic");
  home.touch("revora48.dic");
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_EQ(peek->recordset(0).dicCount() + peek->recordset(1).dicCount(), 0u);
  EXPECT_FALSE(peek->amboraMode());
  RecordingWindow first, second;
  peek->windowScriptObjectAvailable(&first);
  peek->windowScriptObjectAvailable(&second);
  peek->windowScriptObjectAvailable(nullptr);
  const std::vector<std::pair<ScriptObject*, UString>> once = {{peek.get(), u"LexorPeek"}};
  EXPECT_EQ(first.calls, once);
  EXPECT_EQ(second.calls, once);
}

std::optional<UString> text(const char* s) {
  return s ? std::optional<UString>(fromUtf8(s)) : std::nullopt;
}

TEST(RecordRenderingTest, TextHtmlAndListForms) {
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
  const ScriptValue null{ScriptNull{}};
  EXPECT_EQ(recordAsList(Record{u"go", std::nullopt, 3, u"行く", std::nullopt}),
            (ScriptList{UString(u"go"), null, int32_t{3}, UString(u"行く"), null}));
}

}  // namespace
}  // namespace lexor
