// The rules that take a Japanese inflected form one step back towards its dictionary form: an
// ending replaced by another, the word classes the form must have for the rule to apply, and the
// class of the form it leads to.
//
// A word as typed may be of any class. Forms made by a rule carry one class, so that the next
// rule applies only where the grammar lets it: 食べなかった → 食べない (an adjective-like form) →
// 食べる, but never 食べない → 食べなく.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/ustring.h"

namespace lexor {

// Word classes, as bits: a form may still be of several.
enum WordClass : uint16_t {
  kIchidanVerb = 1 << 0,
  kGodanVerb = 1 << 1,
  kKuruVerb = 1 << 2,
  kSuruVerb = 1 << 3,
  kIAdjective = 1 << 4,
  kTeForm = 1 << 5,    // a form ending in て/で that a longer form was built on
  kSuruNoun = 1 << 6,  // a noun that takes する
  kAsTyped = 1 << 7,   // the word as typed, before any rule
  kAnyClass = 0xFF,
};

// The names a rule gives the step it takes, as the protocol lists them.
enum class InflectionName : uint8_t {
  kPolite,
  kNegative,
  kPast,
  kTe,
  kProgressive,
  kWant,
  kPotential,
  kPassive,
  kCausative,
  kVolitional,
  kImperative,
  kConditional,
  kWhile,
  kCompletion,
  kRequest,
  kAdverb,
  kExcess,
  kSeeming,
  kSuru,
};

std::string_view inflectionName(InflectionName name);
// Every name, in the order of the enumeration.
std::span<const std::string_view> inflectionNames();

struct DeinflectionRule {
  UString from;      // the ending of the inflected form
  UString to;        // what replaces it
  uint16_t applies;  // WordClass bits: the form must have one of them
  uint16_t leadsTo;  // the class of the form the rule leads to
  // What the ending adds, base first (ませんでした: polite, negative, past).
  std::array<InflectionName, 3> names{};
  uint8_t nameCount = 0;
};

// Every rule, and those whose ending finishes with a given code unit.
const std::vector<DeinflectionRule>& deinflectionRules();
std::span<const uint16_t> deinflectionRulesEndingIn(char16_t last);

}  // namespace lexor
