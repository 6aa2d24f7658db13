// The writer's sources: tab-separated text and dictd dictionaries, and the lexor-mkdict command.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

using lexor::testing::TempDir;

TEST(TabSeparatedTest, ReadsOptionalFieldsAndEscapes) {
  TempDir dir;
  std::string path = dir.write("in.tsv",
                               "apple\tfruit\\nof a tree\tˈæpəl\tan \\\\apple\\t\t3\r\n"
                               "\n"
                               "pear\tpoire\n"
                               "plum\tprune\t\t\t\n");
  std::string error;
  auto entries = readTabSeparated(path, &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 3u);
  const Entry& apple = (*entries)[0];
  EXPECT_EQ(apple.headWord, u("apple"));
  EXPECT_EQ(apple.translation, u("fruit\r\nof a tree"));
  EXPECT_EQ(apple.pronunciation, u("ˈæpəl"));
  EXPECT_EQ(apple.example, u("an \\apple\t"));
  EXPECT_EQ(apple.level, 3);
  EXPECT_EQ((*entries)[1].pronunciation, std::nullopt);
  EXPECT_EQ((*entries)[2].example, std::nullopt);
  EXPECT_EQ((*entries)[2].level, 0);
}

TEST(TabSeparatedTest, NamesTheLineOfBadInput) {
  struct Case {
    const char* text;
    const char* problem;
  };
  const Case cases[] = {
      {"ok\tfine\nno translation\n", ":2: expected a head word"},
      {"a\tb\t\t\t16\n", ":1: the level"},
      {"a\tb\t\t\tx\n", ":1: the level"},
      {"a\tb\tc\td\t1\textra\n", ":1: more than 5 fields"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(readTabSeparated(dir.write("bad.tsv", c.text), &error));
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(readTabSeparated(dir.file("missing.tsv"), &error));
  EXPECT_NE(error, "");
}

void writeGzip(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
}

// dictd's numbers: base 64 with A = 0 ... / = 63, most significant digit first.
std::string base64Number(uint64_t value) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  do {
    out.insert(out.begin(), digits[value % 64]);
    value /= 64;
  } while (value > 0);
  return out;
}

// Writes NAME.index and NAME.dict.dz holding the definitions, and returns the index path.
std::string writeDictd(const TempDir& dir,
                       const std::vector<std::pair<std::string, std::string>>& defs) {
  std::string data, index;
  for (const auto& [word, definition] : defs) {
    index +=
        word + "\t" + base64Number(data.size()) + "\t" + base64Number(definition.size()) + "\n";
    data += definition;
  }
  writeGzip(dir.file("tiny.dict.dz"), data);
  return dir.write("tiny.index", index);
}

TEST(DictdTest, ReadsDefinitionsAndLeavesMetadataOut) {
  TempDir dir;
  std::string padding(5000, '.');  // pushes later offsets past one base-64 digit
  std::string indexPath =
      writeDictd(dir, {{"00-database-info", "about this dictionary\n"},
                       {"apple", "apple /ˈæpəl/ //ˈæp.əl// <n>\n1. りんご\nfruit\n\n"},
                       {"pad", "pad\n" + padding + "\n"},
                       {"bare", "bare\nはだかの\n"},
                       {"other", "Other spelling\nべつ\n"}});
  std::string error;
  auto entries = readDictd(indexPath, &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 4u);
  EXPECT_EQ((*entries)[0].headWord, u("apple"));
  EXPECT_EQ((*entries)[0].translation, u("<n>\r\n1. りんご\r\nfruit"));
  EXPECT_EQ((*entries)[0].pronunciation, u("ˈæpəl, ˈæp.əl"));
  EXPECT_EQ((*entries)[1].translation, u(padding));
  EXPECT_EQ((*entries)[2].translation, u("はだかの"));
  EXPECT_EQ((*entries)[2].pronunciation, std::nullopt);
  EXPECT_EQ((*entries)[3].translation, u("Other spelling\r\nべつ"));  // not a repeat: kept
}

TEST(DictdTest, RefusesIndexLinesThatDoNotFitTheData) {
  TempDir dir;
  writeGzip(dir.file("tiny.dict.dz"), "short");
  const char* lines[] = {"word\tA\tZ\n", "word\tA\n", "word\tA!\tB\n", "word\tAAAAAAAAAAA\tB\n"};
  for (const char* line : lines) {
    std::string error;
    EXPECT_FALSE(readDictd(dir.write("tiny.index", line), &error)) << line;
    EXPECT_NE(error.find("tiny.index:1:"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(readDictd(dir.write("tiny.txt", "word\tA\tB\n"), &error));
}

// ---- lexor-mkdict ----

int runMkdict(const std::string& arguments) {
  const char* binaryDir = std::getenv("LEXOR_BINARY_DIR");
  std::string binary = std::string(binaryDir ? binaryDir : ".") + "/bin/lexor-mkdict";
  if (!std::filesystem::exists(binary)) return -1;
  int status = std::system((binary + " " + arguments + " 2>/dev/null >/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

TEST(MkdictTest, ExitStatusSaysWhatHappened) {
  TempDir dir;
  std::string tsv = dir.write("in.tsv", "apple\tりんご\n");
  std::string out = dir.file("ambora.dic");
  if (runMkdict("--help") == -1) GTEST_SKIP() << "lexor-mkdict is not built";
  EXPECT_EQ(runMkdict("--help"), 0);
  EXPECT_EQ(runMkdict(out + " " + tsv), 0);
  EXPECT_GT(std::filesystem::file_size(out), 256u);
  EXPECT_EQ(runMkdict("--version 2 --bocu " + out + " " + tsv), 2);
  EXPECT_EQ(runMkdict("--field-width 3 " + out + " " + tsv), 2);
  EXPECT_EQ(runMkdict(out), 2);
  EXPECT_EQ(runMkdict(out + " " + dir.file("missing.tsv")), 1);
  EXPECT_EQ(runMkdict(out + " " + dir.write("emoji.tsv", "😀\tx\n")), 1);  // nothing to write
}

}  // namespace
}  // namespace lexor::writer
