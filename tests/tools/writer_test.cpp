// The writer: its exact block bytes, what it skips, counts and refuses, its sources (tab-separated
// text and dictd dictionaries) and the lexor-mkdict command. Dictionaries of every layout read
// back by the reader are checked in tests/core/recordset_model_test.cpp.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <tuple>

#include "tests/support/built_program.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/dictd_definition.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

TEST(DataBlockTest, LaysOutEntriesByteForByte) {
  const std::vector<RawEntry> entries = {{"app", 0x00, "\x58"}, {"apple", 0x01, "\x59"}};
  using namespace std::string_view_literals;
  // clang-format off
  const std::tuple<bool, int, std::string_view> cases[] = {
      {false, 2, "\x01\x00" "\x06\x00\x00" "app\0\0\x58" "\x05\x00\x03" "le\0\x01\x59" "\0\0"sv},
      // BOCU-1: the attribute comes before the tail, and L does not count it.
      {true, 2, "\x01\x00" "\x05\x00\x00" "\0app\0\x58" "\x04\x00\x03" "\x01le\0\x59" "\0\0"sv},
      {false, 4, "\x01\x80" "\x06\0\0\0\x00" "app\0\0\x58" "\x05\0\0\0\x03" "le\0\x01\x59" "\0\0\0\0"sv},
  };
  // clang-format on
  for (const auto& [bocu, width, bytes] : cases) {
    std::vector<uint8_t> expected(bytes.begin(), bytes.end());
    expected.resize(256, 0);
    EXPECT_EQ(buildDataBlock(entries, bocu, width), expected) << bocu << width;
  }
  // A 300-byte entry takes two units; a 64 KiB one fits only 4-byte lengths.
  std::vector<RawEntry> big = {{"a", 0, std::string(300, 'x')}};
  EXPECT_EQ(buildDataBlock(big, false, 2).value().size(), 512u);
  big[0].body.assign(0x10000, 'x');
  EXPECT_FALSE(buildDataBlock(big, false, 2));
  EXPECT_TRUE(buildDataBlock(big, false, 4));
}

using testing::entry;

TEST(BuildDictionaryTest, SkipsAndCountsWhatTheCodePageCannotHold) {
  std::vector<Entry> entries = {
      entry("apple", "りんご"),     entry("emoji😀", "x"),                       // not in Shift_JIS
      entry("", "empty head word"), entry("pear", "梨"),  entry("pear", "梨"),  // exact copy
  };
  entries[3].pronunciation = entries[4].pronunciation = u("→pɛə");  // → has no phonetic byte
  Report report;
  EXPECT_TRUE(buildDictionary(entries, {.signature = kAmboraSignature}, &report));
  EXPECT_EQ(report.written, 2u);
  EXPECT_EQ(report.skipped, 2u);
  EXPECT_EQ(report.duplicates, 1u);
  EXPECT_EQ(report.pronunciationsDropped, 2u);
}

TEST(BuildDictionaryTest, RefusesWhatTheHeaderCannotState) {
  std::string error;
  EXPECT_FALSE(buildDictionary({entry("a", "b")}, {.version = 2, .bocu = true}, nullptr, &error));
  EXPECT_NE(error, "");  // version 2 has no BOCU-1 flag

  // 170 long leading words make an index beyond the 16-bit size of versions 2 and 3.
  std::vector<RawEntry> raw;
  for (int i = 0; i < 170; ++i)
    raw.push_back({std::to_string(1000 + i) + std::string(200, 'a'), 0, "t"});
  for (int version : {2, 3}) {
    EXPECT_FALSE(buildDictionaryFromRaw(raw, {.version = version, .blockBytes = 256}, &error));
    EXPECT_NE(error.find("16 bits"), std::string::npos) << version << error;
  }
  EXPECT_TRUE(buildDictionaryFromRaw(raw, {.version = 5, .blockBytes = 256}, &error)) << error;
}

using lexor::testing::TempDir;

TEST(TabSeparatedTest, ReadsOptionalFieldsAndEscapes) {
  TempDir dir;
  std::string error;
  auto entries = readTabSeparated(
      dir.write("in.tsv", "apple\tfruit\\nof a tree\tˈæpəl\tan \\\\apple\\t\t3\r\n\npear\tpoire\n"),
      &error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  const Entry& apple = (*entries)[0];
  EXPECT_EQ(apple.translation, u("fruit\r\nof a tree"));
  EXPECT_EQ(apple.pronunciation, u("ˈæpəl"));
  EXPECT_EQ(apple.example, u("an \\apple\t"));
  EXPECT_EQ(apple.level, 3);
  EXPECT_EQ((*entries)[1].pronunciation, std::nullopt);

  const std::pair<const char*, const char*> bad[] = {
      {"ok\tfine\nno translation\n", ":2: expected a head word"},
      {"a\tb\t\t\t16\n", ":1: the level"},
      {"a\tb\tc\td\t1\textra\n", ":1: more than 5 fields"},
  };
  for (const auto& [text, problem] : bad) {
    EXPECT_FALSE(readTabSeparated(dir.write("bad.tsv", text), &error));
    EXPECT_NE(error.find(problem), std::string::npos) << error;
  }
  EXPECT_FALSE(readTabSeparated(dir.file("missing.tsv"), &error));
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
  std::string out(1, digits[value % 64]);
  while ((value /= 64) > 0) out.insert(out.begin(), digits[value % 64]);
  return out;
}

// Writes tiny.index and tiny.dict.dz holding the definitions, and returns the index path.
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

// The head-word line of both sides of an English-Japanese pair of dictionaries.
TEST(DictdTest, TakesTheHeadWordLineApart) {
  // Head word, definition, pronunciation, translation.
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      // English: broad transcriptions kept, the narrow one only stands in when there is no
      // broad one; the part of speech leads the first line.
      {"cat", "cat //kat// //kæt// /[kʰæt]/ <n>\n猫\nfeline & <small>\n", "kat, kæt",
       "(n) 猫<br>feline &amp; &lt;small&gt;"},
      // The spelling the index word lost is kept; a slash inside a word is no transcription.
      {"911", "9/11 //naɪn.əˈlɛ.vən// <pn>\n同時多発テロ\n", "naɪn.əˈlɛ.vən",
       "(pn) 9/11<br>同時多発テロ"},
      // Japanese: frequency marks and notes dropped; the ideographic forms' guesses skipped for
      // the first reading's transcription; readings before the other written forms.
      {"行く",
       " [ichi1]  行く /kˈɯᵝ/,  (word containing out-dated kanji)  往く /kˈɯᵝ/,  [ichi1]  "
       "いく /ˈikɯᵝ/,  [ichi1] ゆく /jˈɯᵝkɯᵝ/\n1. (Godan verb)\n (intransitive verb)\nto go\n",
       "ˈikɯᵝ", "いく, ゆく, 往く<br>1. (Godan verb)<br>(intransitive verb)<br>to go"},
      {"猫",
       " [ichi1]  [news1]  [nf07]  猫 /(en)tʃˈaɪniːz(ja)lˈe̞tə/,  [news1] ねこ /nˈe̞ko̞/,  () "
       "ネコ /nˈe̞ko̞/\n\n1. cat\n\n         Note: archaism\n",
       "nˈe̞ko̞", "ねこ, ネコ<br>1. cat<br>Note: archaism"},
      // A spelled-out language switch is no pronunciation.
      {"おしゃｐ", "おしゃＰ /ˈo̞ (en)ɕˈi(ja)/, おしゃピー /o̞ɕˈäpiː/\nfashion\n", "o̞ɕˈäpiː",
       "おしゃＰ, おしゃピー<br>fashion"},
      // A first line that is no head-word line stays as it is.
      {"open", "open /ɔ <v\n", "(none)", "open /ɔ &lt;v"},
  };
  std::vector<std::pair<std::string, std::string>> defs = {{"00-database-info", "metadata\n"}};
  std::vector<std::tuple<std::string, std::string, std::string>> expected, got;
  for (const auto& [headWord, definition, pronunciation, translation] : cases) {
    defs.emplace_back(headWord, definition);
    expected.emplace_back(headWord, pronunciation, translation);
  }
  TempDir dir;
  std::string error;
  auto entries = readDictd(writeDictd(dir, defs), &error);
  ASSERT_TRUE(entries) << error;
  for (const Entry& e : *entries) {
    const std::string pronunciation = e.pronunciation ? toUtf8(*e.pronunciation) : "(none)";
    got.emplace_back(toUtf8(e.headWord), pronunciation, toUtf8(e.translation));
  }
  EXPECT_EQ(got, expected);  // the metadata entry left out
  // Plain text keeps the data's markup characters and breaks lines with CR LF.
  entries = readDictd(dir.file("tiny.index"), DictdText::kPlain, &error);
  ASSERT_TRUE(entries) << error;
  EXPECT_EQ((*entries)[0].translation, u("(n) 猫\r\nfeline & <small>"));
}

// Unclosed brackets before each of many forms once made taking the line apart quadratic: a
// corrupt source of a few megabytes took hours. Such a line is kept as text.
TEST(DictdTest, KeepsAnOverlongFirstLineAsText) {
  std::string line;
  while (line.size() < 200'000) line += "( /x/, ";
  const DefinitionParts parts = splitDefinition("x", line + "\nsecond\n", DictdText::kMarkup);
  line.pop_back();  // trimmed
  EXPECT_EQ(parts.translation, line + "<br>second");
  EXPECT_EQ(parts.pronunciation, "");
}

TEST(DictdTest, RefusesIndexLinesThatDoNotFitTheData) {
  TempDir dir;
  writeGzip(dir.file("tiny.dict.dz"), "short");
  // Against 5 bytes of data: lengths of 25 and of 6, no length, a bad digit, 11 digits.
  for (const char* line :
       {"word\tA\tZ\n", "word\tA\tG\n", "word\tA\n", "word\tA!\tB\n", "word\tAAAAAAAAAAA\tB\n"}) {
    std::string error;
    EXPECT_FALSE(readDictd(dir.write("tiny.index", line), &error)) << line;
    EXPECT_NE(error.find("tiny.index:1:"), std::string::npos) << error;
  }
}

int runMkdict(const std::string& arguments) {
  const std::string binary = testing::builtProgram("lexor-mkdict");
  if (!std::filesystem::exists(binary)) return -1;
  const int status = std::system((binary + " " + arguments + " 2>/dev/null >/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

TEST(MkdictTest, ExitStatusSaysWhatHappened) {
  TempDir dir;
  const std::string tsv = dir.write("in.tsv", "apple\tりんご\n");
  const std::string out = dir.file("ambora.dic");
  EXPECT_EQ(runMkdict(out + " " + tsv), 0);
  EXPECT_GT(std::filesystem::file_size(out), 256u);
  EXPECT_EQ(runMkdict("--format-version 2 --bocu " + out + " " + tsv), 2);
  EXPECT_EQ(runMkdict("--field-width 3 " + out + " " + tsv), 2);
  EXPECT_EQ(runMkdict(out), 2);
  EXPECT_EQ(runMkdict(out + " " + dir.file("missing.tsv")), 1);
  EXPECT_EQ(runMkdict(out + " " + dir.write("emoji.tsv", "😀\tx\n")), 1);  // nothing to write
}

}  // namespace
}  // namespace lexor::writer
