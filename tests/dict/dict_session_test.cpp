// The DICT host without its transport: names, command lines, framing, and every command's
// answer on the strategy engine, whose MATCH lists exactly what the engine answers.
#include "hosts/dict/dict_session.h"

#include <gtest/gtest.h>

#include "hosts/dict/engine_matcher.h"
#include "search/match_strategies.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::dict {
namespace {

TEST(DatabaseName, FromFileNameAndUnique) {
  EXPECT_EQ(databaseNameForPath(u"/x/revora48.dic"), "revora48");
  EXPECT_EQ(databaseNameForPath(u"/x/My Words+v2.DIC"), "My_Words_v2");
  EXPECT_EQ(databaseNameForPath(u"/x/caf\u00e9-\U0001F600.dic"), "caf_-_");
  EXPECT_EQ(databaseNameForPath(u"a.b_c-d.dic"), "a.b_c-d");
  EXPECT_EQ(uniqueDatabaseName("x", {}), "x");
  EXPECT_EQ(uniqueDatabaseName("x", {"x", "x-2"}), "x-3");
  EXPECT_EQ(uniqueDatabaseName("ambora", {}), "ambora-2");
  EXPECT_EQ(uniqueDatabaseName("*", {}), "*-2");
}

TEST(CommandLine, SplitsOrRefuses) {
  const std::string longest(kMaxCommandLine - 2, 'a');
  const std::string syntax(kSyntaxErrorStatus);
  const std::string utf8 = "501 invalid UTF-8";
  const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {
      {"  match\tdb  . \"a b\" ", {"match", "db", ".", "a b"}, ""},
      {R"(MATCH db re "say \"hi\" \\")", {"MATCH", "db", "re", R"(say "hi" \)"}, ""},
      {"DEFINE 'it''s' x\"y z\"", {"DEFINE", "its", "xy z"}, ""},
      {"DEFINE '\"' \"\"", {"DEFINE", "\"", ""}, ""},
      {"   ", {}, ""},
      {longest, {longest}, ""},
      {longest + "a", {}, "500 line too long"},
      {"DEFINE * \"cat", {}, syntax},
      {"DEFINE * ca\\t", {}, syntax},
      {"DEFINE * \"ca\\", {}, syntax},
      {"DEFINE * c\x01t", {}, syntax},
      {"DEFINE * \xC3(", {}, utf8},
      {"DEFINE * \xED\xA0\x80", {}, utf8},
      {"DEFINE * \xC0\xAF", {}, utf8},
  };
  for (const auto& [line, expected, expectedError] : cases) {
    std::string error;
    const auto words = splitCommandLine(line, &error);
    EXPECT_EQ(error, expectedError) << line;
    EXPECT_EQ(words.has_value(), expectedError.empty()) << line;
    EXPECT_EQ(words.value_or(std::vector<std::string>{}), expected) << line;
  }
}

// The longest line fits with either ending; one byte more is too long with either.
TEST(LineFramer, CutsAnywhereAndBoundsLongLines) {
  const std::string longest(kMaxCommandLine - 2, 'a');
  const std::string stream = "A\r\nBB\n" + longest + "\r\n" + longest + "a\n" + longest + "\n" +
                             longest + "a\r\n" + std::string(5000, 'x') + "\nC\r\n\r\nD";
  for (size_t piece : {1, 3, 1000, 10000}) {
    LineFramer framer;
    std::vector<LineFramer::Line> lines;
    for (size_t i = 0; i < stream.size(); i += piece) {
      framer.feed(std::string_view(stream).substr(i, piece), &lines);
      EXPECT_LE(framer.pending(), kMaxCommandLine);
    }
    std::vector<std::string> texts;
    for (const auto& line : lines) texts.push_back(line.tooLong ? "(too long)" : line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"A", "BB", longest, "(too long)", longest,
                                               "(too long)", "(too long)", "C", ""}))
        << piece;
    EXPECT_EQ(framer.pending(), 1u);  // "D" waits for its line feed
  }
}

// Three small databases on the strategy engine; the first two are the suite's sides.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    using testing::entry;
    const std::pair<const char*, std::vector<writer::Entry>> files[] = {
        {"en.dic",
         {entry("cat", "neko"), entry("Cat", "a second cat"), entry("cart", ".dotted\nline"),
          entry(R"(say "hi"\)", "quoted")}},
        {"ja.dic", {entry("猫", "cat"), entry("犬", "dog"), entry("dog", "犬")}},
        {"extra/en.dic",
         {entry("dog", "inu"), entry(".net", "dot"), entry("Straße", "street"),
          entry("strasse", "variant")}},
    };
    std::vector<std::pair<UString, std::string>> listed;
    for (const auto& [file, entries] : files) {
      const std::string path = _dir.file(file);
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      EXPECT_TRUE(writer::writeDictionary(path, entries, {.bocu = true}));
      listed.emplace_back(fromUtf8(path), std::string("Dictionary ") + file);
    }
    _library = DictLibrary::fromFiles(listed, 0, 1);
    _matcher = makeEngineMatcher(_library);
  }

  // The whole answer to the bytes, as one session gives it.
  std::string exchange(std::string_view bytes, size_t maxMatches = kDefaultMaxMatches,
                       size_t maxAnswerBytes = kMaxAnswerBytes) {
    DictSession session(_library, *_matcher,
                        SessionOptions{maxMatches, "a server\n", maxAnswerBytes}, "<1@test>");
    std::string out;
    session.receive(bytes, &out);
    return out;
  }

  testing::TempDir _dir;
  DictLibrary _library;
  std::unique_ptr<WordMatcher> _matcher;
};

TEST_F(SessionTest, AnswersEachCommand) {
  const std::pair<std::string, std::string> cases[] = {
      {"DEFINE en cat",
       "150 2 definitions retrieved\r\n151 \"Cat\" en \"Dictionary en.dic\"\r\nCat\r\n  a second "
       "cat\r\n.\r\n151 \"cat\" en \"Dictionary en.dic\"\r\ncat\r\n  neko\r\n.\r\n250 ok\r\n"},
      {"define * dog",
       "150 2 definitions retrieved\r\n151 \"dog\" ja \"Dictionary ja.dic\"\r\ndog\r\n  犬\r\n.\r\n"
       "151 \"dog\" en-2 \"Dictionary extra/en.dic\"\r\ndog\r\n  inu\r\n.\r\n250 ok\r\n"},
      {"DEFINE ! dog",
       "150 1 definitions retrieved\r\n151 \"dog\" ja \"Dictionary ja.dic\"\r\ndog\r\n  "
       "犬\r\n.\r\n250 ok\r\n"},
      {"DEFINE ! CART",
       "150 1 definitions retrieved\r\n151 \"cart\" en \"Dictionary en.dic\"\r\ncart\r\n  "
       ".dotted\r\n  line\r\n.\r\n250 ok\r\n"},
      {"DEFINE en-2 .NET",
       "150 1 definitions retrieved\r\n151 \".net\" en-2 \"Dictionary extra/en.dic\"\r\n..net\r\n  "
       "dot\r\n.\r\n250 ok\r\n"},
      {"DEFINE ambora 猫",
       "150 1 definitions retrieved\r\n151 \"猫\" ja \"Dictionary ja.dic\"\r\n猫\r\n  "
       "cat\r\n.\r\n250 ok\r\n"},
      {"DEFINE ambora dog", "552 no match\r\n"},
      {"DEFINE en-2 STRASSE",
       "150 2 definitions retrieved\r\n151 \"Straße\" en-2 \"Dictionary extra/en.dic\"\r\n"
       "Straße\r\n  street\r\n.\r\n151 \"strasse\" en-2 \"Dictionary extra/en.dic\"\r\nstrasse\r\n"
       "  variant\r\n.\r\n250 ok\r\n"},
      {"DEFINE en say", "552 no match\r\n"},
      {"DEFINE nosuch cat", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"DEFINE en", "501 syntax error, illegal parameters\r\n"},
      {"MATCH * prefix \"\"",
       "152 11 matches found\r\nen \"Cat\"\r\nen \"cart\"\r\nen \"cat\"\r\n"
       "en \"say \\\"hi\\\"\\\\\"\r\nja \"dog\"\r\nja \"犬\"\r\nja \"猫\"\r\nen-2 \".net\"\r\n"
       "en-2 \"Straße\"\r\nen-2 \"dog\"\r\nen-2 \"strasse\"\r\n.\r\n250 ok\r\n"},
      {"MATCH ! prefix d", "152 1 matches found\r\nja \"dog\"\r\n.\r\n250 ok\r\n"},
      {"MATCH en . cut", "152 2 matches found\r\nen \"Cat\"\r\nen \"cat\"\r\n.\r\n250 ok\r\n"},
      {"MATCH en soundex cat", "551 invalid strategy, use SHOW STRAT for a list of strategies\r\n"},
      {"MATCH en re (", "501 invalid regular expression\r\n"},
      {"MATCH nosuch prefix c", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW DB",
       "110 4 databases present\r\nen \"Dictionary en.dic\"\r\nja \"Dictionary ja.dic\"\r\n"
       "en-2 \"Dictionary extra/en.dic\"\r\nambora \"Ambora suite: English-Japanese, or "
       "Japanese-English for a word with Japanese characters\"\r\n.\r\n250 ok\r\n"},
      {"SHOW INFO en",
       "112 database information follows\r\nDictionary en.dic\r\n\r\nfile: " + _dir.file("en.dic") +
           "\r\nversion: 5.0\r\nencoding: BOCU-1\r\nentries: 4\r\n.\r\n250 ok\r\n"},
      {"SHOW SERVER", "114 server information follows\r\na server\r\n.\r\n250 ok\r\n"},
      {"SHOW INFO nosuch", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW INFO *", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW NOTHING", "501 syntax error, illegal parameters\r\n"},
      {"CLIENT dict 1.0", "250 ok\r\n"},
      {"OPTION MIME\r\nDEFINE ja 犬",
       "250 ok - using MIME headers\r\n150 1 definitions retrieved\r\n151 \"犬\" ja \"Dictionary "
       "ja.dic\"\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n犬\r\n  dog\r\n.\r\n250 ok\r\n"},
      {"STATUS", "210 status [d/m/c = 0/0/1]\r\n"},
      {"AUTH user key", "502 command not implemented\r\n"},
      {"SASLAUTH PLAIN", "502 command not implemented\r\n"},
      {"LOOKUP cat", "500 unknown command\r\n"},
      {"OPTION COLOUR", "501 syntax error, illegal parameters\r\n"},
      {"QUIT\r\nDEFINE en cat", "221 bye\r\n"},
      {"", ""},
  };
  for (const auto& [command, answer] : cases)
    EXPECT_EQ(exchange(command + "\r\n"), answer) << command;
}

TEST_F(SessionTest, ShowsInfoAndHelp) {
  EXPECT_NE(exchange("SHOW INFO ambora\r\n").find("looked up in en (Dictionary en.dic), or in ja"),
            std::string::npos);
  const std::string strategies = exchange("SHOW STRATEGIES\r\n");
  EXPECT_TRUE(strategies.starts_with(
      "111 11 strategies available\r\nexact \"the head word equals the word\"\r\n"))
      << strategies;
  EXPECT_TRUE(strategies.ends_with(
      "\r\ndeinflect \"Dictionary forms of a conjugated Japanese word\"\r\n.\r\n250 ok\r\n"))
      << strategies;
  EXPECT_TRUE(exchange("HELP\r\n").starts_with("113 help text follows\r\nDEFINE database word"))
      << exchange("HELP\r\n");
}

TEST_F(SessionTest, AnswerBounds) {
  EXPECT_EQ(exchange("MATCH * prefix \"\"\r\n", 2),
            "152 2 matches found\r\nen \"Cat\"\r\nen \"cart\"\r\n.\r\n250 ok\r\n");
  // An answer past the byte bound is cut as the line bound cuts it, and says so.
  EXPECT_EQ(exchange("MATCH * prefix \"\"\r\n", kDefaultMaxMatches, 20),
            "152 2 matches found, cut at 20 bytes\r\nen \"Cat\"\r\nen \"cart\"\r\n.\r\n250 ok\r\n");
}

// Every strategy but deinflect is the engine's, and MATCH lists the engine's answer as it is.
TEST_F(SessionTest, MatchListsTheEnginesAnswer) {
  ASSERT_EQ(_matcher->strategies().size(), matchStrategies().size() + 1);
  EXPECT_EQ(_matcher->strategies().back().name, "deinflect");
  for (const MatchStrategyInfo& info : matchStrategies()) {
    for (const char16_t* word : {u"cat", u"c.t", u"\"hi\"", u"ca"}) {
      std::string error;
      const std::optional<std::vector<std::vector<UString>>> expected = matchHeadWords(
          LexorList{_library.databases()[0].dic},
          info.strategy == MatchStrategy::kLev ? "lev" : info.name, word, kNoMatchLimit, &error);
      ASSERT_TRUE(expected) << error;
      std::string answer = "152 " + std::to_string(expected->at(0).size()) + " matches found\r\n";
      for (const UString& head : expected->at(0))
        answer += "en " + dict::quoted(toUtf8(head)) + "\r\n";
      const std::string command =
          "MATCH en " + std::string(info.name) + " " + dict::quoted(toUtf8(word));
      EXPECT_EQ(exchange(command + "\r\n"),
                expected->at(0).empty() ? "552 no match\r\n" : answer + ".\r\n250 ok\r\n")
          << command;
    }
  }
}

}  // namespace
}  // namespace lexor::dict
