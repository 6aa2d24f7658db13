// The plug-in object as a host sees it: script names, what is hidden from the page, registration.
#include "plugin/lexor_peek.h"

#include <gtest/gtest.h>

#include "platform/log.h"
#include "plugin/script_dispatcher.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

using testing::PeekTestHome;

struct SelectorName {
  const char* selector;
  const char* name;
};

// The script-name table in its order.
constexpr SelectorName kTable[] = {
    {"_addDictionary:", "addDictionary"},
    {"_removeDics", "removeDictionaries"},
    {"_consult:", "consult"},
    {"_queryWithWord:", "queryWithWord"},
    {"_moveNext", "moveNext"},
    {"_isEOF", "isEOF"},
    {"_getRecord", "getRecord"},
    {"_getRecordAsText", "getRecordAsText"},
    {"_getRecordAsHTML", "getRecordAsHTML"},
    {"_getDicDir", "getDicDir"},
    {"_dicCount", "dicCount"},
    {"_dicPathsInDir", "dicPathsInDir"},
    {"_dicNamesInDir", "dicNamesInDir"},
    {"_useNthDic:", "useNthDic"},
    {"_useAmbora", "useAmbora"},
    {"_isAmboraAvailable", "isAmboraAvailable"},
};

TEST(ScriptNamesTest, EveryTableSelectorHasItsNameAndIsVisible) {
  CapturingLogSink log;
  std::vector<std::string> names;
  for (const SelectorName& row : kTable) {
    EXPECT_EQ(LexorPeek::webScriptNameForSelector(row.selector), row.name) << row.selector;
    EXPECT_FALSE(LexorPeek::isSelectorExcludedFromWebScript(row.selector)) << row.selector;
    names.emplace_back(row.name);
  }
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(scriptNames(), names);
}

TEST(ScriptNamesTest, OtherSelectorsAndEveryMemberAreHidden) {
  // The host's own calls, inherited operations, and near misses of table selectors.
  for (const char* selector : {"initWithWebView:", "windowScriptObjectAvailable:", "dealloc",
                               "init", "_addDictionary", "addDictionary", "_useNthDic",
                               "removeDictionaries", "_removeDictionaries", "_isEOF:", ""}) {
    CapturingLogSink log;
    EXPECT_EQ(LexorPeek::webScriptNameForSelector(selector), std::nullopt) << selector;
    EXPECT_EQ(log.lines(), std::vector<std::string>{"\tunknown selector"}) << selector;
    EXPECT_TRUE(LexorPeek::isSelectorExcludedFromWebScript(selector)) << selector;
  }
  for (const char* name :
       {"_dicDir", "_dicFiles", "_rs", "_currRs", "_amboraMode", "LexorPeek", ""}) {
    EXPECT_TRUE(LexorPeek::isKeyExcludedFromWebScript(name)) << name;
  }
}

class RecordingWindow : public WindowScriptObject {
 public:
  void setValue(ScriptObject* value, const UString& key) override {
    calls.emplace_back(value, key);
  }
  std::vector<std::pair<ScriptObject*, UString>> calls;
};

TEST(LexorPeekTest, StartsEmptyAndRegistersItselfOnEveryWindowItIsGiven) {
  PeekTestHome home;
  home.writeDictionary("ambora52.dic", {testing::entry("go", "行く")});
  home.writeDictionary("revora48.dic", {testing::entry("行く", "go")});
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_EQ(peek->recordset(0).dicCount() + peek->recordset(1).dicCount(), 0u);
  EXPECT_FALSE(peek->amboraMode());
  EXPECT_EQ(peek->currentRecordsetIndex(), 0);
  RecordingWindow first;
  RecordingWindow second;
  peek->windowScriptObjectAvailable(&first);
  peek->windowScriptObjectAvailable(&second);
  peek->windowScriptObjectAvailable(nullptr);
  const std::vector<std::pair<ScriptObject*, UString>> once = {{peek.get(), u"LexorPeek"}};
  EXPECT_EQ(first.calls, once);
  EXPECT_EQ(second.calls, once);
}

}  // namespace
}  // namespace lexor
