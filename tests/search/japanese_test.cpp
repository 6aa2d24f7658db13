// Deinflection against a dictionary written with the writer (every class and form, chains,
// ambiguous kana, ranking), and romaji to kana in its three spellings.
#include <gtest/gtest.h>

#include "core/lexor.h"
#include "search/japanese/deinflector.h"
#include "search/japanese/head_word_probe.h"
#include "search/japanese/romaji.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {
namespace {

// Head words with the class phrases the demo data writes in their translations.
const std::pair<const char*, const char*> kHeadWords[] = {
    {"食べる", "1. (Ichidan verb)<br>(transitive verb)<br>to eat"},
    {"見る", "(Ichidan verb) to see"},
    {"いる", "(Ichidan verb) to be"},
    {"いる", "(Godan verb with `ru' ending) to need"},
    {"いた", "(noun (common) (futsuumeishi)) board"},
    {"買う", "(Godan verb with `u' ending) to buy"},
    {"書く", "(Godan verb with `ku' ending) to write"},
    {"泳ぐ", "(Godan verb with `gu' ending) to swim"},
    {"話す", "(Godan verb with `su' ending) to speak"},
    {"待つ", "(Godan verb with `tsu' ending) to wait"},
    {"死ぬ", "(Godan verb with `nu' ending) to die"},
    {"遊ぶ", "(Godan verb with `bu' ending) to play"},
    {"読む", "(Godan verb with `mu' ending) to read"},
    {"帰る", "(Godan verb with `ru' ending) to go home"},
    {"行く", "(Godan verb - Iku/Yuku special class) to go"},
    {"行う", "(Godan verb with `u' ending) to perform"},
    {"かう", "(Godan verb with `u' ending) to buy"},
    {"かつ", "(Godan verb with `tsu' ending) to win"},
    {"かる", "(Godan verb with `ru' ending) to cut"},
    {"する", "(suru verb - irregular) to do"},
    {"来る", "(Kuru verb - special class) to come"},
    {"くる", "(Kuru verb - special class) to come"},
    {"勉強",
     "(noun (common) (futsuumeishi))<br>(noun or participle which takes the aux. verb "
     "suru) study"},
    {"高い", "(adjective (keiyoushi)) high"},
    {"いい", "(adjective (keiyoushi) - yoi/ii class) good"},
    {"見す", "to show (no class named)"},
};

class DeinflectorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::vector<writer::Entry> entries;
    for (const auto& [head, translation] : kHeadWords) entries.push_back(entry(head, translation));
    // Small blocks, so that a word and its neighbours fall in different blocks.
    static TempDir dir;
    const std::string path = dir.file("ja.dic");
    ASSERT_TRUE(writer::writeDictionary(path, entries, {.bocu = true, .blockBytes = 256}));
    dics = new LexorList{Lexor::initWithFilePath(u(path))};
  }

  static std::vector<std::pair<std::string, std::string>> found(const char* word) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Deinflection& d : deinflect(*dics, u(word)))
      out.emplace_back(toUtf8(d.word), describeInflection(d.rules, " "));
    return out;
  }

  inline static LexorList* dics = nullptr;
};

// Each form, the dictionary form it must find first, and the rules that lead there.
TEST_F(DeinflectorTest, FindsTheDictionaryFormOfEveryClassAndForm) {
  const std::tuple<const char*, const char*, const char*> table[] = {
      // ichidan
      {"食べます", "食べる", "polite"},
      {"食べません", "食べる", "polite negative"},
      {"食べましょう", "食べる", "polite volitional"},
      {"食べず", "食べる", "negative"},
      {"食べん", "食べる", "negative"},
      {"食べた", "食べる", "past"},
      {"食べてる", "食べる", "progressive"},
      {"食べたい", "食べる", "want"},
      {"食べれる", "食べる", "potential"},
      {"食べさす", "食べる", "causative"},
      {"食べよう", "食べる", "volitional"},
      {"食べろ", "食べる", "imperative"},
      {"食べれば", "食べる", "conditional"},
      {"食べたら", "食べる", "conditional"},
      {"食べながら", "食べる", "while"},
      {"食べてしまう", "食べる", "completion"},
      {"食べちゃう", "食べる", "completion"},
      {"食べてください", "食べる", "request"},
      {"食べすぎる", "食べる", "excess"},
      // godan, the nine endings and their sound changes
      {"買った", "買う", "past"},
      {"書いて", "書く", "te"},
      {"泳いでいる", "泳ぐ", "progressive"},
      {"話して", "話す", "te"},
      {"待った", "待つ", "past"},
      {"死んだ", "死ぬ", "past"},
      {"遊んで", "遊ぶ", "te"},
      {"読んじゃう", "読む", "completion"},
      {"帰った", "帰る", "past"},
      {"行って", "行く", "te"},
      {"書きます", "書く", "polite"},
      {"買わなかった", "買う", "negative past"},
      {"書ける", "書く", "potential"},
      {"書かれる", "書く", "passive"},
      {"書かす", "書く", "causative"},
      {"書こう", "書く", "volitional"},
      {"書け", "書く", "imperative"},
      {"書けば", "書く", "conditional"},
      {"泳いだら", "泳ぐ", "conditional"},
      {"書きながら", "書く", "while"},
      {"書きたい", "書く", "want"},
      // する, 来る in kanji and kana, nouns with する
      {"しなかった", "する", "negative past"},
      {"できない", "する", "potential negative"},
      {"来ます", "来る", "polite"},
      {"こなかった", "くる", "negative past"},
      {"きて", "くる", "te"},
      {"来い", "来る", "imperative"},
      {"来られる", "来る", "passive"},
      {"勉強しました", "勉強", "suru polite past"},
      {"勉強できる", "勉強", "suru potential"},
      {"勉強せず", "勉強", "suru negative"},
      // i-adjectives, いい on よ
      {"高く", "高い", "adverb"},
      {"高くない", "高い", "negative"},
      {"高くありません", "高い", "polite negative"},
      {"高くて", "高い", "te"},
      {"高ければ", "高い", "conditional"},
      {"高そう", "高い", "seeming"},
      {"高すぎる", "高い", "excess"},
      {"よかった", "いい", "past"},
      // chains of three and four steps, which also stand for their steps alone
      {"食べていました", "食べる", "progressive polite past"},
      {"食べさせられなかった", "食べる", "causative passive negative past"},
      {"書かせられませんでした", "書く", "causative passive polite negative past"},
  };
  for (const auto& [form, base, rules] : table) {
    const auto candidates = found(form);
    ASSERT_FALSE(candidates.empty()) << form;
    EXPECT_EQ(candidates.front(), std::make_pair(std::string(base), std::string(rules))) << form;
  }
}

// Each head word, wherever its block begins, with all its entries; a prefix alone is none.
TEST_F(DeinflectorTest, ProbeFindsEveryHeadWordExactly) {
  std::vector<UString> words = {u"食", u"食べるz"};
  for (const auto& [head, translation] : kHeadWords) words.push_back(u(head));
  const auto found = HeadWordProbe(*dics).findAll(words);
  EXPECT_EQ(found.size(), std::size(kHeadWords) - 1);  // いる twice
  const auto& iru = found.at(u"いる").translations;
  ASSERT_EQ(iru.size(), 2u);
  EXPECT_EQ(namedWordClasses(iru[0]) | namedWordClasses(iru[1]), kIchidanVerb | kGodanVerb);
}

TEST_F(DeinflectorTest, AmbiguousFormsListEveryHeadWordAndRankByClass) {
  using List = std::vector<std::pair<std::string, std::string>>;
  // Every godan reading of かった that exists, in dictionary order.
  EXPECT_EQ(found("かった"), (List{{"かう", "past"}, {"かつ", "past"}, {"かる", "past"}}));
  // 行く's own rule before the general one.
  EXPECT_EQ(found("行った"), (List{{"行く", "past"}, {"行う", "past"}}));
  // A head word that looks inflected is left out; what it may come from is listed.
  EXPECT_EQ(found("いた"), (List{{"いる", "past"}}));
  // The entry that names no class ranks after the one whose class agrees.
  EXPECT_EQ(found("見させる"), (List{{"見る", "causative"}, {"見す", "causative"}}));
  EXPECT_TRUE(found("猫").empty());
  EXPECT_TRUE(found("").empty());
}

TEST(DeinflectionFormsTest, StayBoundedForAnyWord) {
  // Endings that every rule table reaches again and again.
  const UString worst[] = {UString(60, u'て'), UString(64, u'っ') + u"た",
                           u"させられさせられさせられさせられなかった", UString(65, u'る')};
  for (const UString& word : worst) {
    const std::vector<InflectedForm> forms = deinflectionForms(word);
    EXPECT_LE(forms.size(), kMaxDeinflectedForms);
    for (const InflectedForm& form : forms) EXPECT_LE(form.steps, kMaxDeinflectionSteps);
  }
  EXPECT_TRUE(deinflectionForms(UString(kMaxDeinflectedWordLength + 1, u'た')).empty());
}

TEST(RomajiTest, HepburnKunreiAndKeyboardSpellingsReachTheSameKana) {
  const std::pair<std::vector<const char*>, const char*> table[] = {
      {{"tabemashita", "tabemasita"}, "たべました"},
      {{"chiisai", "tiisai"}, "ちいさい"},
      {{"tsukue", "tukue"}, "つくえ"},
      {{"fune", "hune"}, "ふね"},
      {{"jisho", "zisyo", "jisyo", "zisho"}, "じしょ"},
      {{"tuduku", "tsudzuku"}, "つづく"},
      {{"shashin", "syasin"}, "しゃしん"},
      {{"ocha", "otya", "ocya"}, "おちゃ"},
      {{"ja", "zya", "jya"}, "じゃ"},
      {{"fafifefo"}, "ふぁふぃふぇふぉ"},
      {{"shinbun", "sinbun", "shinnbun"}, "しんぶん"},
      {{"hon", "honn"}, "ほん"},
      {{"konnichiwa", "konnnichiwa"}, "こんにちわ"},
      {{"kitte"}, "きって"},
      {{"matcha", "maccha"}, "まっちゃ"},
      {{"xtsu", "ltu", "xtu"}, "っ"},
      {{"xyaxa", "lyala"}, "ゃぁ"},
      {{"ra-men"}, "らーめん"},
      {{"tōkyō", "toukyou"}, "とうきょう"},
      {{"kon'ya"}, "こんや"},
      {{"kon'nichiha"}, "こんにちは"},
      {{"vu"}, "ゔ"},
      {{"vuxa"}, "ゔぁ"},
      {{"TOUKYOU"}, "トウキョウ"},
      {{"TŌKYŌ"}, "トーキョー"},
      {{"ねこ"}, "ねこ"},
      {{"123"}, "123"},
      {{"x"}, "x"},
      {{"q!"}, "q!"},
      {{"KAMERA to neko"}, "カメラ と ねこ"},
      {{"n"}, "ん"},
      {{"kanna"}, "かんな"},
      {{"TAKUSHI-"}, "タクシー"},
  };
  for (const auto& [spellings, kana] : table) {
    for (const char* spelling : spellings)
      EXPECT_EQ(toUtf8(romajiToKana(u(spelling))), kana) << spelling;
  }
}

}  // namespace
}  // namespace lexor::testing
