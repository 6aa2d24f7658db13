// The text that full-text search sees: an entry's markup made plain (every tag a word break,
// character references decoded) and folded (NFC, Latin-script accents removed, full case
// folding), with a map from each unit of the result back to the text it came from, so that a
// hit found in the folded text can be marked in the original.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/ustring.h"

namespace lexor::search {

// Kana, kanji and hanzi, with the marks that live in the kana blocks (the prolonged sound mark,
// the voicing marks) and the ideographic iteration marks.
bool isCjk(char32_t c);
bool holdsCjk(UStringView text);

// For each unit of a derived text, the range [first, second) of the source it came from.
using SourceSpans = std::vector<std::pair<uint32_t, uint32_t>>;

// The markup made plain. A tag starts with "<" and a letter, "/", "!" or ">" and runs to the next
// ">"; it becomes one space. "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&nbsp;" and numeric
// references are decoded; any other "<" or "&" stays as it is. `spans` (optional) receives the
// source range of each unit.
UString plainText(UStringView markup, SourceSpans* spans = nullptr);

// The folded form. Each character with the combining marks after it is folded on its own, so a
// text folds to the concatenation of its characters' folds and a hit never splits a character.
// Combining marks of the Latin, Greek and Cyrillic diacritic blocks are removed; other marks
// (the kana voicing marks, Indic vowel signs) are part of their letters and stay.
// The private-use character U+E000, which the index uses to stand for a run of kana and kanji,
// folds to U+E001, so a folded text never holds it.
UString foldText(UStringView text, SourceSpans* spans = nullptr);

// What the index puts in a text's words for each run of kana, kanji and hanzi.
inline constexpr char32_t kIndexPlaceholder = 0xE000;

// A word character, as the index's word tokenizer counts them: letters, numbers, marks and
// private-use characters. Runs of them are the words a query matches whole.
bool isWordCharacter(char32_t c);

// The words of a folded text, as [begin, end) unit ranges.
std::vector<std::pair<uint32_t, uint32_t>> wordsOf(UStringView folded);

}  // namespace lexor::search
