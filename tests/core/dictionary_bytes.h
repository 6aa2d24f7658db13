// Dictionary bytes for the reader's tests where a test needs a header field, an index entry or a
// block exactly where it puts it, broken or not. Sound blocks of entries come from the writer.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/lexor.h"
#include "core/string_bridge.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {

using Bytes = std::vector<uint8_t>;

inline void putLE(Bytes& bytes, size_t at, uint64_t value, int width) {
  if (bytes.size() < at + width) bytes.resize(at + width);
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The fields of a header block, written where `version` puts them.
struct HeaderFields {
  uint16_t version = 0x0500, lword = 0, ljapa = 0, blockSize = 256, indexBlocks = 0;
  uint16_t headerSize = 256;
  uint32_t indexSize = 0;  // versions 2, 3; the 32-bit counts below are 16 bits there
  uint32_t emptyBlockAt = 0, indexEntries = 0, dataBlocks = 0, nword = 0, olenumber = 0;
  uint8_t dicorder = 0, dictype = 0, attrlen = 0, os = 0;
  uint32_t extheaderSize = 0;  // versions 4, 5
  uint8_t blockbyteFlag = 0;   // versions 4, 5
};

inline std::array<uint8_t, kHeaderBlockSize> headerBlock(const HeaderFields& f) {
  Bytes b;
  const int major = f.version & 0x7F00;
  const uint16_t shorts[] = {f.version, f.lword, f.ljapa, f.blockSize, f.indexBlocks, f.headerSize};
  for (size_t i = 0; i < std::size(shorts); ++i) putLE(b, 140 + 2 * i, shorts[i], 2);
  putLE(b, 160, f.nword, 4);
  putLE(b, 164, f.dicorder | f.dictype << 8 | f.attrlen << 16, 3);
  // Where the run of size and count fields starts (index size in versions 2 and 3, else
  // extended header size; then empty block at, index entries, data blocks), and its width.
  int counts = 0, width = 4, ole = -1, os = -1, flag = -1;
  if (major <= 0x0300) counts = 152, width = 2;
  if (major == 0x0300 || major == 0x0400) ole = 167, os = 171;
  if (major == 0x0400) counts = 182, flag = 198;
  if (major == 0x0500) counts = 184, ole = 168, os = 167, flag = 182;
  if (counts) {
    const uint32_t values[] = {width == 2 ? f.indexSize : f.extheaderSize, f.emptyBlockAt,
                               f.indexEntries, f.dataBlocks};
    for (int i = 0; i < 4; ++i) putLE(b, counts + i * width, values[i], width);
  }
  if (ole >= 0) putLE(b, ole, f.olenumber, 4);
  if (os >= 0) putLE(b, os, f.os, 1);
  if (flag >= 0) putLE(b, flag, f.blockbyteFlag, 1);
  std::array<uint8_t, kHeaderBlockSize> block{};
  std::copy(b.begin(), b.end(), block.begin());
  return block;
}

// A block of `units` 256-byte units whose head word is `headWord` and whose other bytes are `fill`.
inline Bytes fillerBlock(size_t units, uint16_t headWord, uint8_t fill) {
  Bytes b(units * kBlockUnit, fill);
  putLE(b, 0, headWord, 2);
  return b;
}

// The BOCU-1 form of UTF-8 text, without its NUL.
inline std::string bocu(const std::string& utf8) {
  uint8_t buffer[1024] = {};
  CreateBOCU1StringWithNSString(fromUtf8(utf8), buffer, sizeof buffer);
  return std::string(reinterpret_cast<const char*>(buffer));
}

// A block of whole head words in order, each its own translation.
inline Bytes wordsBlock(const std::vector<std::string>& words, bool bocuTexts = false) {
  std::vector<writer::RawEntry> entries;
  for (const std::string& w : words) {
    const std::string stored = bocuTexts ? bocu(w) : w;
    entries.push_back({stored, 0, stored});
  }
  return writer::buildDataBlock(entries, bocuTexts, 2).value();
}

// A whole file: header block (padded to the header size), extended header, index, data.
struct TestDictionary {
  uint16_t version = 0x0500;
  int blockbyte = 2;
  bool bocu = false;
  std::optional<uint32_t> claimedEntries;  // the header's entry count, when not the index's
  uint32_t extheaderSize = 0;              // versions 4, 5
  struct IndexEntry {
    uint32_t block;
    std::string word;  // an empty word ends the index
  };
  std::vector<IndexEntry> index;
  Bytes data;

  // Appends a block and the index entry that names it.
  TestDictionary& add(const std::string& word, const Bytes& block) {
    index.push_back({static_cast<uint32_t>(data.size() / kBlockUnit), word});
    data.insert(data.end(), block.begin(), block.end());
    return *this;
  }

  Bytes indexBytes() const {
    Bytes b;
    for (const auto& e : index) {
      putLE(b, b.size(), e.block, blockbyte);
      b.insert(b.end(), e.word.begin(), e.word.end());
      b.push_back(0);
    }
    return b;
  }

  Bytes build() const {
    Bytes idx = indexBytes();
    const bool longCounts = (version & 0x7F00) >= 0x0400;
    HeaderFields f;
    f.version = version;
    f.indexEntries = claimedEntries.value_or(static_cast<uint32_t>(index.size()));
    f.dataBlocks = static_cast<uint32_t>(data.size() / kBlockUnit);
    f.blockbyteFlag = blockbyte == 4;
    f.dictype = bocu ? 0x08 : 0;
    f.os = bocu ? 0x20 : 0;
    if (longCounts) {  // the index size is block size x index blocks
      f.indexBlocks = static_cast<uint16_t>((idx.size() + 255) / 256);
      idx.resize(size_t{f.indexBlocks} * 256, 0);
    }
    f.indexSize = static_cast<uint32_t>(idx.size());  // each version writes only its own fields
    f.extheaderSize = extheaderSize;
    const auto block = headerBlock(f);
    Bytes file(block.begin(), block.end());
    file.resize(file.size() + (longCounts ? extheaderSize : 0), 0);
    file.insert(file.end(), idx.begin(), idx.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
  }
};

// Writes the file under `name` (whose stem chooses the signature) and opens it.
inline std::shared_ptr<Lexor> openDictionary(const TempDir& dir, const std::string& name,
                                             const Bytes& file) {
  return Lexor::initWithFilePath(fromUtf8(dir.write(name, file)));
}

}  // namespace lexor::testing
