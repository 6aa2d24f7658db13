#include "hosts/cli/terminal_safe.h"

#include <unicode/utf8.h>

namespace lexor::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The C0 and C1 controls, and the bidirectional embeddings, overrides and isolates, with which a
// text could show itself (or a file name) reversed. The marks LRM and RLM and the joiners stay:
// real texts need them, and they reorder nothing beyond their neighbours.
bool isControl(UChar32 c) {
  return (c < 0x20 && c != '\n' && c != '\t') || (c >= 0x7F && c <= 0x9F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string terminalSafe(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto length = static_cast<int32_t>(utf8.size());
  // Safe text is copied a run at a time: entries are long and controls in them rare.
  int32_t runStart = 0;
  int32_t i = 0;
  while (i < length) {
    if (bytes[i] >= 0x20 && bytes[i] < 0x7F) {  // printable ASCII, the bulk of most texts
      ++i;
      continue;
    }
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);  // c < 0 for an ill-formed sequence, which i steps over
    if (c < 0 || isControl(c)) {
      out.append(utf8.substr(static_cast<size_t>(runStart), static_cast<size_t>(start - runStart)));
      out += kReplacement;
      runStart = i;
    }
  }
  out.append(utf8.substr(static_cast<size_t>(runStart)));
  return out;
}

}  // namespace lexor::cli
