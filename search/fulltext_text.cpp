#include "search/fulltext_text.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <array>
#include <charconv>
#include <optional>

namespace lexor::search {
namespace {

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

char32_t codePointAt(UStringView text, size_t i, size_t* next) {
  char32_t c = 0;
  size_t at = i;
  U16_NEXT(text.data(), at, text.size(), c);
  *next = at;
  return c;
}

void append(char32_t c, UString* out) {
  if (c <= 0xFFFF) {
    out->push_back(static_cast<char16_t>(c));
  } else {
    out->push_back(U16_LEAD(c));
    out->push_back(U16_TRAIL(c));
  }
}

void note(SourceSpans* spans, size_t units, uint32_t first, uint32_t end) {
  if (!spans) return;
  for (size_t i = 0; i < units; ++i) spans->emplace_back(first, end);
}

// The character a reference's name (between "&" and ";") stands for.
std::optional<char32_t> referencedCharacter(UStringView name) {
  static constexpr std::array<std::pair<std::u16string_view, char32_t>, 6> kNamed = {{
      {u"amp", U'&'},
      {u"lt", U'<'},
      {u"gt", U'>'},
      {u"quot", U'"'},
      {u"apos", U'\''},
      {u"nbsp", U' '},
  }};
  for (const auto& [known, c] : kNamed) {
    if (name == known) return c;
  }
  if (name.size() < 2 || name[0] != u'#') return std::nullopt;
  const bool hex = name[1] == u'x' || name[1] == u'X';
  std::string digits;
  for (char16_t unit : name.substr(hex ? 2 : 1)) {
    if (unit > 0x7F) return std::nullopt;
    digits.push_back(static_cast<char>(unit));
  }
  uint32_t value = 0;
  const auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
    return std::nullopt;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return static_cast<char32_t>(value);
}

bool isDiacritic(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE20 && c <= 0xFE2F);
}

bool isMark(char32_t c) { return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

// One character and its marks, folded through ICU.
void foldCluster(UStringView cluster, UString* out) {
  UErrorCode status = U_ZERO_ERROR;
  static const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  static const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (!nfd || !nfc) {
    out->append(cluster);
    return;
  }
  status = U_ZERO_ERROR;
  const icu::UnicodeString source(false, cluster.data(), static_cast<int32_t>(cluster.size()));
  icu::UnicodeString decomposed = nfd->normalize(source, status);
  icu::UnicodeString kept;
  for (int32_t i = 0; i < decomposed.length();) {
    const UChar32 c = decomposed.char32At(i);
    if (!isDiacritic(static_cast<char32_t>(c))) kept.append(c);
    i += U16_LENGTH(c);
  }
  kept.foldCase(U_FOLD_CASE_DEFAULT);
  const icu::UnicodeString composed = nfc->normalize(kept, status);
  if (U_FAILURE(status)) {
    out->append(cluster);
    return;
  }
  out->append(reinterpret_cast<const char16_t*>(composed.getBuffer()),
              static_cast<size_t>(composed.length()));
}

// Characters that no step of the fold changes, when no mark follows them.
bool foldsToItself(char32_t c) {
  return (c >= 0x3040 && c <= 0x30FF && c != 0x3099 && c != 0x309A) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF);
}

}  // namespace

bool isCjk(char32_t c) {
  return (c >= 0x3040 && c <= 0x30FF) ||  // hiragana, katakana
         (c >= 0x31F0 && c <= 0x31FF) ||  // katakana phonetic extensions
         (c >= 0xFF66 && c <= 0xFF9F) ||  // half-width katakana
         (c >= 0x3005 && c <= 0x3007) ||  // iteration mark, closing mark, ideographic zero
         c == 0x303B ||                   // vertical iteration mark
         (c >= 0x3400 && c <= 0x4DBF) ||  // ideographs, extension A
         (c >= 0x4E00 && c <= 0x9FFF) ||  // unified ideographs
         (c >= 0xF900 && c <= 0xFAFF) ||  // compatibility ideographs
         (c >= 0x20000 && c <= 0x3FFFF);  // supplementary ideographic planes
}

bool holdsCjk(UStringView text) {
  for (size_t i = 0; i < text.size();) {
    if (isCjk(codePointAt(text, i, &i))) return true;
  }
  return false;
}

UString plainText(UStringView markup, SourceSpans* spans) {
  constexpr size_t kLongestReference = 10;  // "&#x10FFFF;"
  UString out;
  out.reserve(markup.size());
  if (spans) {
    spans->clear();
    spans->reserve(markup.size());
  }
  for (size_t i = 0; i < markup.size(); ++i) {
    const char16_t c = markup[i];
    const auto at = static_cast<uint32_t>(i);
    if (c == u'<' && i + 1 < markup.size() &&
        (isAsciiLetter(markup[i + 1]) || markup[i + 1] == u'/' || markup[i + 1] == u'!' ||
         markup[i + 1] == u'>')) {
      const size_t close = markup.find(u'>', i + 1);
      if (close != UStringView::npos) {
        out.push_back(u' ');
        note(spans, 1, at, static_cast<uint32_t>(close + 1));
        i = close;
        continue;
      }
    } else if (c == u'&') {
      const size_t semicolon = markup.substr(i, kLongestReference).find(u';');
      if (semicolon != UStringView::npos) {
        if (std::optional<char32_t> decoded =
                referencedCharacter(markup.substr(i + 1, semicolon - 1))) {
          const size_t before = out.size();
          append(*decoded, &out);
          note(spans, out.size() - before, at, static_cast<uint32_t>(i + semicolon + 1));
          i += semicolon;
          continue;
        }
      }
    }
    out.push_back(c);
    note(spans, 1, at, at + 1);
  }
  return out;
}

UString foldText(UStringView text, SourceSpans* spans) {
  UString out;
  out.reserve(text.size());
  if (spans) {
    spans->clear();
    spans->reserve(text.size());
  }
  size_t i = 0;
  while (i < text.size()) {
    const size_t first = i;
    const char32_t c = codePointAt(text, i, &i);
    size_t end = i;
    // The marks that follow belong to this character.
    while (end < text.size()) {
      size_t after = 0;
      if (!isMark(codePointAt(text, end, &after))) break;
      end = after;
    }
    const size_t before = out.size();
    if (c == kIndexPlaceholder) {
      // The index stands a run of kana and kanji as this character: a text's own folds to its
      // neighbour, so that no query word can ever name a placeholder.
      out.push_back(static_cast<char16_t>(kIndexPlaceholder + 1));
    } else if (end == i && c < 0x80) {
      out.push_back(static_cast<char16_t>(c >= U'A' && c <= U'Z' ? c + 0x20 : c));
    } else if (end == i && foldsToItself(c)) {
      append(c, &out);
    } else {
      foldCluster(text.substr(first, end - first), &out);
    }
    note(spans, out.size() - before, static_cast<uint32_t>(first), static_cast<uint32_t>(end));
    i = end;
  }
  return out;
}

bool isWordCharacter(char32_t c) {
  constexpr uint32_t kWordCategories = U_GC_L_MASK | U_GC_N_MASK | U_GC_M_MASK | U_GC_CO_MASK;
  if (c < 0x80)
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
  return (U_GET_GC_MASK(c) & kWordCategories) != 0;
}

std::vector<std::pair<uint32_t, uint32_t>> wordsOf(UStringView folded) {
  std::vector<std::pair<uint32_t, uint32_t>> words;
  size_t i = 0;
  while (i < folded.size()) {
    const size_t first = i;
    if (!isWordCharacter(codePointAt(folded, i, &i))) continue;
    size_t end = i;
    while (end < folded.size()) {
      size_t after = 0;
      if (!isWordCharacter(codePointAt(folded, end, &after))) break;
      end = after;
    }
    words.emplace_back(static_cast<uint32_t>(first), static_cast<uint32_t>(end));
    i = end;
  }
  return words;
}

}  // namespace lexor::search
