// The dictionary writer: builds Lexor files from entries. The system itself only reads
// dictionaries; this serves tests, benchmarks, fuzz seeds and the demo. It is written from the file
// layout alone, so it is also a second reading of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/dic_identity.h"
#include "core/lexor_format.h"
#include "platform/ustring.h"

namespace lexor::writer {

// One entry as text. The writer encodes it in the dictionary's encodings.
struct Entry {
  UString headWord;
  UString translation;
  std::optional<UString> pronunciation;  // code-page dictionaries: as bytes of the phonetic table;
                                         // left out when a character has no byte there
  std::optional<UString> example;
  int level = 0;  // 0 to 15; values outside are clamped
};

// One entry as stored bytes, for tests that need exact or broken layouts.
struct RawEntry {
  std::string headWord;   // encoded head word, no NUL
  uint8_t attribute = 0;  // level in bits 0-3, 0x10 for an extended entry
  std::string body;       // everything after the head word (and, in code-page dictionaries,
                          // the attribute byte), exactly as stored
};

enum class FieldWidths { kTwo, kFour, kMixed };  // kMixed alternates per block

struct Options {
  int version = 5;             // 2 to 5
  bool bocu = false;           // BOCU-1 texts; else the signature's code pages
  Signature signature = 0;     // chooses the code pages; 0: from the output file name
  uint32_t blockBytes = 1024;  // target size of a data block (a multiple of 256)
  FieldWidths fieldWidths = FieldWidths::kTwo;
  int blockNumberWidth = 2;  // 2 or 4 (4 needs version 4 or 5); 0: 2, or 4 when
                             // versions 4 and 5 have more units than 2 bytes number
};

// What a build made of its entries.
struct Report {
  size_t written = 0;
  size_t skipped = 0;     // entries whose texts the code page cannot hold, or empty head words
  size_t duplicates = 0;  // entries dropped as exact copies of an earlier one
  size_t pronunciationsDropped = 0;  // pronunciations the phonetic table cannot spell (entry kept)
  size_t headWordsCut = 0;           // head words cut to the longest head word a block can hold
};

// The builders answer std::nullopt, with the reason in *error (which may be null when the reason
// is not wanted), when nothing can be written.

// Builds the whole file in memory. Entries are sorted by their encoded head-word bytes (unsigned;
// entries with equal head words keep their input order, and all of them land in one block);
// exact copies of an entry are dropped. Entries with an empty head word, a NUL in a text, or a
// head word, translation or example that the code page cannot hold are skipped and counted; head
// words longer than kMaxHeadWordBytes are cut on a character boundary. Texts are stored as given.
// *report (when not null) counts what became of the entries.
std::optional<std::vector<uint8_t>> buildDictionary(const std::vector<Entry>& entries,
                                                    const Options& options, Report* report,
                                                    std::string* error = nullptr);
// Lays out entries already encoded and sorted; fails on options out of range and on sizes the
// header cannot state.
std::optional<std::vector<uint8_t>> buildDictionaryFromRaw(
    const std::vector<RawEntry>& sortedEntries, const Options& options,
    std::string* error = nullptr);
// buildDictionary, then written to `path` (signature from its file name when options.signature
// is 0).
std::optional<Report> writeDictionary(const std::string& path, const std::vector<Entry>& entries,
                                      Options options, std::string* error = nullptr);

// A single data block (head word included) holding the raw entries, with the given field width;
// std::nullopt when they do not fit in one block or a field length does not fit the width.
std::optional<std::vector<uint8_t>> buildDataBlock(const std::vector<RawEntry>& entries, bool bocu,
                                                   int fieldWidth);

// Reading sources: tab-separated UTF-8 lines (head word, translation, [pronunciation, [example,
// [level]]]; \n, \t and \\ escapes in translation and example, a line break becoming CR LF),
// and dictd dictionaries (NAME.index with NAME.dict.dz or NAME.dict; the index word is the head
// word, the definition the translation; the definition's leading head-word line is taken apart:
// the head word's /pronunciation/ becomes the pronunciation, its <part of speech> and the other
// written forms the translation's first line). std::nullopt and `error` on bad input.
std::optional<std::vector<Entry>> readTabSeparated(const std::string& path, std::string* error);

// How a dictd definition's text is stored. Record texts may carry markup (the page shows them as
// HTML), so by default the data's own &, < and > are escaped and lines are joined with "<br>";
// kPlain keeps the text as it is and joins lines with CR LF, the code pages' line break.
enum class DictdText { kMarkup, kPlain };
std::optional<std::vector<Entry>> readDictd(const std::string& indexPath, std::string* error);
std::optional<std::vector<Entry>> readDictd(const std::string& indexPath, DictdText text,
                                            std::string* error);

}  // namespace lexor::writer
