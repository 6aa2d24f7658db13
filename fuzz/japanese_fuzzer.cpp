// Japanese look-up: romaji to kana, and deinflection against one of the seed dictionaries, of the
// word as given and of its kana. Whatever the word, the kana stay within twice its length, the
// forms within their bounds, and every candidate is a head word listed once.
//
//   input := dictionary-choice u8, word bytes (UTF-8)
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fuzz/seed_dictionaries.h"
#include "platform/log.h"
#include "search/japanese/deinflector.h"
#include "search/japanese/head_word_probe.h"
#include "search/japanese/romaji.h"

namespace {

std::vector<std::shared_ptr<lexor::Lexor>>& seeds() {
  static std::vector<std::shared_ptr<lexor::Lexor>> instance;
  return instance;
}

void checkDeinflection(const lexor::LexorList& dics, const lexor::UString& word) {
  const std::vector<lexor::InflectedForm> forms = lexor::deinflectionForms(word);
  if (forms.size() > lexor::kMaxDeinflectedForms) __builtin_trap();
  for (const lexor::InflectedForm& form : forms) {
    // Each step adds at most two units (来 → 来る, する → …).
    if (form.steps > lexor::kMaxDeinflectionSteps ||
        form.word.size() > word.size() + 2 * lexor::kMaxDeinflectionSteps || form.word == word)
      __builtin_trap();
  }
  const std::vector<lexor::Deinflection> found = lexor::deinflect(dics, word);
  if (found.size() > forms.size()) __builtin_trap();
  std::set<lexor::UString> distinct;
  lexor::HeadWordProbe probe(dics);
  for (const lexor::Deinflection& d : found) {
    if (!distinct.insert(d.word).second || !probe.find(d.word)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  seeds() = lexor::fuzz::openSeedDictionaries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || seeds().empty()) return 0;
  const lexor::LexorList dics = {seeds()[data[0] % seeds().size()]};
  const lexor::UString word =
      lexor::fromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  const lexor::UString kana = lexor::romajiToKana(word);
  if (kana.size() > 2 * word.size()) __builtin_trap();
  checkDeinflection(dics, word);
  if (kana != word) checkDeinflection(dics, kana);
  return 0;
}
