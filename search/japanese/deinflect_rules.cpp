// The rule table. Godan verbs conjugate on the five vowel rows of their last kana, so their rules
// are made from one list of forms and one row of kana for each of the nine endings; the rest is
// written out.
#include "search/japanese/deinflect_rules.h"

#include <initializer_list>
#include <unordered_map>

namespace lexor {
namespace {

using N = InflectionName;

constexpr std::array<std::string_view, 19> kNames = {
    "polite",  "negative",  "past",       "te",         "progressive", "want",  "potential",
    "passive", "causative", "volitional", "imperative", "conditional", "while", "completion",
    "request", "adverb",    "excess",     "seeming",    "suru",
};

constexpr uint16_t kTyped = kAsTyped;
constexpr uint16_t kTeOrTyped = kAsTyped | kTeForm;

// The stem a godan form is built on.
enum class Stem { kA, kI, kE, kO, kTe, kTa };

struct GodanRow {
  std::u16string_view base, a, i, e, o, te, ta;
};

constexpr GodanRow kGodanRows[] = {
    {u"う", u"わ", u"い", u"え", u"お", u"って", u"った"},
    {u"く", u"か", u"き", u"け", u"こ", u"いて", u"いた"},
    {u"ぐ", u"が", u"ぎ", u"げ", u"ご", u"いで", u"いだ"},
    {u"す", u"さ", u"し", u"せ", u"そ", u"して", u"した"},
    {u"つ", u"た", u"ち", u"て", u"と", u"って", u"った"},
    {u"ぬ", u"な", u"に", u"ね", u"の", u"んで", u"んだ"},
    {u"ぶ", u"ば", u"び", u"べ", u"ぼ", u"んで", u"んだ"},
    {u"む", u"ま", u"み", u"め", u"も", u"んで", u"んだ"},
    {u"る", u"ら", u"り", u"れ", u"ろ", u"って", u"った"},
};

struct Form {
  Stem stem;
  std::u16string_view ending;
  uint16_t applies;
  std::initializer_list<N> names;
};

// The forms every godan verb has, by the stem they are built on.
const Form kGodanForms[] = {
    {Stem::kA, u"ない", kIAdjective, {N::kNegative}},
    {Stem::kA, u"ず", kTyped, {N::kNegative}},
    {Stem::kA, u"ぬ", kTyped, {N::kNegative}},
    {Stem::kA, u"ん", kTyped, {N::kNegative}},
    {Stem::kA, u"れる", kIchidanVerb, {N::kPassive}},
    {Stem::kA, u"せる", kIchidanVerb, {N::kCausative}},
    {Stem::kA, u"す", kGodanVerb, {N::kCausative}},
    {Stem::kI, u"ます", kTyped, {N::kPolite}},
    {Stem::kI, u"ました", kTyped, {N::kPolite, N::kPast}},
    {Stem::kI, u"ません", kTyped, {N::kPolite, N::kNegative}},
    {Stem::kI, u"ませんでした", kTyped, {N::kPolite, N::kNegative, N::kPast}},
    {Stem::kI, u"ましょう", kTyped, {N::kPolite, N::kVolitional}},
    {Stem::kI, u"たい", kIAdjective, {N::kWant}},
    {Stem::kI, u"ながら", kTyped, {N::kWhile}},
    {Stem::kI, u"そう", kTyped, {N::kSeeming}},
    {Stem::kI, u"すぎる", kIchidanVerb, {N::kExcess}},
    {Stem::kE, u"る", kIchidanVerb, {N::kPotential}},
    {Stem::kE, u"", kTyped, {N::kImperative}},
    {Stem::kE, u"ば", kTyped, {N::kConditional}},
    {Stem::kO, u"う", kTyped, {N::kVolitional}},
    {Stem::kTe, u"", kTeOrTyped, {N::kTe}},
    {Stem::kTa, u"", kTyped, {N::kPast}},
    {Stem::kTa, u"ら", kTyped, {N::kConditional}},
};

// Ichidan verbs drop る; so do the forms of 来る on their one-kana stems, written out below.
struct Ending {
  std::u16string_view ending;
  uint16_t applies;
  std::initializer_list<N> names;
};

const Ending kIchidanEndings[] = {
    {u"ます", kTyped, {N::kPolite}},
    {u"ました", kTyped, {N::kPolite, N::kPast}},
    {u"ません", kTyped, {N::kPolite, N::kNegative}},
    {u"ませんでした", kTyped, {N::kPolite, N::kNegative, N::kPast}},
    {u"ましょう", kTyped, {N::kPolite, N::kVolitional}},
    {u"ない", kIAdjective, {N::kNegative}},
    {u"ず", kTyped, {N::kNegative}},
    {u"ぬ", kTyped, {N::kNegative}},
    {u"ん", kTyped, {N::kNegative}},
    {u"た", kTyped, {N::kPast}},
    {u"て", kTeOrTyped, {N::kTe}},
    {u"たい", kIAdjective, {N::kWant}},
    {u"られる", kIchidanVerb, {N::kPassive}},
    {u"られる", kIchidanVerb, {N::kPotential}},
    {u"れる", kIchidanVerb, {N::kPotential}},
    {u"させる", kIchidanVerb, {N::kCausative}},
    {u"さす", kGodanVerb, {N::kCausative}},
    {u"よう", kTyped, {N::kVolitional}},
    {u"ろ", kTyped, {N::kImperative}},
    {u"よ", kTyped, {N::kImperative}},
    {u"れば", kTyped, {N::kConditional}},
    {u"たら", kTyped, {N::kConditional}},
    {u"ながら", kTyped, {N::kWhile}},
    {u"そう", kTyped, {N::kSeeming}},
    {u"すぎる", kIchidanVerb, {N::kExcess}},
};

// 来る: the kana its stem takes before each ending (the kanji 来 stays 来).
struct KuruForm {
  std::u16string_view stem;
  Ending ending;
};

const KuruForm kKuruForms[] = {
    {u"き", {u"ます", kTyped, {N::kPolite}}},
    {u"き", {u"ました", kTyped, {N::kPolite, N::kPast}}},
    {u"き", {u"ません", kTyped, {N::kPolite, N::kNegative}}},
    {u"き", {u"ませんでした", kTyped, {N::kPolite, N::kNegative, N::kPast}}},
    {u"き", {u"ましょう", kTyped, {N::kPolite, N::kVolitional}}},
    {u"こ", {u"ない", kIAdjective, {N::kNegative}}},
    {u"こ", {u"ず", kTyped, {N::kNegative}}},
    {u"こ", {u"ん", kTyped, {N::kNegative}}},
    {u"き", {u"た", kTyped, {N::kPast}}},
    {u"き", {u"て", kTeOrTyped, {N::kTe}}},
    {u"き", {u"たい", kIAdjective, {N::kWant}}},
    {u"こ", {u"られる", kIchidanVerb, {N::kPassive}}},
    {u"こ", {u"れる", kIchidanVerb, {N::kPotential}}},
    {u"こ", {u"させる", kIchidanVerb, {N::kCausative}}},
    {u"こ", {u"よう", kTyped, {N::kVolitional}}},
    {u"こ", {u"い", kTyped, {N::kImperative}}},
    {u"く", {u"れば", kTyped, {N::kConditional}}},
    {u"き", {u"たら", kTyped, {N::kConditional}}},
    {u"き", {u"ながら", kTyped, {N::kWhile}}},
    {u"き", {u"そう", kTyped, {N::kSeeming}}},
    {u"き", {u"すぎる", kIchidanVerb, {N::kExcess}}},
};

// する, whole: its stems change (し, さ, せ, す) and a noun may stand before it.
const Ending kSuruForms[] = {
    {u"します", kTyped, {N::kPolite}},
    {u"しました", kTyped, {N::kPolite, N::kPast}},
    {u"しません", kTyped, {N::kPolite, N::kNegative}},
    {u"しませんでした", kTyped, {N::kPolite, N::kNegative, N::kPast}},
    {u"しましょう", kTyped, {N::kPolite, N::kVolitional}},
    {u"しない", kIAdjective, {N::kNegative}},
    {u"せず", kTyped, {N::kNegative}},
    {u"せぬ", kTyped, {N::kNegative}},
    {u"せん", kTyped, {N::kNegative}},
    {u"した", kTyped, {N::kPast}},
    {u"して", kTeOrTyped, {N::kTe}},
    {u"したい", kIAdjective, {N::kWant}},
    {u"できる", kIchidanVerb, {N::kPotential}},
    {u"される", kIchidanVerb, {N::kPassive}},
    {u"させる", kIchidanVerb, {N::kCausative}},
    {u"さす", kGodanVerb, {N::kCausative}},
    {u"しよう", kTyped, {N::kVolitional}},
    {u"しろ", kTyped, {N::kImperative}},
    {u"せよ", kTyped, {N::kImperative}},
    {u"すれば", kTyped, {N::kConditional}},
    {u"したら", kTyped, {N::kConditional}},
    {u"しながら", kTyped, {N::kWhile}},
    {u"しそう", kTyped, {N::kSeeming}},
    {u"しすぎる", kIchidanVerb, {N::kExcess}},
};

// I-adjectives drop い.
const Ending kAdjectiveEndings[] = {
    {u"く", kTyped, {N::kAdverb}},
    {u"くない", kIAdjective, {N::kNegative}},
    {u"くありません", kTyped, {N::kPolite, N::kNegative}},
    {u"くありませんでした", kTyped, {N::kPolite, N::kNegative, N::kPast}},
    {u"かった", kTyped | kIAdjective, {N::kPast}},
    {u"くて", kTyped, {N::kTe}},
    {u"ければ", kTyped, {N::kConditional}},
    {u"かったら", kTyped, {N::kConditional}},
    {u"そう", kTyped, {N::kSeeming}},
    {u"すぎる", kIchidanVerb, {N::kExcess}},
};

// Forms built on the て form: each leads back to it, and the て form's own rule (silent then)
// goes on to the verb.
struct TeCompound {
  std::u16string_view from, to;
  uint16_t applies;
  N name;
};

constexpr TeCompound kTeCompounds[] = {
    {u"ている", u"て", kIchidanVerb, N::kProgressive},
    {u"でいる", u"で", kIchidanVerb, N::kProgressive},
    {u"てる", u"て", kIchidanVerb, N::kProgressive},
    {u"でる", u"で", kIchidanVerb, N::kProgressive},
    {u"てしまう", u"て", kGodanVerb, N::kCompletion},
    {u"でしまう", u"で", kGodanVerb, N::kCompletion},
    {u"ちゃう", u"て", kGodanVerb, N::kCompletion},
    {u"じゃう", u"で", kGodanVerb, N::kCompletion},
    {u"てください", u"て", kTyped, N::kRequest},
    {u"でください", u"で", kTyped, N::kRequest},
};

class RuleTable {
 public:
  RuleTable() {
    for (const GodanRow& row : kGodanRows) {
      for (const Form& form : kGodanForms) {
        add(UString(stemOf(row, form.stem)) + UString(form.ending), UString(row.base), form.applies,
            kGodanVerb, form.names);
      }
    }
    // 行く alone makes its て and た forms with っ.
    for (std::u16string_view iku : {u"行", u"い", u"逝", u"往"}) {
      const UString base = UString(iku) + u"く";
      add(UString(iku) + u"って", base, kTeOrTyped, kGodanVerb, {N::kTe});
      add(UString(iku) + u"った", base, kTyped, kGodanVerb, {N::kPast});
      add(UString(iku) + u"ったら", base, kTyped, kGodanVerb, {N::kConditional});
    }
    for (const Ending& e : kIchidanEndings) {
      add(UString(e.ending), u"る", e.applies, kIchidanVerb, e.names);
    }
    for (const KuruForm& f : kKuruForms) {
      add(UString(f.stem) + UString(f.ending.ending), u"くる", f.ending.applies, kKuruVerb,
          f.ending.names);
      add(u"来" + UString(f.ending.ending), u"来る", f.ending.applies, kKuruVerb, f.ending.names);
    }
    for (const Ending& e : kSuruForms) {
      add(UString(e.ending), u"する", e.applies, kSuruVerb, e.names);
    }
    add(u"する", u"", kSuruVerb, kSuruNoun, {N::kSuru});
    for (const Ending& e : kAdjectiveEndings) {
      add(UString(e.ending), u"い", e.applies, kIAdjective, e.names);
      // いい conjugates on よ: よかった is the past of いい as of よい.
      add(u"よ" + UString(e.ending), u"いい", e.applies, kIAdjective, e.names);
    }
    // そう drops い, but ない and よい keep a さ before it.
    add(u"なさそう", u"ない", kTyped, kIAdjective, {N::kSeeming});
    add(u"よさそう", u"よい", kTyped, kIAdjective, {N::kSeeming});
    add(u"よさそう", u"いい", kTyped, kIAdjective, {N::kSeeming});
    add(u"良さそう", u"良い", kTyped, kIAdjective, {N::kSeeming});
    for (const TeCompound& c : kTeCompounds) {
      add(UString(c.from), UString(c.to), c.applies, kTeForm, {c.name});
    }

    for (size_t i = 0; i < _rules.size(); ++i) {
      _byLastUnit[_rules[i].from.back()].push_back(static_cast<uint16_t>(i));
    }
  }

  std::vector<DeinflectionRule> _rules;
  std::unordered_map<char16_t, std::vector<uint16_t>> _byLastUnit;

 private:
  static std::u16string_view stemOf(const GodanRow& row, Stem stem) {
    switch (stem) {
      case Stem::kA:
        return row.a;
      case Stem::kI:
        return row.i;
      case Stem::kE:
        return row.e;
      case Stem::kO:
        return row.o;
      case Stem::kTe:
        return row.te;
      case Stem::kTa:
        return row.ta;
    }
    return {};
  }

  void add(UString from, UString to, uint16_t applies, uint16_t leadsTo,
           std::initializer_list<N> names) {
    DeinflectionRule rule{std::move(from), std::move(to), applies, leadsTo};
    for (N name : names) {
      if (rule.nameCount < rule.names.size()) rule.names[rule.nameCount++] = name;
    }
    _rules.push_back(std::move(rule));
  }
};

const RuleTable& ruleTable() {
  static const RuleTable table;
  return table;
}

}  // namespace

std::string_view inflectionName(InflectionName name) { return kNames[static_cast<size_t>(name)]; }

std::span<const std::string_view> inflectionNames() { return kNames; }

const std::vector<DeinflectionRule>& deinflectionRules() { return ruleTable()._rules; }

std::span<const uint16_t> deinflectionRulesEndingIn(char16_t last) {
  const auto& index = ruleTable()._byLastUnit;
  const auto found = index.find(last);
  if (found == index.end()) return {};
  return found->second;
}

}  // namespace lexor
