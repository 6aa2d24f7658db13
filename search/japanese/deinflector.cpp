#include "search/japanese/deinflector.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "search/japanese/head_word_probe.h"

namespace lexor {
namespace {

bool onlyTe(const DeinflectionRule& rule) {
  return rule.nameCount == 1 && rule.names[0] == InflectionName::kTe;
}

// How well a form's class agrees with what its entries name: 0 agrees, 1 they name no class,
// 2 they name others only.
int agreement(uint16_t wordClass, uint16_t named) {
  if (named == 0) return 1;
  return (named & wordClass) != 0 ? 0 : 2;
}

}  // namespace

std::vector<InflectedForm> deinflectionForms(UStringView word) {
  std::vector<InflectedForm> forms;
  if (word.empty() || word.size() > kMaxDeinflectedWordLength) return forms;
  forms.push_back({UString(word), kAnyClass, {}, 0});
  // A form is reached once per class; the first way to it has the fewest steps.
  std::unordered_set<UString> seen;
  const auto key = [](const UString& w, uint16_t c) { return w + static_cast<char16_t>(c + 1); };
  const std::vector<DeinflectionRule>& rules = deinflectionRules();

  for (size_t at = 0; at < forms.size() && forms.size() < kMaxDeinflectedForms + 1; ++at) {
    if (forms[at].steps >= kMaxDeinflectionSteps) continue;
    // Copied: forms grows below.
    const UString current = forms[at].word;
    const uint16_t currentClass = forms[at].wordClass;
    for (uint16_t index : deinflectionRulesEndingIn(current.back())) {
      const DeinflectionRule& rule = rules[index];
      if ((rule.applies & currentClass) == 0 || !hasSuffix(current, rule.from)) continue;
      const size_t stemLength = current.size() - rule.from.size();
      // An ending alone is no word, unless the rule gives a whole one (した → する).
      if (stemLength == 0 && rule.to.size() < 2) continue;
      UString next = current.substr(0, stemLength) + rule.to;
      if (next.empty() || next == word || !seen.insert(key(next, rule.leadsTo)).second) continue;

      InflectedForm form{std::move(next),
                         rule.leadsTo,
                         {},
                         static_cast<uint8_t>(forms[at].steps + 1),
                         static_cast<uint16_t>(forms[at].endingLength + rule.from.size())};
      // A て form that a longer form was built on is no step of its own.
      const bool silent = currentClass == kTeForm && onlyTe(rule);
      if (!silent) form.names.assign(rule.names.begin(), rule.names.begin() + rule.nameCount);
      form.names.insert(form.names.end(), forms[at].names.begin(), forms[at].names.end());
      forms.push_back(std::move(form));
      if (forms.size() > kMaxDeinflectedForms) break;
    }
  }
  forms.erase(forms.begin());
  return forms;
}

std::vector<Deinflection> deinflect(const LexorList& dics, UStringView word) {
  const std::vector<InflectedForm> forms = deinflectionForms(word);

  struct Candidate {
    const InflectedForm* form;
    int agrees;
    size_t dictionary;
  };
  // Smaller is better; the word breaks the last ties, in dictionary order.
  const auto rank = [](const Candidate& c) {
    return std::make_tuple(c.agrees, c.form->steps, -static_cast<int>(c.form->endingLength));
  };
  // Every distinct form that can be a dictionary form, looked up together.
  std::vector<UString> words;
  std::unordered_set<UString> listed;
  for (const InflectedForm& form : forms) {
    if (form.wordClass != kTeForm && listed.insert(form.word).second) words.push_back(form.word);
  }
  const std::unordered_map<UString, HeadWordProbe::Found> found =
      HeadWordProbe(dics).findAll(words);
  std::unordered_map<UString, uint16_t> named;  // the classes each found word's entries name
  for (const auto& [word, entries] : found) {
    uint16_t classes = 0;
    for (const UString& translation : entries.translations)
      classes |= namedWordClasses(translation);
    named.emplace(word, classes);
  }

  std::vector<Candidate> best;
  std::unordered_map<UString, size_t> bestOf;  // word → position in best
  for (const InflectedForm& form : forms) {
    const auto entries = found.find(form.word);
    if (form.wordClass == kTeForm || entries == found.end()) continue;
    const Candidate candidate{&form, agreement(form.wordClass, named.at(form.word)),
                              entries->second.dictionary};
    auto [at, fresh] = bestOf.emplace(form.word, best.size());
    if (fresh) {
      best.push_back(candidate);
    } else if (rank(candidate) < rank(best[at->second])) {
      best[at->second] = candidate;
    }
  }

  std::stable_sort(best.begin(), best.end(), [&rank](const Candidate& a, const Candidate& b) {
    return std::tuple_cat(rank(a), std::tie(a.dictionary, a.form->word)) <
           std::tuple_cat(rank(b), std::tie(b.dictionary, b.form->word));
  });
  std::vector<Deinflection> result;
  result.reserve(best.size());
  for (const Candidate& c : best) result.push_back({c.form->word, c.form->names});
  return result;
}

std::string describeInflection(const std::vector<InflectionName>& names,
                               std::string_view separator) {
  std::string text;
  for (InflectionName name : names) {
    if (!text.empty()) text += separator;
    text += inflectionName(name);
  }
  return text;
}

}  // namespace lexor
