// The DICT host without its transport: names, command lines, framing, and every command's
// answer, against a matcher that stands in for the strategy engine.
#include "hosts/dict/dict_session.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(CommandLine, Splits) {
  const std::string longest(kMaxCommandLine - 2, 'a');
  const std::tuple<std::string, std::vector<std::string>, LineFault> cases[] = {
      {"DEFINE * cat", {"DEFINE", "*", "cat"}, LineFault::kNone},
      {"  match\tdb  . \"a b\" ", {"match", "db", ".", "a b"}, LineFault::kNone},
      {R"(MATCH db re "say \"hi\" \\")", {"MATCH", "db", "re", R"(say "hi" \)"}, LineFault::kNone},
      {"DEFINE 'it''s' x\"y z\"", {"DEFINE", "its", "xy z"}, LineFault::kNone},
      {"DEFINE '\"' \"\"", {"DEFINE", "\"", ""}, LineFault::kNone},
      {"   ", {}, LineFault::kNone},
      {longest, {longest}, LineFault::kNone},
      {longest + "a", {}, LineFault::kTooLong},
      {"DEFINE * \"cat", {}, LineFault::kSyntax},
      {"DEFINE * ca\\t", {}, LineFault::kSyntax},
      {"DEFINE * \"ca\\", {}, LineFault::kSyntax},
      {"DEFINE * c\x01t", {}, LineFault::kSyntax},
      {"DEFINE * \xC3(", {}, LineFault::kInvalidUtf8},
      {"DEFINE * \xED\xA0\x80", {}, LineFault::kInvalidUtf8},
      {"DEFINE * \xC0\xAF", {}, LineFault::kInvalidUtf8},
  };
  for (const auto& [line, expected, expectedFault] : cases) {
    LineFault fault = LineFault::kNone;
    auto words = splitCommandLine(line, &fault);
    EXPECT_EQ(fault, expectedFault) << line;
    if (expectedFault == LineFault::kNone) {
      EXPECT_EQ(words.value_or(std::vector<std::string>{{"?"}}), expected) << line;
    }
  }
}

TEST(LineFramer, CutsAnywhereAndBoundsLongLines) {
  const std::string stream = "A\r\nBB\n" + std::string(5000, 'x') + "\nC\r\n\r\nD";
  for (size_t piece : {1, 3, 1000, 10000}) {
    LineFramer framer;
    std::vector<LineFramer::Line> lines;
    for (size_t i = 0; i < stream.size(); i += piece) {
      framer.feed(std::string_view(stream).substr(i, piece), &lines);
      EXPECT_LE(framer.pending(), kMaxCommandLine);
    }
    std::vector<std::string> texts;
    for (const auto& line : lines) texts.push_back(line.tooLong ? "(too long)" : line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"A", "BB", "(too long)", "C", ""})) << piece;
    EXPECT_EQ(framer.pending(), 1u);  // "D" waits for its line feed
  }
  // The longest line is taken whether it ends in CR LF or LF alone.
  for (const char* end : {"\r\n", "\n"}) {
    LineFramer framer;
    std::vector<LineFramer::Line> lines;
    framer.feed(
        std::string(kMaxCommandLine - 2, 'a') + end + std::string(kMaxCommandLine - 1, 'a') + end,
        &lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].tooLong);
    EXPECT_TRUE(lines[1].tooLong);
  }
}

Record record(const char* head, const char* translation) {
  return Record{fromUtf8(head), std::nullopt, std::nullopt, fromUtf8(translation), std::nullopt};
}

// Entries per database; "exact" compares ASCII-lowercased, "prefix" and "lev" (here: same first
// letter) list distinct head words, "re" rejects "(".
class FakeMatcher : public WordMatcher {
 public:
  explicit FakeMatcher(std::vector<std::vector<Record>> entries) : _entries(std::move(entries)) {}
  const std::vector<StrategyInfo>& strategies() const override { return _strategies; }
  MatchOutcome match(size_t database, std::string_view strategy, const UString& word, size_t limit,
                     std::vector<UString>* headWords) override {
    if (strategy == "re" && word == u"(") return MatchOutcome::kBadPattern;
    for (const Record& r : _entries.at(database)) {
      const UString& head = *r.eword;
      const bool hit = strategy == "prefix"
                           ? head.starts_with(word)
                           : !word.empty() && !head.empty() && head[0] == word[0] && head != word;
      if (hit && headWords->size() < limit &&
          std::find(headWords->begin(), headWords->end(), head) == headWords->end()) {
        headWords->push_back(head);
      }
    }
    return MatchOutcome::kMatched;
  }
  std::vector<Record> definitions(size_t database, const UString& word, size_t limit) override {
    std::vector<Record> found;
    for (const Record& r : _entries.at(database)) {
      if (lowercase(*r.eword) == lowercase(word) && found.size() < limit) found.push_back(r);
    }
    return found;
  }

 private:
  std::vector<std::vector<Record>> _entries;
  std::vector<StrategyInfo> _strategies = {
      {"prefix", "Match prefixes"}, {"lev", "Edit distance one"}, {"re", "Regular expression"}};
};

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    std::vector<std::pair<UString, std::string>> listed;
    for (const char* file : {"en.dic", "ja.dic", "extra/en.dic"}) {
      const std::string path = _dir.file(file);
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      writer::writeDictionary(path, {{u"cat", u"neko", std::nullopt, std::nullopt, 0}},
                              writer::Options{.bocu = true});
      listed.emplace_back(fromUtf8(path), std::string("Dictionary ") + file);
    }
    _library = DictLibrary::fromFiles(listed, 0, 1);
  }

  // The whole answer to the bytes, as one session gives it.
  std::string exchange(std::string_view bytes, size_t maxMatches = kDefaultMaxMatches,
                       size_t maxAnswerBytes = kMaxAnswerBytes) {
    DictSession session(_library, _matcher,
                        SessionOptions{maxMatches, "a server\n", maxAnswerBytes}, "<1@test>");
    std::string out;
    session.receive(bytes, &out);
    return out;
  }

  testing::TempDir _dir;
  DictLibrary _library;
  FakeMatcher _matcher{{
      {record("cat", "neko"), record("Cat", "a second cat"), record("cart", ".dotted\nline"),
       record(R"(say "hi"\)", "quoted")},
      {record("猫", "cat"), record("犬", "dog"), record("dog", "犬")},
      {record("dog", "inu"), record(".net", "dot")},
  }};
};

TEST_F(SessionTest, AnswersEachCommand) {
  const std::pair<std::string, std::string> cases[] = {
      {"DEFINE en cat",
       "150 2 definitions retrieved\r\n151 \"cat\" en \"Dictionary en.dic\"\r\ncat\r\n  "
       "neko\r\n.\r\n"
       "151 \"Cat\" en \"Dictionary en.dic\"\r\nCat\r\n  a second cat\r\n.\r\n250 ok\r\n"},
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
      {"DEFINE en nothing", "552 no match\r\n"},
      {"DEFINE nosuch cat", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"DEFINE en", "501 syntax error, illegal parameters\r\n"},
      {"MATCH en prefix ca", "152 2 matches found\r\nen \"cat\"\r\nen \"cart\"\r\n.\r\n250 ok\r\n"},
      {"MATCH * prefix \"\"",
       "152 9 matches found\r\nen \"cat\"\r\nen \"Cat\"\r\nen \"cart\"\r\n"
       "en \"say \\\"hi\\\"\\\\\"\r\nja \"猫\"\r\nja \"犬\"\r\nja \"dog\"\r\nen-2 \"dog\"\r\n"
       "en-2 \".net\"\r\n.\r\n250 ok\r\n"},
      {"MATCH ! prefix d", "152 1 matches found\r\nja \"dog\"\r\n.\r\n250 ok\r\n"},
      {"MATCH en . cut", "152 2 matches found\r\nen \"cat\"\r\nen \"cart\"\r\n.\r\n250 ok\r\n"},
      {"MATCH en lev xyz", "552 no match\r\n"},
      {"MATCH en soundex cat", "551 invalid strategy, use SHOW STRAT for a list of strategies\r\n"},
      {"MATCH en re (", "501 invalid regular expression\r\n"},
      {"MATCH nosuch prefix c", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW DB",
       "110 4 databases present\r\nen \"Dictionary en.dic\"\r\nja \"Dictionary ja.dic\"\r\n"
       "en-2 \"Dictionary extra/en.dic\"\r\nambora \"Ambora suite: English-Japanese, or "
       "Japanese-English for a "
       "word with Japanese characters\"\r\n.\r\n250 ok\r\n"},
      {"SHOW STRATEGIES",
       "111 3 strategies available\r\nprefix \"Match prefixes\"\r\nlev \"Edit distance one\"\r\n"
       "re \"Regular expression\"\r\n.\r\n250 ok\r\n"},
      {"SHOW SERVER", "114 server information follows\r\na server\r\n.\r\n250 ok\r\n"},
      {"SHOW INFO nosuch", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW INFO *", "550 invalid database, use SHOW DB for a list of databases\r\n"},
      {"SHOW NOTHING", "501 syntax error, illegal parameters\r\n"},
      {"CLIENT dict 1.0", "250 ok\r\n"},
      {"STATUS", "210 status [d/m/c = 0/0/1]\r\n"},
      {"AUTH user key", "502 command not implemented\r\n"},
      {"SASLAUTH PLAIN", "502 command not implemented\r\n"},
      {"LOOKUP cat", "500 unknown command\r\n"},
      {"OPTION COLOUR", "501 syntax error, illegal parameters\r\n"},
      {"DEFINE en \"cat", "501 syntax error, illegal parameters\r\n"},
      {"DEFINE en \xFF", "501 invalid UTF-8\r\n"},
      {"DEFINE en " + std::string(1100, 'a'), "500 line too long\r\n"},
      {"QUIT\r\nDEFINE en cat", "221 bye\r\n"},
      {"", ""},
  };
  for (const auto& [command, answer] : cases)
    EXPECT_EQ(exchange(command + "\r\n"), answer) << command;
}

TEST_F(SessionTest, InfoHelpMimeLimitAndOrder) {
  const std::string info = exchange("SHOW INFO en\r\n");
  EXPECT_TRUE(
      info.starts_with("112 database information follows\r\nDictionary en.dic\r\n\r\nfile: "))
      << info;
  EXPECT_NE(info.find("\r\nversion: 5.0\r\nencoding: BOCU-1\r\nentries: 1\r\n.\r\n250 ok\r\n"),
            std::string::npos)
      << info;
  EXPECT_NE(exchange("SHOW INFO ambora\r\n").find("looked up in en (Dictionary en.dic), or in ja"),
            std::string::npos);
  EXPECT_TRUE(exchange("HELP\r\n").starts_with("113 help text follows\r\nDEFINE database word"))
      << exchange("HELP\r\n");

  EXPECT_EQ(exchange("OPTION MIME\r\nDEFINE ja 犬\r\n"),
            "250 ok - using MIME headers\r\n150 1 definitions retrieved\r\n151 \"犬\" ja "
            "\"Dictionary ja.dic\"\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n\r\n犬\r\n  dog\r\n.\r\n250 ok\r\n");
  EXPECT_EQ(exchange("MATCH * prefix \"\"\r\n", 2),
            "152 2 matches found\r\nen \"cat\"\r\nen \"Cat\"\r\n.\r\n250 ok\r\n");
  // An answer past the byte bound is cut as the line bound cuts it, and says so.
  EXPECT_EQ(exchange("MATCH * prefix \"\"\r\n", kDefaultMaxMatches, 20),
            "152 2 matches found, cut at 20 bytes\r\nen \"cat\"\r\nen \"Cat\"\r\n.\r\n250 ok\r\n");

  // Pipelined commands, cut at every byte, are answered one after another in order.
  const std::string pipelined =
      "DEFINE en cat\r\nSTATUS\r\nMATCH en prefix ca\r\nQUIT\r\nSTATUS\r\n";
  std::string whole = exchange(pipelined);
  DictSession session(_library, _matcher, SessionOptions{}, "<2@test>");
  std::string bytewise;
  for (char c : pipelined) session.receive(std::string_view(&c, 1), &bytewise);
  EXPECT_EQ(bytewise, whole);
  EXPECT_TRUE(session.finished());
  EXPECT_EQ(whole, exchange("DEFINE en cat\r\n") + "210 status [d/m/c = 1/0/2]\r\n" +
                       exchange("MATCH en prefix ca\r\n") + "221 bye\r\n");
}

TEST(SessionWithoutDatabases, AnswersNoDatabases) {
  DictLibrary empty;
  FakeMatcher matcher({});
  DictSession session(empty, matcher, SessionOptions{}, "<3@test>");
  std::string out;
  session.receive("SHOW DB\r\nDEFINE * cat\r\nDEFINE ambora cat\r\n", &out);
  EXPECT_EQ(out,
            "554 no databases present\r\n552 no match\r\n"
            "550 invalid database, use SHOW DB for a list of databases\r\n");
  EXPECT_TRUE(session.greeting().starts_with("220 ") &&
              session.greeting().ends_with(" <3@test>\r\n"));
}

}  // namespace
}  // namespace lexor::dict
