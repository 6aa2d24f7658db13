// The constant tables that identify a dictionary: file keys to signatures, signatures to display
// names and signatures to the code pages of head words and translations.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/dic_identity.h"
#include "platform/code_page.h"

namespace lexor {

// How a file-key row chooses between its two signatures.
enum class KeyCondition : uint8_t {
  kNone,                 // always `signature`
  kFileNumberIsTwo,      // `alternative` when the file number is 2
  kBaseNameEndsWithUni,  // `alternative` when the whole base name ends with "-uni"
  kBaseNameEndsWithW,    // `alternative` when the whole base name ends with "w"
};

struct FileKeyRow {
  std::u16string_view key;  // lower-case ASCII, no digit
  Signature signature;      // without a condition, or when the condition does not hold
  KeyCondition condition;
  Signature alternative;  // when the condition holds; kNoSignature without a condition
};

// A display name is its title followed directly by its tag. Rows that share a title point at
// the same title text, so the shared part cannot drift apart.
struct DisplayNameRow {
  Signature signature;
  std::string_view title;  // UTF-8
  std::string_view tag;    // UTF-8, may be empty
};

struct CodePageRow {
  Signature signature;
  CodePage headWord;
  CodePage translation;
};

// Every row, in ascending order of the key.
std::span<const FileKeyRow> fileKeyTable();
// The rows whose key begins with `first`; empty for a character outside 'a' to 'w'.
std::span<const FileKeyRow> fileKeysBeginningWith(char16_t first);

// Every row, in ascending order of the signature.
std::span<const DisplayNameRow> displayNameTable();
std::span<const CodePageRow> codePageTable();

// The row of the signature, or nullptr.
const DisplayNameRow* findDisplayNameRow(Signature signature);
const CodePageRow* findCodePageRow(Signature signature);

}  // namespace lexor
