// The built `lexorpeek` program, run with HOME set to a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string binary() {
  const char* dir = getenv("LEXOR_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/bin/lexorpeek";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

writer::Entry entry(const char* head, const char* translation, const char* pron = nullptr) {
  writer::Entry e{fromUtf8(head), fromUtf8(translation), std::nullopt, std::nullopt, 0};
  if (pron) e.pronunciation = fromUtf8(pron);
  return e;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(binary())) << binary() << " is not built";
    fs::create_directories(folder());
  }

  std::string folder() const { return dir_.path().string() + "/Library/Lexor"; }

  void dictionary(const std::string& name, const std::vector<writer::Entry>& entries, bool bocu = false) {
    writer::Options options;
    options.bocu = bocu;
    fs::create_directories(fs::path(folder() + "/" + name).parent_path());
    ASSERT_TRUE(writer::writeDictionary(folder() + "/" + name, entries, options).error.empty());
  }

  void suite() {
    dictionary("ambora52.dic", {entry("go", "行く"), entry("good", "よい<br>良好な")});
    dictionary("revora48.dic", {entry("行く", "go")});
  }

  Outcome run(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in = dir_.write("stdin", input);
    const std::string out = dir_.file("stdout");
    const std::string err = dir_.file("stderr");
    const std::string home = dir_.path().string();
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("HOME", home.c_str(), 1);
      const int fds[] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                         open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)};
      for (int i = 0; i < 3; ++i) dup2(fds[i], i);
      std::vector<char*> argv{const_cast<char*>("lexorpeek")};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(binary().c_str(), argv.data());
      _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    return Outcome{WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, slurp(out), slurp(err)};
  }

  TempDir dir_;
};

TEST_F(CliTest, ListShowsPositionsNamesPathsAndTheSuite) {
  suite();
  dictionary("sub/notes.dic", {entry("x", "y")});
  const Outcome r = run({"list"});
  EXPECT_EQ(r.status, 0);
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 4u) << r.out;
  EXPECT_EQ(got[0].rfind("0\t", 0), 0u);
  EXPECT_TRUE(got[0].ends_with("\tambora52.dic"));
  EXPECT_EQ(got[2], "2\tsub/notes.dic\tsub/notes.dic");
  EXPECT_EQ(got[3], "suite: available, version 48");
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, ListWithoutFolderStillSucceeds) {
  fs::remove_all(folder());
  const Outcome r = run({"list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "suite: not available\n");
  EXPECT_NE(r.err.find(": isDir=f"), std::string::npos);
  EXPECT_EQ(run({"--quiet", "list"}).err.find(": isDir=f"), std::string::npos);
}

TEST_F(CliTest, LookupFormatsAndExitStatus) {
  suite();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{"lookup", "go"}, 0, "go\n  行く\ngood\n  よい\n  良好な\n"},
      {{"lookup", "行"}, 0, "行く\n  go\n"},
      {{"lookup", "goo", "--format", "html"}, 0,
       "<span class=\"m\"><span class=\"f1\">good</span></span><span class=\"f4\">よい<br>良好な</span>\n"},
      {{"lookup", "--format=json", "go"}, 0, "[\"go\",null,null,\"行く\",null]\n[\"good\",null,null,\"よい<br>良好な\",null]\n"},
      {{"lookup", "go", "--nth", "1"}, 1, ""},
      {{"lookup", "zebra"}, 1, ""},
      {{"consult", "good"}, 0,
       "<span class=\"m\"><span class=\"f1\">good</span></span><span class=\"f4\">よい<br>良好な</span>\n"},
      {{"consult", "zebra"}, 1, ""},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
}

TEST_F(CliTest, LookupInChosenFiles) {
  dictionary("uni2.dic", {entry("apple", "Apfel", "ˈæpl")}, true);
  const std::string elsewhere = dir_.path().string() + "/german.dic";
  writer::writeDictionary(elsewhere, {entry("apple", "りんご")}, {});
  // Without the suite the first listed dictionary is searched.
  EXPECT_EQ(run({"lookup", "app"}).out, "apple [ˈæpl]\n  Apfel\n");
  EXPECT_EQ(run({"lookup", "app", "--dict", elsewhere}).out, "apple\n  りんご\n");
  EXPECT_EQ(run({"lookup", "app", "--nth", "0", "--dict", elsewhere}).out, "apple [ˈæpl]\n  Apfel\napple\n  りんご\n");
  EXPECT_EQ(run({"lookup", "--", "-x"}).status, 1);
}

TEST_F(CliTest, TextFormatMakesMarkupPlain) {
  const char* translation =
      "a &amp; b<br/><i>c</i> &lt;d&gt; &#12354;&#x3042;<BR>&bogus; 1 < 2 &#0;";
  dictionary("uni2.dic", {entry("x", translation, "&quot;ks&#39;")}, true);
  EXPECT_EQ(run({"lookup", "x"}).out, "x [\"ks']\n  a & b\n  c <d> ああ\n  &bogus; 1 < 2 &#0;\n");
  EXPECT_EQ(run({"lookup", "x", "--format", "json"}).out,
            std::string("[\"x\",\"&quot;ks&#39;\",null,\"") + translation + "\",null]\n");
}

TEST_F(CliTest, UsageErrors) {
  suite();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"lookup"},
      {"lookup", "a", "b"},
      {"lookup", "go", "--format", "xml"},
      {"lookup", "go", "--nth", "x"},
      {"lookup", "go", "--nth", "2"},
      {"lookup", "go", "--nth", "-1"},
      {"lookup", "go", "--nth"},
      {"lookup", "go", "--suite", "--nth", "0"},
      {"lookup", "go", "--dict", "/nonexistent/x.dic"},
      {"lookup", "go", "--bogus"},
      {"list", "extra"},
      {"repl", "--port", "1"},
      {"consult", "go", "--format", "html"},
  };
  for (const auto& args : cases) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]) << " " << r.out;
    EXPECT_EQ(r.out, "");
  }
  for (const char* command : {"list", "lookup", "consult", "repl"}) {
    const Outcome r = run({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind("usage: lexorpeek ", 0), 0u) << command;
  }
  EXPECT_EQ(run({"--help"}).status, 0);
}

TEST_F(CliTest, ReplAnswersEachLineAndKeepsGoing) {
  suite();
  const std::string input =
      "{\"op\":\"dicCount\"}\n"
      "{\"op\":\"useNthDic\",\"args\":[0]}\r\n"
      "garbage\n"
      "{\"op\":\"queryWithWord\",\"args\":[\"go\"]}\n"
      "{\"op\":\"bogus\"}\n"
      "\n"
      "{\"op\":\"getRecordAsText\"}";  // the last line may lack its line feed
  const Outcome r = run({"repl"}, input);
  EXPECT_EQ(r.status, 0);
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 7u) << r.out;
  EXPECT_EQ(got[0], R"({"result":2})");
  EXPECT_EQ(got[1], R"({"result":null})");
  EXPECT_TRUE(nlohmann::json::parse(got[2]).contains("error"));
  EXPECT_EQ(got[3], R"({"result":true})");
  EXPECT_EQ(got[4], R"({"error":"unknown operation: bogus"})");
  EXPECT_TRUE(nlohmann::json::parse(got[5]).contains("error"));
  EXPECT_EQ(got[6], R"({"result":"go<br>行く"})");
}

TEST_F(CliTest, ReplRefusesAnOverlongLineAndGoesOn) {
  const std::string input = std::string(3 << 20, 'x') + "\n{\"op\":\"dicCount\"}\n";
  const Outcome r = run({"repl"}, input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "{\"error\":\"request longer than 1048576 bytes\"}\n{\"result\":0}\n");
}

}  // namespace
}  // namespace lexor
