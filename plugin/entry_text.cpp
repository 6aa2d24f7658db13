#include "plugin/entry_text.h"

#include <unicode/utf8.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lexor {
namespace {

// The positions of a record's five values, as "getRecord" gives them.
enum RecordField { kHeadWord, kPronunciation, kLevel, kTranslation, kExample };

bool present(const ScriptList& record, RecordField field) {
  return record.size() > static_cast<size_t>(field) && record[field].isString();
}

std::string textAt(const ScriptList& record, RecordField field) {
  return present(record, field) ? toUtf8(record[field].asString()) : std::string();
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A line-break tag: <br>, <br/>, <br />, any case.
bool isBreakTag(std::string_view tag) {
  if (tag.size() < 4 || (tag[1] != 'b' && tag[1] != 'B') || (tag[2] != 'r' && tag[2] != 'R')) {
    return false;
  }
  std::string_view after = tag.substr(3, tag.size() - 4);
  return after.find_first_not_of(" /") == std::string_view::npos;
}

void appendUtf8(char32_t c, std::string* out) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
  out->append(buffer, static_cast<size_t>(length));
}

// The character a reference such as "amp" or "#39" (between "&" and ";") stands for.
std::optional<char32_t> referencedCharacter(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, char32_t>, 6> kNamed = {{
      {"amp", U'&'},
      {"lt", U'<'},
      {"gt", U'>'},
      {"quot", U'"'},
      {"apos", U'\''},
      {"nbsp", U' '},
  }};
  for (const auto& [known, c] : kNamed) {
    if (name == known) return c;
  }
  if (name.size() < 2 || name[0] != '#') return std::nullopt;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  std::string_view digits = name.substr(hex ? 2 : 1);
  uint32_t value = 0;
  auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
    return std::nullopt;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return static_cast<char32_t>(value);
}

// A field's markup made plain: line breaks (tags, a code-page dictionary's "<>", line feeds)
// become `lineBreak`, other tags are dropped and character references decoded. A "<" or "&"
// that starts no tag or reference stays as it is.
std::string plainText(std::string_view text, std::string_view lineBreak) {
  constexpr size_t kLongestReference = 10;  // "&#x10FFFF;"
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      out += lineBreak;
    } else if (c == '\r') {
      continue;
    } else if (c == '<' && text.substr(i).starts_with("<>")) {
      out += lineBreak;
      ++i;
    } else if (c == '<' && i + 1 < text.size() &&
               (isAsciiLetter(text[i + 1]) || text[i + 1] == '/' || text[i + 1] == '!')) {
      const size_t close = text.find_first_of("<>", i + 1);
      if (close == std::string_view::npos || text[close] == '<') {
        out += c;
        continue;
      }
      if (isBreakTag(text.substr(i, close - i + 1))) out += lineBreak;
      i = close;
    } else if (c == '&') {
      const size_t semicolon = text.substr(i, kLongestReference).find(';');
      std::optional<char32_t> decoded;
      if (semicolon != std::string_view::npos) {
        decoded = referencedCharacter(text.substr(i + 1, semicolon - 1));
      }
      if (!decoded) {
        out += c;
        continue;
      }
      appendUtf8(*decoded, &out);
      i += semicolon;
    } else {
      out += c;
    }
  }
  return out;
}

// Each line of a field on its own indented line.
std::string indentedLines(const std::string& text, std::string_view indent) {
  std::string lineBreak = "\n";
  lineBreak += indent;
  std::string out(indent);
  out += plainText(text, lineBreak);
  out += '\n';
  return out;
}

}  // namespace

std::string terminalText(const ScriptList& record) {
  std::string out = plainText(textAt(record, kHeadWord), " ");
  if (present(record, kPronunciation)) {
    out += " [" + plainText(textAt(record, kPronunciation), " ") + "]";
  }
  out += '\n';
  if (present(record, kTranslation)) out += indentedLines(textAt(record, kTranslation), "  ");
  if (present(record, kExample)) out += indentedLines(textAt(record, kExample), "    ");
  return out;
}

}  // namespace lexor
