#include "hosts/dict/command_line.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace lexor::dict {
namespace {

// The longest text of a line: the limit less its CR LF.
constexpr size_t kMaxLineText = kMaxCommandLine - 2;

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool isSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::optional<std::vector<std::string>> splitCommandLine(std::string_view line,
                                                         std::string* error) {
  auto fail = [error](std::string_view answer) -> std::optional<std::vector<std::string>> {
    *error = answer;
    return std::nullopt;
  };
  if (line.size() > kMaxLineText) return fail(kLineTooLongStatus);
  if (!isValidUtf8(line)) return fail("501 invalid UTF-8");

  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < line.size() && isSeparator(line[i])) ++i;
    if (i == line.size()) break;
    std::string word;
    while (i < line.size() && !isSeparator(line[i])) {
      const char c = line[i];
      if (isControl(static_cast<unsigned char>(c)) || c == '\\') return fail(kSyntaxErrorStatus);
      if (c != '"' && c != '\'') {
        word += c;
        ++i;
        continue;
      }
      const char quote = c;
      ++i;
      while (true) {
        if (i == line.size()) return fail(kSyntaxErrorStatus);
        const char q = line[i];
        if (q == quote) break;
        if (isControl(static_cast<unsigned char>(q))) return fail(kSyntaxErrorStatus);
        if (q == '\\') {
          if (++i == line.size()) return fail(kSyntaxErrorStatus);
        }
        word += line[i];
        ++i;
      }
      ++i;  // the closing quote
    }
    words.push_back(std::move(word));
  }
  return words;
}

void LineFramer::feed(std::string_view bytes, std::vector<Line>* lines) {
  while (!bytes.empty()) {
    const size_t lf = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, lf);
    if (!_overflow) {
      // One byte past the longest text is kept so that a CR there can still be told apart.
      const size_t room = kMaxLineText + 1 - _partial.size();
      if (piece.size() > room) {
        _overflow = true;
        _partial.clear();
      } else {
        _partial.append(piece);
      }
    }
    if (lf == std::string_view::npos) return;
    bytes.remove_prefix(lf + 1);
    Line line;
    if (!_overflow && !_partial.empty() && _partial.back() == '\r') _partial.pop_back();
    if (_overflow || _partial.size() > kMaxLineText) {
      line.tooLong = true;
    } else {
      line.text = std::move(_partial);
    }
    _partial.clear();
    _overflow = false;
    lines->push_back(std::move(line));
  }
}

}  // namespace lexor::dict
