#include "bench/bench_words.h"

#include "platform/code_page.h"

namespace lexor::bench {

std::vector<UString> prefixes(const std::vector<UString>& words, size_t length) {
  std::vector<UString> out;
  for (size_t i = 0; i < words.size() && out.size() < kWordsPerSet; ++i) {
    const size_t n = length != 0 ? length : 1 + i % 6;
    if (words[i].size() < n) continue;
    out.push_back(words[i].substr(0, n));
  }
  return out;
}

std::vector<UString> nonMatchingWords() {
  // No generated head word holds "qx", "zzq" or "vvv"; these still sort inside the index.
  static const char* const stems[] = {"qx", "zzq", "vvv", "bqx", "tqz"};
  std::vector<UString> out;
  for (size_t i = 0; out.size() < kWordsPerSet; ++i) {
    out.push_back(fromUtf8(std::string(stems[i % std::size(stems)]) +
                           static_cast<char>('a' + i % 26) + static_cast<char>('a' + i / 26 % 26)));
  }
  return out;
}

Needles shiftJisNeedles(const std::vector<UString>& words, size_t length) {
  Needles out;
  for (const UString& w : prefixes(words, length)) {
    auto bytes = encodeCodePage(kCodePageShiftJIS, w);
    if (!bytes || bytes->empty()) continue;
    Needle n;
    n.word.assign(bytes->begin(), bytes->end());
    n.until = n.word;
    n.until.back() = static_cast<uint8_t>(n.until.back() + 1);
    n.word.push_back(0);
    n.until.push_back(0);
    out.push_back(std::move(n));
  }
  return out;
}

}  // namespace lexor::bench
