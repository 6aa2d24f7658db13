// The benchmarks' dictionaries and texts: made with the writer from a fixed seed, written once
// under the data folder and reused by later runs.
//
//   DATA/home/Library/Lexor/ambora52.dic   1,000,000 English head words, Shift_JIS translations
//   DATA/home/Library/Lexor/revora52.dic   Japanese head words, English translations (Shift_JIS)
//   DATA/bocu/large-uni.dic                1,000,000 mixed-script entries, BOCU-1
//   DATA/*.words                           a sample of the head words of each, one a line (UTF-8)
//   DATA/ambora52.sqlite                   the head words and translations of ambora52.dic
//   DATA/tree/home/Library/Lexor/...       1,000 small dictionaries in nested folders
//
// DATA is $LEXOR_BENCH_DATA, or bench-data beside the benchmark program's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ustring.h"

namespace lexor::bench {

inline constexpr size_t kLargeEntries = 1'000'000;
inline constexpr size_t kJapaneseEntries = 200'000;
inline constexpr size_t kTreeFiles = 1'000;

struct BenchData {
  std::string root;
  std::string home;          // HOME whose ~/Library/Lexor holds the Shift_JIS suite
  std::string sjisPath;      // ambora52.dic
  std::string japanesePath;  // revora52.dic
  std::string bocuPath;      // large-uni.dic
  std::string sqlitePath;
  std::string treeHome;                // HOME whose ~/Library/Lexor holds the 1,000-file tree
  std::vector<UString> sjisWords;      // sampled head words of ambora52.dic
  std::vector<UString> japaneseWords;  // of revora52.dic
  std::vector<UString> bocuWords;      // of large-uni.dic
};

// Generates what is missing (a few seconds the first time) and loads the word samples.
const BenchData& benchData();

// A large text of many scripts (Latin, Greek, Cyrillic, Arabic, Japanese, Chinese, Korean and
// characters beyond the Basic Multilingual Plane), for the codec benchmarks.
UString mixedScriptText(size_t units);

// Shift_JIS translations as the dictionary stores them.
std::vector<std::string> shiftJisTranslations(size_t count);

}  // namespace lexor::bench
