// Entries from a dictd dictionary: NAME.index beside NAME.dict.dz (or NAME.dict).
//
// Index line := head word TAB offset TAB length, the two numbers in dictd's base 64 (digits
//               A-Z a-z 0-9 + / worth 0 to 63, most significant first), giving the definition's
//               bytes in the uncompressed data file.
// Data file  := UTF-8 text; dictzip is a gzip file, so zlib reads it whole (and reads a plain
//               file unchanged).
//
// Each index line becomes an entry: the index word is the head word, the definition the
// translation (dictd_definition.cpp takes the definition apart). The 00-database-... entries
// (the dictionary's own metadata) are left out.
#include <zlib.h>

#include <fstream>

#include "tools/writer/dictd_definition.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

constexpr std::string_view kIndexExtension = ".index";
constexpr size_t kReadChunk = 1 << 16;

std::optional<uint64_t> decodeBase64Number(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;  // 10 digits: 60 bits
  uint64_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= 'A' && c <= 'Z')
      digit = c - 'A';
    else if (c >= 'a' && c <= 'z')
      digit = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      digit = c - '0' + 52;
    else if (c == '+')
      digit = 62;
    else if (c == '/')
      digit = 63;
    else
      return std::nullopt;
    value = value * 64 + static_cast<uint64_t>(digit);
  }
  return value;
}

bool isMetadata(std::string_view headWord) {
  // dictfmt writes the key either as it is or with its punctuation removed.
  return headWord.starts_with("00-database-") || headWord.starts_with("00database");
}

std::optional<std::string> readWholeData(const std::string& path, std::string* error) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot open " + path;
    return std::nullopt;
  }
  std::string data;
  std::string chunk(kReadChunk, '\0');
  int n;
  while ((n = gzread(file, chunk.data(), static_cast<unsigned>(chunk.size()))) > 0) {
    data.append(chunk.data(), static_cast<size_t>(n));
  }
  int status = Z_OK;
  const char* message = n < 0 ? gzerror(file, &status) : nullptr;
  std::string problem = message ? message : "";
  gzclose(file);
  if (n < 0) {
    *error = "cannot read " + path + ": " + problem;
    return std::nullopt;
  }
  return data;
}

}  // namespace

std::optional<std::vector<Entry>> readDictd(const std::string& indexPath, std::string* error) {
  return readDictd(indexPath, DictdText::kMarkup, error);
}

std::optional<std::vector<Entry>> readDictd(const std::string& indexPath, DictdText text,
                                            std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (!std::string_view(indexPath).ends_with(kIndexExtension)) {
    *error = "a dictd index file name ends with .index: " + indexPath;
    return std::nullopt;
  }
  std::string base = indexPath.substr(0, indexPath.size() - kIndexExtension.size());
  std::string dataPath = base + ".dict.dz";
  if (!std::ifstream(dataPath)) dataPath = base + ".dict";

  std::ifstream index(indexPath, std::ios::binary);
  if (!index) {
    *error = "cannot open " + indexPath;
    return std::nullopt;
  }
  std::optional<std::string> data = readWholeData(dataPath, error);
  if (!data) return std::nullopt;

  std::vector<Entry> entries;
  std::string line;
  size_t lineNumber = 0;
  while (std::getline(index, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    auto fail = [&](const std::string& problem) {
      *error = indexPath + ":" + std::to_string(lineNumber) + ": " + problem;
      return std::nullopt;
    };
    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) return fail("expected head word, offset and length");
    std::string_view view(line);
    std::string_view headWord = view.substr(0, tab1);
    std::string_view lengthField = view.substr(tab2 + 1);
    lengthField = lengthField.substr(0, lengthField.find('\t'));  // later columns: ignored
    std::optional<uint64_t> offset = decodeBase64Number(view.substr(tab1 + 1, tab2 - tab1 - 1));
    std::optional<uint64_t> length = decodeBase64Number(lengthField);
    if (!offset || !length) return fail("bad base-64 number");
    if (*offset > data->size() || data->size() - *offset < *length) {
      return fail("definition lies beyond the end of " + dataPath);
    }
    if (isMetadata(headWord)) continue;
    std::string_view definition(data->data() + *offset, static_cast<size_t>(*length));
    DefinitionParts parts = splitDefinition(headWord, definition, text);
    Entry entry;
    entry.headWord = fromUtf8(headWord);
    entry.translation = fromUtf8(parts.translation);
    if (!parts.pronunciation.empty()) entry.pronunciation = fromUtf8(parts.pronunciation);
    entries.push_back(std::move(entry));
  }
  if (index.bad()) {
    *error = "cannot read " + indexPath;
    return std::nullopt;
  }
  return entries;
}

}  // namespace lexor::writer
