// MATCH and DEFINE on the real strategy engine: every strategy's MATCH lists what the engine
// answers, and DEFINE finds the entries whose head word folds to the word's folding.
#include "hosts/dict/engine_matcher.h"

#include <gtest/gtest.h>

#include "hosts/dict/dict_session.h"
#include "search/match_strategies.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::dict {
namespace {

using testing::entry;

TEST(EngineMatcher, MatchListsTheEnginesAnswerAndDefineFolds) {
  testing::TempDir dir;
  const std::string path = dir.file("words.dic");
  writer::writeDictionary(
      path,
      {entry("Straße", "street"), entry("strasse", "variant"), entry("cat", "neko"),
       entry("Cat", "a second cat"), entry("tom cat", "osuneko"), entry("say \"hi\"", "q")},
      writer::Options{.bocu = true});
  const DictLibrary library = DictLibrary::fromFiles({{fromUtf8(path), "Words"}});
  std::unique_ptr<WordMatcher> matcher = makeEngineMatcher(library);
  DictSession session(library, *matcher, SessionOptions{}, "<1@test>");
  auto answer = [&](const std::string& command) {
    std::string out;
    session.receive(command + "\r\n", &out);
    return out;
  };

  // The engine's strategies, then deinflect.
  ASSERT_EQ(matcher->strategies().size(), matchStrategies().size() + 1);
  EXPECT_EQ(matcher->strategies().back().name, "deinflect");
  for (const MatchStrategyInfo& info : matchStrategies()) {
    for (const char16_t* word : {u"cat", u"STRASSE", u"c.t", u"\"hi\"", u"ca"}) {
      std::string error;
      const std::optional<std::vector<std::vector<UString>>> expected = matchHeadWords(
          LexorList{library.databases()[0].dic},
          info.strategy == MatchStrategy::kLev ? "lev" : info.name, word, kNoMatchLimit, &error);
      ASSERT_TRUE(expected) << error;
      std::string lines;
      for (const UString& head : expected->at(0))
        lines += "words " + dict::quoted(toUtf8(head)) + "\r\n";
      const std::string command =
          "MATCH words " + std::string(info.name) + " " + dict::quoted(toUtf8(word));
      const std::string got = answer(command);
      if (lines.empty()) {
        EXPECT_EQ(got, "552 no match\r\n") << command;
      } else {
        EXPECT_EQ(got, "152 " + std::to_string(expected->at(0).size()) + " matches found\r\n" +
                           lines + ".\r\n250 ok\r\n")
            << command;
      }
    }
  }
  EXPECT_EQ(answer("MATCH words re \"(\""), "501 invalid regular expression\r\n");

  const std::string streets = answer("DEFINE words STRASSE");
  EXPECT_TRUE(streets.starts_with("150 2 definitions retrieved\r\n")) << streets;
  EXPECT_NE(streets.find("151 \"Straße\" words \"Words\""), std::string::npos) << streets;
  EXPECT_NE(streets.find("151 \"strasse\" words \"Words\""), std::string::npos) << streets;
  EXPECT_TRUE(answer("DEFINE words cAT").starts_with("150 2 definitions retrieved\r\n"));
  EXPECT_EQ(answer("DEFINE words tom"), "552 no match\r\n");
}

}  // namespace
}  // namespace lexor::dict
