// A page's sessions with dictionaries made by the writer: listing, choosing, querying, stepping
// and fetching, and the Ambora suite, all through the script protocol as a page reaches them.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "platform/log.h"
#include "platform/path.h"
#include "plugin/script_dispatcher.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::entry;
using testing::PeekTestHome;

writer::Entry full(const char* head, const char* translation, const char* pron, const char* example, int level) {
  writer::Entry e = entry(head, translation);
  if (pron) e.pronunciation = fromUtf8(pron);
  if (example) e.example = fromUtf8(example);
  e.level = level;
  return e;
}

class PageSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.makeFolder();
    home_.writeDictionary("ambora52.dic", {full("go", "行く", "gou", nullptr, 1), entry("going", "行くこと"),
                                           entry("gone", "行った"), entry("good", "よい"), entry("apple", "りんご")});
    home_.writeDictionary("revora48.dic", {entry("行く", "go"), entry("行った", "went"), entry("良い", "good")});
    home_.writeDictionary("abbora1.dic", {entry("gov", "政府")});
    home_.writeDictionary("exora1.dic", {entry("go ahead", "どうぞ")});
    writer::Options bocu;
    bocu.bocu = true;
    home_.writeDictionary("uni2.dic",
                          {full("apple", "Apfel", "ˈæpl", "an apple a day", 3), entry("apricot", "Aprikose"),
                           entry("banana", "<b>Banane</b>")},
                          bocu);
    peek_ = home_.construct();
  }

  json call(const std::string& op, json args = json::array()) {
    const std::string response = handleScriptRequest(*peek_, json{{"op", op}, {"args", args}}.dump());
    json parsed = json::parse(response);
    EXPECT_FALSE(parsed.contains("error")) << op << ": " << response;
    return parsed["result"];
  }

  // The page's loop: while not at the end, fetch in one form, then step.
  std::vector<json> fetchAll(const std::string& fetch) {
    std::vector<json> results;
    for (int guard = 0; guard < 100 && !call("isEOF").get<bool>(); ++guard) {
      results.push_back(call(fetch));
      call("moveNext");
    }
    return results;
  }

  std::vector<std::string> dictionaryFiles(int rs) {
    std::vector<std::string> names;
    for (size_t i = 0; i < peek_->recordset(rs).dicCount(); ++i) {
      names.push_back(toUtf8(lastPathComponent(peek_->recordset(rs).dicAt(i)->path())));
    }
    return names;
  }

  PeekTestHome home_;
  CapturingLogSink log_;
  std::shared_ptr<LexorPeek> peek_;
};

TEST_F(PageSessionTest, ListChooseQueryStepAndFetchInEveryForm) {
  EXPECT_EQ(call("dicCount"), 5);
  EXPECT_EQ(call("dicPathsInDir"),
            (json{"abbora1.dic", "ambora52.dic", "exora1.dic", "revora48.dic", "uni2.dic"}));
  EXPECT_EQ(call("dicNamesInDir").size(), 5u);
  EXPECT_EQ(call("getDicDir"), home_.folder());
  EXPECT_EQ(call("isAmboraAvailable"), 48);

  call("useNthDic", {4});
  EXPECT_EQ(call("queryWithWord", {"ap"}), true);
  EXPECT_EQ(fetchAll("getRecord"),
            (std::vector<json>{{"apple", "ˈæpl", 3, "Apfel", "an apple a day"},
                               {"apricot", nullptr, nullptr, "Aprikose", nullptr}}));
  EXPECT_EQ(call("moveNext"), false);
  EXPECT_EQ(call("getRecord"), nullptr);
  EXPECT_EQ(call("getRecordAsText"), nullptr);
  EXPECT_EQ(call("getRecordAsHTML"), nullptr);

  EXPECT_EQ(call("queryWithWord", {"ap"}), true);
  EXPECT_EQ(fetchAll("getRecordAsText"),
            (std::vector<json>{"apple [ˈæpl]<br>Apfel<br>an apple a day", "apricot<br>Aprikose"}));

  EXPECT_EQ(call("queryWithWord", {"b"}), true);
  EXPECT_EQ(fetchAll("getRecordAsHTML"),
            (std::vector<json>{R"(<span class="m"><span class="f1">banana</span></span>)"
                               R"(<span class="f4"><b>Banane</b></span>)"}));

  EXPECT_EQ(call("queryWithWord", {"zebra"}), false);
  EXPECT_EQ(call("isEOF"), true);
  EXPECT_EQ(call("consult", {"zebra"}), json::array());
}

TEST_F(PageSessionTest, AddDictionaryByPath) {
  call("useNthDic", {4});
  ASSERT_EQ(peek_->recordset(0).dicCount(), 1u);

  log_.clear();
  const std::string missing = home_.home() + "/missing.dic";
  call("addDictionary", {missing});
  EXPECT_EQ(peek_->recordset(0).dicCount(), 1u);
  EXPECT_EQ(log_.lines(), (std::vector<std::string>{"resolveAlias(" + missing + ")", ": resolvedPath = " + missing}));

  // Through a link, the dictionary is opened where the link points; suite mode is untouched.
  const std::string link = home_.home() + "/link.dic";
  fs::create_symlink(home_.inFolder("ambora52.dic"), link);
  call("addDictionary", {link});
  EXPECT_EQ(peek_->recordset(0).dicCount(), 2u);
  EXPECT_FALSE(peek_->amboraMode());
  EXPECT_EQ(call("queryWithWord", {"apple"}), true);
  EXPECT_EQ(fetchAll("getRecordAsText"), (std::vector<json>{"apple [ˈæpl]<br>Apfel<br>an apple a day", "apple<br>りんご"}));

  // A file that is no dictionary: whatever opening gives, the session goes on.
  const std::string junk = home_.dir().write("junk.dic", "this is not a dictionary at all");
  call("addDictionary", {junk});
  EXPECT_LE(peek_->recordset(0).dicCount(), 3u);
  call("queryWithWord", {"apple"});
  fetchAll("getRecordAsHTML");

  call("removeDictionaries");
  EXPECT_EQ(peek_->recordset(0).dicCount(), 0u);
  EXPECT_EQ(call("queryWithWord", {"apple"}), false);
}

TEST_F(PageSessionTest, UseNthDicOutOfRangeEmptiesTheFirstRecordset) {
  for (int32_t position : {-1, 5, INT32_MIN, INT32_MAX}) {
    call("useAmbora");
    call("useNthDic", {position});
    EXPECT_EQ(peek_->recordset(0).dicCount(), 0u) << position;
    EXPECT_FALSE(peek_->amboraMode()) << position;
  }
}

TEST_F(PageSessionTest, UseAmboraTwiceFillsEachRecordsetOnce) {
  call("useAmbora");
  call("useAmbora");
  EXPECT_TRUE(peek_->amboraMode());
  EXPECT_EQ(dictionaryFiles(0), (std::vector<std::string>{"ambora52.dic", "abbora1.dic", "exora1.dic"}));
  EXPECT_EQ(dictionaryFiles(1), std::vector<std::string>{"revora48.dic"});

  // In suite mode adding and removing act on the first recordset only.
  call("removeDictionaries");
  EXPECT_TRUE(peek_->amboraMode());
  EXPECT_EQ(dictionaryFiles(1), std::vector<std::string>{"revora48.dic"});
}

TEST_F(PageSessionTest, SuiteQueriesPickTheirSideByTheWordsScript) {
  struct Case {
    const char* word;
    int recordset;
    const char* firstDictionary;  // what the first recordset holds after the query
    bool found;
  };
  const Case cases[] = {
      {"go", 0, "ambora52.dic", true},
      {"行", 1, "revora48.dic", true},
      {"go行", 1, "revora48.dic", false},   // one unit above U+3000 makes a word Japanese
      {"go\u3000", 0, "ambora52.dic", false},  // the ideographic space itself does not
      {"", 0, "ambora52.dic", false},
      {"Ｇ", 1, "revora48.dic", false},  // full-width forms count as Japanese
  };
  call("useAmbora");
  for (const Case& c : cases) {
    EXPECT_EQ(call("queryWithWord", {c.word}), c.found) << c.word;
    EXPECT_EQ(peek_->currentRecordsetIndex(), c.recordset) << c.word;
    EXPECT_EQ(dictionaryFiles(0), std::vector<std::string>{c.firstDictionary}) << c.word;
    EXPECT_EQ(dictionaryFiles(1), std::vector<std::string>{"revora48.dic"}) << c.word;
    EXPECT_TRUE(peek_->amboraMode()) << c.word;
  }
}

TEST_F(PageSessionTest, SteppingAfterAJapaneseQueryReadsTheSecondRecordset) {
  call("useAmbora");
  EXPECT_EQ(call("queryWithWord", {"行"}), true);
  EXPECT_EQ(call("getRecordAsText"), "行く<br>go");
  // Choosing a dictionary does not change the current recordset until the next query.
  call("useNthDic", {4});
  EXPECT_EQ(peek_->currentRecordsetIndex(), 1);
  EXPECT_EQ(call("moveNext"), true);
  EXPECT_EQ(call("getRecordAsText"), "行った<br>went");
  EXPECT_EQ(call("moveNext"), false);
  EXPECT_EQ(call("isEOF"), true);

  EXPECT_EQ(call("queryWithWord", {"apr"}), true);  // suite mode is off now: the chosen dictionary
  EXPECT_EQ(peek_->currentRecordsetIndex(), 0);
  EXPECT_EQ(call("getRecordAsText"), "apricot<br>Aprikose");
}

TEST_F(PageSessionTest, ConsultSearchesWhatTheFirstRecordsetHolds) {
  call("useAmbora");
  // Right after useAmbora: ambora, abbora and exora together, in that order.
  EXPECT_EQ(call("consult", {"go"}).size(), 6u);
  EXPECT_FALSE(peek_->amboraMode());
  EXPECT_EQ(peek_->currentRecordsetIndex(), 0);
  EXPECT_EQ(call("isEOF"), true);
  const json fromAll = call("consult", {"gov"});
  EXPECT_EQ(fromAll, (json{R"(<span class="m"><span class="f1">gov</span></span><span class="f4">政府</span>)"}));

  // After a Japanese suite query the first recordset holds the Japanese-English dictionary.
  call("useAmbora");
  call("queryWithWord", {"行"});
  EXPECT_EQ(call("consult", {"go"}), json::array());
  EXPECT_EQ(call("consult", {"行く"}).size(), 1u);
  EXPECT_EQ(dictionaryFiles(0), std::vector<std::string>{"revora48.dic"});

  // After an English one, the main dictionary alone.
  call("useAmbora");
  call("queryWithWord", {"go"});
  EXPECT_EQ(call("consult", {"go"}).size(), 4u);
}

TEST(SuiteAvailabilityTest, UseAmboraWithoutAMainFileAddsNothingForIt) {
  PeekTestHome home;
  home.makeFolder();
  home.writeDictionary("ambora52.dic", {entry("go", "行く")});
  home.writeDictionary("exora1.dic", {entry("go ahead", "どうぞ")});
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_EQ(peek->_isAmboraAvailable(), 0);
  peek->_useAmbora();
  EXPECT_EQ(peek->recordset(0).dicCount(), 2u);
  EXPECT_EQ(peek->recordset(1).dicCount(), 0u);
  EXPECT_FALSE(peek->_queryWithWord(u"行"));
  EXPECT_TRUE(peek->_isEOF());
  EXPECT_EQ(peek->_getRecord(), std::nullopt);
  EXPECT_TRUE(peek->_queryWithWord(u"go"));

  fs::remove(home.inFolder("ambora52.dic"));
  peek->_dicCount();
  peek->_useAmbora();
  EXPECT_EQ(peek->recordset(0).dicCount(), 1u);  // exora alone
  EXPECT_FALSE(peek->_queryWithWord(u"go"));
}

TEST(SuiteAvailabilityTest, OnlyTheTwoMainFilesLeaveAmboraAlone) {
  PeekTestHome home;
  home.makeFolder();
  home.writeDictionary("ambora52.dic", {entry("go", "行く")});
  home.writeDictionary("revora48.dic", {entry("行く", "go")});
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  peek->_useAmbora();
  EXPECT_EQ(peek->recordset(0).dicCount(), 1u);
  EXPECT_EQ(peek->recordset(1).dicCount(), 1u);
}

}  // namespace
}  // namespace lexor
