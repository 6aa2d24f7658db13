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
  std::string indexPath = writeDictd(dir, {{"00-database-info", "about this dictionary\n"},
                                           {"pad", "pad\n" + padding + "\n"},
                                           {"bare", "bare\nはだかの\n\n"}});
  std::string error;
  auto entries = readDictd(indexPath, &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].headWord, u("pad"));
  EXPECT_EQ((*entries)[0].translation, u(padding));
  EXPECT_EQ((*entries)[1].translation, u("はだかの"));
  EXPECT_EQ((*entries)[1].pronunciation, std::nullopt);
}

// The head-word line of both sides of an English-Japanese pair of dictionaries.
TEST(DictdTest, TakesTheHeadWordLineApart) {
  struct Case {
    const char* headWord;
    const char* definition;
    const char* pronunciation;  // nullptr: none
    const char* translation;
  };
  const Case cases[] = {
      // English: broad transcriptions kept, the narrow one only stands in when there is no
      // broad one; the part of speech leads the first line.
      {"cat", "cat //kat// //kæt// /[kʰæt]/ <n>\n猫\nfeline & <small>\n", "kat, kæt",
       "(n) 猫<br>feline &amp; &lt;small&gt;"},
      {"ox", "ox /[ɒks]/ <n>\n雄牛\n", "ɒks", "(n) 雄牛"},
      {"in a nutshell", "in a nutshell //ɪn ə ˈnʌtʃɛl// <phraseologicalUnit>\n", "ɪn ə ˈnʌtʃɛl",
       "(phraseological unit)"},
      // The spelling the index word lost is kept; a slash inside a word is no transcription.
      {"911", "9/11 //naɪn.əˈlɛ.vən// <pn>\n同時多発テロ\n", "naɪn.əˈlɛ.vən",
       "(pn) 9/11<br>同時多発テロ"},
      // Japanese: frequency marks and notes dropped; the ideographic forms' guesses skipped for
      // the first reading's transcription; readings before the other written forms.
      {"行く",
       " [ichi1]  行く /kˈɯᵝ/,  (word containing out-dated kanji)  往く /kˈɯᵝ/,  [ichi1]  "
       "いく /ˈikɯᵝ/,  [ichi1] ゆく /jˈɯᵝkɯᵝ/\n1. (Godan verb)\n (intransitive verb)\nto go\n",
       "ˈikɯᵝ", "いく, ゆく, 往く<br>1. (Godan verb)<br>(intransitive verb)<br>to go"},
      {"ゆく", " [ichi1]  行く /kˈɯᵝ/,  [ichi1]  いく /ˈikɯᵝ/,  [ichi1] ゆく /jˈɯᵝkɯᵝ/\nto go\n",
       "jˈɯᵝkɯᵝ", "いく, 行く<br>to go"},
      {"猫",
       " [ichi1]  [news1]  [nf07]  猫 /(en)tʃˈaɪniːz(ja)lˈe̞tə/,  [news1] ねこ /nˈe̞ko̞/,  () "
       "ネコ /nˈe̞ko̞/\n\n1. cat\n\n         Note: archaism\n",
       "nˈe̞ko̞", "ねこ, ネコ<br>1. cat<br>Note: archaism"},
      // A spelled-out language switch is no pronunciation, nor a full-width letter's name.
      {"おしゃｐ", "おしゃＰ /ˈo̞ (en)ɕˈi(ja)/, おしゃピー /o̞ɕˈäpiː/\nfashion\n", "o̞ɕˈäpiː",
       "おしゃＰ, おしゃピー<br>fashion"},
      {"ｐ", "Ｐ /lˈe̞təpˈiː/\nthe letter\n", nullptr, "Ｐ<br>the letter"},
      // First lines that are no head-word line stay as they are.
      {"other", "Other spelling\nべつ\n", nullptr, "Other spelling<br>べつ"},
      {"either", "either / or\n", nullptr, "either / or"},
      {"open", "open /ɔ <v\n", nullptr, "open /ɔ &lt;v"},
  };
  std::vector<std::pair<std::string, std::string>> defs;
  for (const Case& c : cases) defs.emplace_back(c.headWord, c.definition);
  TempDir dir;
  std::string error;
  auto entries = readDictd(writeDictd(dir, defs), &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Entry& entry = (*entries)[i];
    EXPECT_EQ(entry.headWord, u(cases[i].headWord));
    EXPECT_EQ(toUtf8(entry.translation), cases[i].translation) << cases[i].headWord;
    std::optional<UString> pronunciation;
    if (cases[i].pronunciation) pronunciation = u(cases[i].pronunciation);
    EXPECT_EQ(entry.pronunciation, pronunciation) << cases[i].headWord;
  }
}

TEST(DictdTest, PlainTextKeepsTheDataAndBreaksLinesWithCrLf) {
  TempDir dir;
  std::string indexPath = writeDictd(dir, {{"cat", "cat //kæt// <n>\n猫\nfeline & <small>\n"}});
  std::string error;
  auto entries = readDictd(indexPath, DictdText::kPlain, &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].translation, u("(n) 猫\r\nfeline & <small>"));
  EXPECT_EQ((*entries)[0].pronunciation, u("kæt"));
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
