// The built `lexorpeek` program, run with HOME set to a scratch folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/built_program.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::entry;
using Words = std::vector<std::string>;

const std::string kGoodHtml =
    R"(<span class="m"><span class="f1">good</span></span><span class="f4">よい<br>良好な</span>)"
    "\n";
const std::string kGoodJson = "[\"good\",null,null,\"よい<br>良好な\",null]\n";

// What a run of the program gave, or a row of what it must give: then `err` is a part of
// standard error, and empty when standard error must be.
struct Outcome {
  Words args;
  int status = -1;
  std::string out = "";
  std::string err = "";
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(_binary)) << _binary << " is not built";
    fs::create_directories(folder());
  }

  std::string folder() const { return _dir.path().string() + "/Library/Lexor"; }

  void dictionary(const std::string& path, const std::vector<writer::Entry>& entries,
                  bool bocu = false) {
    ASSERT_TRUE(writer::writeDictionary(path, entries, {.bocu = bocu}));
  }

  void suite() {
    dictionary(folder() + "/ambora52.dic", {entry("go", "行く"), entry("good", "よい<br>良好な")});
    dictionary(folder() + "/revora48.dic", {entry("行く", "go")});
  }

  std::string read(const std::string& name) const {
    std::ifstream in(_dir.file(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  Outcome run(const Words& args, const std::string& input = "") {
    // The full-text index cache stays in the scratch folder too.
    std::string command = "HOME='" + _dir.path().string() + "' XDG_CACHE_HOME='" +
                          _dir.file("cache") + "' '" + _binary + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " <'" + _dir.write("stdin", input) + "' >'" + _dir.file("stdout") + "' 2>'" +
               _dir.file("stderr") + "'";
    const int status = std::system(command.c_str());
    return {args, WIFEXITED(status) ? WEXITSTATUS(status) : -1, read("stdout"), read("stderr")};
  }

  // Runs each row after the options (--quiet unless told otherwise) and checks all it gives back.
  void expectRows(const std::vector<Outcome>& rows, const Words& options = {"--quiet"}) {
    for (const Outcome& row : rows) {
      Words args = options;
      args.insert(args.end(), row.args.begin(), row.args.end());
      const Outcome r = run(args);
      SCOPED_TRACE(::testing::PrintToString(row.args));
      EXPECT_EQ(r.status, row.status);
      EXPECT_EQ(r.out, row.out);
      EXPECT_TRUE(row.err.empty() ? r.err.empty() : r.err.find(row.err) != std::string::npos)
          << r.err;
    }
  }

  testing::TempDir _dir;
  const std::string _binary = testing::builtProgram("lexorpeek");
};

TEST_F(CliTest, ListNamesTheSuiteAndQuietSilencesTheLog) {
  suite();
  const std::string names =
      "0\tアンボラ英和辞典\tambora52.dic\n1\tアンボラ和英辞典\trevora48.dic\n";
  expectRows({{{"list"}, 0, names + "suite: available, version 48\n"}});
  fs::remove_all(folder());
  expectRows({{{"list"}, 0, "suite: not available\n", ": isDir=f"}}, {});
  EXPECT_EQ(run({"--quiet", "list"}).err, "lexorpeek: no dictionary folder (~/Library/Lexor)\n");
}

// Without --quiet: standard error stays empty, so no progress bar is drawn off a terminal.
TEST_F(CliTest, SearchFindsTranslationsOnTheQuerysSideOfTheSuite) {
  suite();
  const std::string ambora = folder() + "/ambora52.dic";
  expectRows({{{"search", "GO"}, 0, "行く\n  go\n"},
              {{"search", "行く"}, 0, "go\n  行く\n"},
              {{"search", "良好", "--format", "json"}, 0, kGoodJson},
              {{"search", "よい", "--format", "html", "--dict", ambora}, 0, kGoodHtml},
              {{"search", "行", "--nth", "0", "--limit", "1"}, 0, "go\n  行く\n"},
              {{"search", "行", "--nth", "0", "--limit", "0"}, 0, "go\n  行く\n"},
              {{"search", "gone"}, 1}},
             {});
  EXPECT_TRUE(fs::exists(_dir.file("cache/lexorpeek")));
}

TEST_F(CliTest, UnusableDictionariesExitWithTwoAndTheReason) {
  const std::string good = _dir.file("good.dic");
  dictionary(good, {entry("go", "行く")});
  const std::string bytes = read("good.dic");
  const std::pair<std::string, std::string> files[] = {
      {"", "empty file"},
      {bytes.substr(0, 100), "shorter than its header block"},
      {std::string(4096, 'x'), "unknown header version"},
      {bytes.substr(0, 256), "index past the end of the file"},
  };
  for (const auto& [content, reason] : files) {
    const std::string path = _dir.write("bad.dic", content);
    const Outcome r = run({"--quiet", "lookup", "go", "--dict", good, "--dict", path});
    EXPECT_EQ(r.status, 2) << reason;
    EXPECT_EQ(r.err, "lexorpeek: " + path + ": not a Lexor dictionary (" + reason + ")\n");
    EXPECT_EQ(r.out, "");
  }
  // A broken file of the folder, chosen by position or by default.
  _dir.write("Library/Lexor/broken.dic", "not a dictionary");
  const std::string broken = "broken.dic: not a Lexor dictionary (shorter than its header block)\n";
  expectRows({{{"lookup", "go"}, 2, "", broken},
              {{"lookup", "go", "--nth", "0"}, 2, "", broken},
              {{"consult", "go"}, 2, "", broken}});
}

// The page has five places beside the suite; `list --all` and `--nth` reach every dictionary, and
// a folder named like a dictionary is none (it was the default, being first).
TEST_F(CliTest, ListAllAndNthReachEveryDictionaryOfTheFolder) {
  for (const char* name : {"d1", "d2", "d3", "d4", "d5", "d6", "d7"})
    dictionary(folder() + "/" + name + ".dic", {entry("go", name)});
  fs::create_directories(folder() + "/a.dic");
  const auto lines = [](const std::string& text) { return std::ranges::count(text, '\n'); };
  EXPECT_EQ(lines(run({"--quiet", "list"}).out), 6);
  const Outcome all = run({"--quiet", "list", "--all"});
  EXPECT_EQ(lines(all.out), 8);
  EXPECT_NE(all.out.find("6\td7.dic\td7.dic\n"), std::string::npos) << all.out;
  expectRows(
      {{{"lookup", "go", "--nth", "6"}, 0, "go\n  d7\n"}, {{"lookup", "go"}, 0, "go\n  d1\n"}});
}

TEST_F(CliTest, NoControlSequenceFromADictionaryReachesTheTerminal) {
  // Clear screen, window title, clipboard, bell, C1 CSI, DEL and a NUL-less C0 mix.
  const char* hostile =
      "a\x1b[2Jb\x1b]0;owned\x07"
      "c\x1b]52;c;ZXZpbA==\x07"
      "d\u009b31me\x7f\x01\rf\tg\u202eh\u2067i\u200ej";
  const std::string folderName = "Library/Lexor/x\x1b]0;t\x07.dic";
  dictionary(_dir.file(folderName), {entry("a\x1b[2Jx", hostile)}, true);
  for (const Words& args :
       {Words{"lookup", "a"}, Words{"lookup", "a", "--format", "html"}, Words{"consult", "a"},
        Words{"list"}, Words{"lookup", "a", "--dict", _dir.file(folderName) + "\x1b[2J"}}) {
    const Outcome r = run(args);
    for (const char* control : {"\x1b", "\x07", "\x7f", "\x01", "\r", "\u009b", "\u202e", "\u2067"})
      EXPECT_EQ((r.out + r.err).find(control), std::string::npos)
          << args.back() << ": " << r.out << r.err;
    if (args.size() == 2 && args[0] == "lookup") {
      EXPECT_NE(r.out.find("a\uFFFD[2Jb\uFFFD]0;owned\uFFFDc"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("g\uFFFDh\uFFFDi\u200ej"), std::string::npos) << r.out;  // LRM kept
    }
  }
  // JSON keeps its own escapes.
  EXPECT_NE(run({"lookup", "a", "--format", "json"}).out.find("a\\u001b[2Jb"), std::string::npos);
}

// lookup's formats (text decodes entities and drops tags); match prints head words, the suite's
// side chosen by the word; lookup --strategy prints their entries.
TEST_F(CliTest, LookupConsultAndMatchAnswerOnStandardOutput) {
  suite();
  const std::string marked = _dir.file("uni2.dic");
  const char* translation =
      "a &amp; b<br/><i>c</i> &lt;d&gt; &#12354;&#x3042;<BR>&bogus; 1 < 2 &#0;";
  dictionary(marked, {entry("x", translation, {.pronunciation = "&quot;ks&#39;"})}, true);
  expectRows({
      {{"lookup", "x", "--dict", marked},
       0,
       "x [\"ks']\n  a & b\n  c <d> ああ\n  &bogus; 1 < 2 &#0;\n"},
      {{"lookup", "go"}, 0, "go\n  行く\ngood\n  よい\n  良好な\n"},
      {{"lookup", "goo", "--format", "html"}, 0, kGoodHtml},
      {{"consult", "good"}, 0, kGoodHtml},
      {{"consult", "zebra"}, 1},
      {{"match", "GO"}, 0, "go\n"},
      {{"match", "-s", "suffix", "OD"}, 0, "good\n"},
      {{"match", "--strategy=exact", "行く"}, 0, "行く\n"},
      {{"match", "-s", "re", "^g.*d$", "--suite"}, 0, "good\n"},
      {{"match", "-s", "prefix", "x"}, 1},
      {{"lookup", "goo", "--format", "json"}, 0, kGoodJson},
      {{"lookup", "--strategy", "lev", "GOD", "--format", "json"},
       0,
       "[\"go\",null,null,\"行く\",null]\n" + kGoodJson},
  });
  const Outcome listed = run({"match", "--strategies"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(listed.out.starts_with("exact     the head word equals the word\n")) << listed.out;
}

// Japanese: dictionary forms of inflected words, and romaji read as kana.
TEST_F(CliTest, DeinflectionAndRomajiReachTheDictionaryForm) {
  suite();
  const std::string kana = _dir.file("kana.dic");
  dictionary(kana, {entry("ねこ", "cat"), entry("いく", "(Godan verb) to go")}, true);
  expectRows({
      {{"deinflect", "行った"}, 0, "行く\tpast\n"},
      {{"deinflect", "行った", "--format", "json"},
       0,
       "[{\"rules\":[\"past\"],\"word\":\"行く\"}]\n"},
      {{"deinflect", "行く"}, 1},
      {{"deinflect", "--romaji", "ikimasita", "--dict", kana}, 0, "いく\tpolite past\n"},
      {{"lookup", "行きました"}, 0, "行く\n  go\n", "行きました: polite past of 行く\n"},
      {{"lookup", "--romaji", "neko", "--dict", kana}, 0, "ねこ\n  cat\n"},
      {{"match", "--romaji", "-s", "exact", "iku", "--dict", kana}, 0, "いく\n"},
  });
}

// A lookup that finds nothing says so on standard error, with the words one edit away, else
// those that begin with the word less its last character.
TEST_F(CliTest, AFruitlessLookupSuggestsNearWords) {
  suite();
  const std::string words = _dir.file("words.dic");
  dictionary(words, {entry("going", "行くこと")});
  expectRows({
      // The second listed file lacks "go".
      {{"lookup", "go", "--nth", "1"}, 1, "", "no entries begin with \"go\"\n"},
      {{"lookup", "gx"}, 1, "", "no entries begin with \"gx\"; did you mean: go?\n"},
      {{"lookup", "gox"}, 1, "", "no entries begin with \"gox\"; did you mean: go?\n"},
      {{"lookup", "goox"}, 1, "", "no entries begin with \"goox\"; did you mean: good?\n"},
      {{"lookup", "zq"}, 1, "", "no entries begin with \"zq\"\n"},
      {{"lookup", "goix", "--dict", words}, 1, "", "\"goix\"; did you mean: going?\n"},
      {{"lookup", "-s", "exact", "行"}, 1, "", "match \"行\" by exact; did you mean: 行く?\n"},
  });
}

// Usage errors, a query that cannot be parsed, a dictionary that cannot be opened: each says why.
TEST_F(CliTest, MistakesExitWithTwoAndSayWhy) {
  suite();
  const std::pair<Words, std::string> mistakes[] = {
      {{}, "usage: lexorpeek [--quiet] COMMAND"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"lookup"}, "lookup takes exactly one WORD"},
      {{"lookup", "go", "--format", "xml"}, "--format is text, html or json, not 'xml'"},
      {{"lookup", "go", "--nth", "x"},
       "--nth wants a position from `lexorpeek list` (0 to 1), not 'x'"},
      {{"lookup", "go", "--nth", "2"}, "(0 to 1), not '2'"},
      {{"lookup", "go", "--dict", "/nonexistent/x.dic"},
       "x.dic: not a Lexor dictionary (cannot be opened for reading)"},
      {{"list", "extra"}, "list takes no words"},
      {{"consult", "go", "--format", "html"}, "unknown option --format"},
      {{"search"}, "search takes exactly one QUERY"},
      {{"search", "\"go"}, "unclosed quote in the query"},
      {{"search", "go", "--limit", "-1"}, "--limit wants a count (0: all), not '-1'"},
      {{"search", "go", "--format", "xml"}, "--format is text, html or json, not 'xml'"},
      {{"serve", "--port=65536"}, "--port wants a number from 0 to 65535, not '65536'"},
      {{"serve", "8080"}, "serve takes no word, not '8080'"},
      {{"dict-server", "--max-matches=0"}, "--max-matches wants a positive number, not '0'"},
      {{"match", "-s", "re", "(g"}, "lexorpeek: invalid regular expression"},
      {{"match", "-s", "regexp", "\\(g\\)\\1"}, "lexorpeek: invalid regular expression"},
      {{"match", "-s", "soundex", "go"}, "lexorpeek: unknown strategy: soundex"},
      {{"match", "--strategies", "go"}, "lexorpeek: --strategies takes no WORD"},
      {{"deinflect"}, "deinflect takes exactly one WORD"},
      {{"deinflect", "行った", "--format", "xml"}, "--format is text or json, not 'xml'"},
  };
  for (const auto& [args, err] : mistakes) expectRows({{args, 2, "", err}});
}

TEST_F(CliTest, ReplAnswersEachLineAndRefusesAnOverlongOne) {
  suite();
  const std::string input = "{\"op\":\"useNthDic\",\"args\":[0]}\r\n" + std::string(3 << 20, 'x') +
                            "\n{\"op\":\"queryWithWord\",\"args\":[\"go\"]}\n"
                            "{\"op\":\"bogus\"}\n"
                            "{\"op\":\"getRecordAsText\"}";  // the last line may lack its line feed
  const Outcome r = run({"repl"}, input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"result\":null}\n{\"error\":\"request longer than 1048576 bytes\"}\n"
            "{\"result\":true}\n{\"error\":\"unknown operation: bogus\"}\n"
            "{\"result\":\"go<br>行く\"}\n");
}

}  // namespace
}  // namespace lexor
