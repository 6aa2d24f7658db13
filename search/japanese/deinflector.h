// Japanese deinflection: from a conjugated verb or adjective back to the dictionary forms it can
// come from (食べさせられなかった → 食べる), by chains of the rules of deinflect_rules.h, kept
// only where a dictionary has the form as a head word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexor_recordset.h"
#include "platform/ustring.h"
#include "search/japanese/deinflect_rules.h"

namespace lexor {

// Bounds on the work one word may cause, whatever it is: longer words are not deinflected, and
// the search stops at this many forms or steps.
inline constexpr size_t kMaxDeinflectedWordLength = 64;  // UTF-16 units
inline constexpr size_t kMaxDeinflectedForms = 400;
inline constexpr size_t kMaxDeinflectionSteps = 8;

// A form the rules lead to.
struct InflectedForm {
  UString word;
  uint16_t wordClass = 0;             // a WordClass bit
  std::vector<InflectionName> names;  // what the steps undid, base first
  uint8_t steps = 0;
  // The UTF-16 units of the endings the steps took off: a rule for one word's own ending (行って
  // → 行く) takes more than the general one (って → う).
  uint16_t endingLength = 0;
};

// Every form the rules lead to from the word, fewest steps first, the word itself left out; a
// word may appear once for each class it is reached in. No dictionary is consulted.
std::vector<InflectedForm> deinflectionForms(UStringView word);

struct Deinflection {
  UString word;
  std::vector<InflectionName> rules;  // base first
};

// The dictionary forms of the word that are head words of the dictionaries, best first: those
// whose entries name a word class that agrees with the rules' before those that name none, and
// those before the ones that name another; then fewer steps; then the more specific rules (the
// longer endings taken off); then dictionary order.
std::vector<Deinflection> deinflect(const LexorList& dics, UStringView word);

// The names joined by `separator` ("polite past").
std::string describeInflection(const std::vector<InflectionName>& names,
                               std::string_view separator);

}  // namespace lexor
