// Full-text search as the page calls it: the background build, the suite's side chosen by the
// query's script, hits marked in the rendered fragments, bad limits and queries.
#include <gtest/gtest.h>

#include "search/fulltext_service.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

using testing::entry;
using testing::PeekTestHome;

TEST(TextSearchTest, BuildsInTheBackgroundThenAnswersMarkedFragmentsOfTheQuerysSide) {
  PeekTestHome home;
  setenv("XDG_CACHE_HOME", (home.home() + "/cache").c_str(), 1);
  home.writeDictionary("ambora52.dic", {entry("cat", "猫, ネコ"), entry("dog", "犬")});
  home.writeDictionary("revora48.dic", {entry("猫", "cat, a <b>Cat</b>"), entry("犬", "dog")});
  std::shared_ptr<LexorPeek> peek = home.construct();
  peek->_useAmbora();

  for (int32_t limit : {0, -1, LexorPeek::kMaxTextSearchLimit + 1}) {
    EXPECT_EQ(peek->_searchText(u"cat", limit).error, "limit must be 1 to 10000") << limit;
  }
  EXPECT_EQ(peek->_searchText(u"\"cat", 10).error, "unclosed quote in the query");

  // An English query searches the Japanese-English side, a Japanese one the other.
  const std::pair<const char16_t*, const char*> table[] = {
      {u"CAT",
       "<span class=\"m\"><span class=\"f1\">猫</span></span>"
       "<span class=\"f4\"><mark>cat</mark>, a <b><mark>Cat</mark></b></span>"},
      {u"猫",
       "<span class=\"m\"><span class=\"f1\">cat</span></span>"
       "<span class=\"f4\"><mark>猫</mark>, ネコ</span>"},
  };
  for (const auto& [query, fragment] : table) {
    EXPECT_EQ(peek->_searchText(query, 10).error, "index building");
    search::FulltextService::shared().waitForBuilds();
    EXPECT_EQ(peek->_searchProgress(), std::nullopt);
    const LexorPeek::TextSearchAnswer answer = peek->_searchText(query, 10);
    EXPECT_EQ(answer.error, std::nullopt);
    EXPECT_EQ(testing::utf8(answer.fragments), std::vector<std::string>{fragment});
  }
  EXPECT_EQ(peek->_searchText(u"cat dog", 10).fragments.size(), 0u);
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace lexor
