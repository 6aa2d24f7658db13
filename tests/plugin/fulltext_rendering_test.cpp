// Full-text search as the page calls it: the background build, the suite's side chosen by the
// query's script, hits marked in the rendered fragments, bad limits and queries.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "plugin/script_dispatcher.h"
#include "search/fulltext_service.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

using testing::entry;
using testing::PeekTestHome;

TEST(TextSearchTest, BuildsInTheBackgroundThenAnswersMarkedFragmentsOfTheQuerysSide) {
  PeekTestHome home;
  home.writeDictionary("ambora52.dic", {entry("cat", "猫, ネコ"), entry("dog", "犬")});
  home.writeDictionary("revora48.dic", {entry("猫", "cat, a <b>Cat</b>"), entry("犬", "dog")});
  std::shared_ptr<LexorPeek> peek = home.construct();
  peek->_useAmbora();

  for (int32_t limit : {0, -1, LexorPeek::kMaxTextSearchLimit + 1}) {
    EXPECT_EQ(peek->_searchText(u"cat", limit).error, "the limit must be from 1 to 10000") << limit;
  }
  EXPECT_EQ(peek->_searchText(u"\"cat", 10).error, "unclosed quote in the query");

  // Through the protocol: an English query searches the Japanese-English side, a Japanese one
  // the other; each side's index is built in the background on its first query.
  const std::pair<const char*, const char*> table[] = {
      {"CAT",
       "<span class=\"m\"><span class=\"f1\">猫</span></span>"
       "<span class=\"f4\"><mark>cat</mark>, a <b><mark>Cat</mark></b></span>"},
      {"猫",
       "<span class=\"m\"><span class=\"f1\">cat</span></span>"
       "<span class=\"f4\"><mark>猫</mark>, ネコ</span>"},
  };
  for (const auto& [query, fragment] : table) {
    const std::string request =
        nlohmann::json({{"op", "searchText"}, {"args", {query, 10}}}).dump();
    EXPECT_EQ(handleScriptRequest(*peek, request), R"({"error":"index building"})");
    search::FulltextService::shared().waitForBuilds();
    EXPECT_EQ(handleScriptRequest(*peek, R"({"op":"searchProgress"})"), R"({"result":null})");
    EXPECT_EQ(handleScriptRequest(*peek, request), nlohmann::json({{"result", {fragment}}}).dump());
  }
  EXPECT_EQ(peek->_searchText(u"cat dog", 10).fragments.size(), 0u);
}

}  // namespace
}  // namespace lexor
