// A page's session as the script protocol reaches it: listing, choosing, querying, stepping,
// fetching, the Ambora suite; and the table of a host's sessions (each apart, expiry, the bound).
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "plugin/page_sessions.h"
#include "plugin/script_dispatcher.h"
#include "search/fulltext_service.h"
#include "tests/support/peek_test_home.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

using PageSessionTest = testing::PeekSessionTest;
constexpr PageSessions::Clock::time_point kT0{};

TEST_F(PageSessionTest, ListChooseQueryStepAndFetchInEveryForm) {
  EXPECT_EQ(call("dicPathsInDir"),
            (json{"abbora1.dic", "ambora52.dic", "exora1.dic", "revora48.dic", "uni2.dic"}));
  EXPECT_EQ(call("getDicDir"), _home.folder());

  call("useNthDic", {4});
  EXPECT_EQ(call("queryWithWord", {"ap"}), true);
  EXPECT_EQ(fetchAll("getRecord"), (Results{{"apple", "ˈæpl", 3, "Apfel", "an apple a day"},
                                            {"apricot", nullptr, nullptr, "Aprikose", nullptr}}));
  EXPECT_EQ(call("moveNext"), false);
  for (const char* fetch : {"getRecord", "getRecordAsText", "getRecordAsHTML"})
    EXPECT_EQ(call(fetch), nullptr);
  EXPECT_EQ(call("queryWithWord", {"b"}), true);
  const json banana =
      R"(<span class="m"><span class="f1">banana</span></span><span class="f4"><b>Banane</b></span>)";
  EXPECT_EQ(fetchAll("getRecordAsHTML"), Results{banana});
  EXPECT_EQ(call("queryWithWord", {"zebra"}), false);
  EXPECT_EQ(call("isEOF"), true);
}

TEST_F(PageSessionTest, AddDictionaryByPathThroughLinksAndRemoveThemAll) {
  call("useNthDic", {4});
  call("addDictionary", {_home.home() + "/missing.dic"});
  EXPECT_EQ(_peek->recordset(0).dicCount(), 1u);
  fs::create_symlink(_home.folder() + "/ambora52.dic", _home.home() + "/link.dic");
  call("addDictionary", {_home.home() + "/link.dic"});
  EXPECT_EQ(call("queryWithWord", {"apple"}), true);
  EXPECT_EQ(fetchAll("getRecordAsText"),
            (Results{"apple [ˈæpl]<br>Apfel<br>an apple a day", "apple<br>りんご"}));
  // A file that is no dictionary: whatever opening gives, the session goes on.
  call("addDictionary", {_home.dir().write("junk.dic", "this is not a dictionary at all")});
  call("queryWithWord", {"apple"});
  fetchAll("getRecordAsHTML");
  call("removeDictionaries");
  EXPECT_EQ(call("queryWithWord", {"apple"}), false);

  for (int32_t position : {-1, 5}) {  // out of range empties the first recordset
    call("useAmbora");
    call("useNthDic", {position});
    EXPECT_EQ(_peek->recordset(0).dicCount(), 0u) << position;
    EXPECT_FALSE(_peek->amboraMode()) << position;
  }
}

TEST_F(PageSessionTest, SuiteQueriesPickTheirSideByTheWordsScript) {
  call("useAmbora");
  call("useAmbora");  // twice still fills each recordset once
  EXPECT_EQ(dictionaryFiles(0), (Files{"ambora52.dic", "abbora1.dic", "exora1.dic"}));
  EXPECT_EQ(dictionaryFiles(1), Files{"revora48.dic"});
  const struct {
    const char* word;
    int recordset;
    const char* firstDictionary;  // what the first recordset holds after the query
    bool found;
  } cases[] = {
      {"go", 0, "ambora52.dic", true},        {"行", 1, "revora48.dic", true},
      {"go行", 1, "revora48.dic", false},      // one unit above U+3000 makes a word Japanese
      {"go\u3000", 0, "ambora52.dic", false},  // the ideographic space itself does not
      {"", 0, "ambora52.dic", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(call("queryWithWord", {c.word}), c.found);
    EXPECT_EQ(_peek->currentRecordsetIndex(), c.recordset);
    EXPECT_EQ(dictionaryFiles(0), Files{c.firstDictionary});
    EXPECT_EQ(dictionaryFiles(1), Files{"revora48.dic"});
  }
  // Stepping after a Japanese query reads the second recordset.
  EXPECT_EQ(call("queryWithWord", {"行"}), true);
  EXPECT_EQ(call("getRecordAsText"), "行く<br>go");
  call("useNthDic", {4});  // the current recordset stays until the next query
  EXPECT_EQ(call("moveNext"), true);
  EXPECT_EQ(call("getRecordAsText"), "行った<br>went");
  EXPECT_EQ(call("moveNext"), false);
  EXPECT_EQ(call("queryWithWord", {"apr"}), true);  // suite mode is off now: the chosen dictionary
  EXPECT_EQ(_peek->currentRecordsetIndex(), 0);
  EXPECT_EQ(call("getRecordAsText"), "apricot<br>Aprikose");
}

TEST_F(PageSessionTest, ConsultSearchesWhatTheFirstRecordsetHolds) {
  call("useAmbora");  // ambora, abbora and exora together
  EXPECT_EQ(call("consult", {"go"}).size(), 6u);
  EXPECT_FALSE(_peek->amboraMode());
  EXPECT_EQ(
      call("consult", {"gov"}),
      (json{R"(<span class="m"><span class="f1">gov</span></span><span class="f4">政府</span>)"}));

  call("useAmbora");  // after a Japanese suite query: the Japanese-English dictionary
  call("queryWithWord", {"行"});
  EXPECT_EQ(call("consult", {"go"}), json::array());
  EXPECT_EQ(call("consult", {"行く"}).size(), 1u);

  call("useAmbora");  // after an English one: the main dictionary alone
  call("queryWithWord", {"go"});
  EXPECT_EQ(call("consult", {"go"}).size(), 4u);
}

TEST_F(PageSessionTest, UseAmboraTakesOnlyTheSuiteFilesThatExist) {
  for (const char* gone : {"revora48.dic", "abbora1.dic"}) fs::remove(_home.folder() + "/" + gone);
  call("dicCount");  // a new scan of the folder
  call("useAmbora");
  EXPECT_EQ(dictionaryFiles(0), (Files{"ambora52.dic", "exora1.dic"}));
  EXPECT_EQ(dictionaryFiles(1), Files{});
  EXPECT_EQ(call("queryWithWord", {"行"}), false);
  EXPECT_EQ(call("queryWithWord", {"go"}), true);
  fs::remove(_home.folder() + "/ambora52.dic");
  call("dicCount");
  call("useAmbora");
  EXPECT_EQ(dictionaryFiles(0), Files{"exora1.dic"});
  EXPECT_EQ(call("queryWithWord", {"go"}), false);
}

// Each side's full-text index is built in the background on its first search; then a query
// searches the side whose translations are in its script, each hit marked.
TEST_F(PageSessionTest, TextSearchBuildsFirstThenAnswersTheQuerysSide) {
  call("useAmbora");
  const std::pair<const char*, json> table[] = {
      {"GO",
       {R"(<span class="m"><span class="f1">行く</span></span><span class="f4"><mark>go</mark></span>)"}},
      {"行く",
       {R"(<span class="m"><span class="f1">go</span> <span class="f2">[gou]</span></span><span class="f4"><mark>行く</mark></span>)",
        R"(<span class="m"><span class="f1">going</span></span><span class="f4"><mark>行く</mark>こと</span>)"}},
  };
  for (const auto& [query, fragments] : table) {
    const std::string request = json{{"op", "searchText"}, {"args", {query, 10}}}.dump();
    EXPECT_EQ(handleScriptRequest(*_peek, request), R"({"error":"index building"})");
    search::FulltextService::shared().waitForBuilds();
    EXPECT_EQ(call("searchProgress"), nullptr);
    EXPECT_EQ(call("searchText", {query, 10}), fragments) << query;
  }
}

TEST_F(PageSessionTest, EachPageSessionKeepsItsOwnChoiceAndCursor) {
  PageSessions sessions;
  ASSERT_TRUE(sessions.open("aa", kT0));
  ASSERT_TRUE(sessions.open("bb", kT0));
  LexorPeek* a = sessions.find("aa", kT0);
  LexorPeek* b = sessions.find("bb", kT0);
  ASSERT_TRUE(a && b && a != b);
  a->_useNthDic(1);
  b->_useNthDic(4);
  ASSERT_TRUE(a->_queryWithWord(u"go"));
  ASSERT_TRUE(b->_queryWithWord(u"apr"));
  a->_moveNext();
  EXPECT_EQ(a->_getRecordAsText(), u"going<br>行くこと");
  EXPECT_EQ(b->_getRecordAsText(), u"apricot<br>Aprikose");
  for (const char* unknown : {"", "a", "aaa", "ab", "AA"})
    EXPECT_EQ(sessions.find(unknown, kT0), nullptr) << unknown;
}

TEST_F(PageSessionTest, IdleSessionsExpireAndUseKeepsThemAlive) {
  PageSessions sessions;
  sessions.open("kept", kT0);
  sessions.open("left", kT0);
  EXPECT_NE(sessions.find("kept", kT0 + 29min), nullptr);
  EXPECT_NE(sessions.find("kept", kT0 + 58min), nullptr);
  EXPECT_EQ(sessions.find("left", kT0 + 30min), nullptr);
  EXPECT_EQ(sessions.size(), 1u);
  sessions.expire(kT0 + 88min);
  EXPECT_EQ(sessions.size(), 0u);
}

// Pages that keep their sessions busy cannot lock a new page out: it takes the place of the one
// used least recently, however recently that was.
TEST_F(PageSessionTest, AFullTableGivesUpTheLeastRecentlyUsedSession) {
  PageSessions sessions({.maxSessions = 3});
  sessions.open("s0", kT0);
  sessions.open("s1", kT0 + 1s);
  sessions.open("s2", kT0 + 2s);
  std::shared_ptr<LexorPeek> held = sessions.hold("s1", kT0 + 2s);
  sessions.find("s2", kT0 + 3s);
  sessions.find("s0", kT0 + 3s);  // now s1 is the least recently used
  EXPECT_TRUE(sessions.open("s3", kT0 + 4s));
  EXPECT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions.find("s1", kT0 + 4s), nullptr);
  for (const char* live : {"s0", "s2", "s3"})
    EXPECT_NE(sessions.find(live, kT0 + 4s), nullptr) << live;
  // A call that was running on the session given up still has its object.
  EXPECT_EQ(held->_dicCount(), 5);
}

}  // namespace
}  // namespace lexor
