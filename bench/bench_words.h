// Query words for the benchmarks: prefixes of sampled head words, and words that match nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ustring.h"

namespace lexor::bench {

inline constexpr size_t kWordsPerSet = 1'000;

// Prefixes of `length` characters (1 to 6) of the sampled head words, in sample order; 0 mixes
// the lengths 1 to 6. Head words shorter than the length are skipped.
std::vector<UString> prefixes(const std::vector<UString>& words, size_t length);

// Words that sort among the head words but begin none of them ("qx...", "zzq...").
std::vector<UString> nonMatchingWords();

// A needle and its exclusive upper bound as stored bytes, NUL-terminated.
struct Needle {
  std::vector<uint8_t> word;
  std::vector<uint8_t> until;
};
using Needles = std::vector<Needle>;

// Shift_JIS needles of prefixes(words, length).
Needles shiftJisNeedles(const std::vector<UString>& words, size_t length);

}  // namespace lexor::bench
