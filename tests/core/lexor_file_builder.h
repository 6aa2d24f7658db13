// Hand-built dictionary bytes for the reader's tests: header blocks with every field placed by
// version, index areas and whole files, each byte where the file layout puts it. Kept apart from
// the dictionary writer on purpose, so that the reader is checked against a layout written out
// here rather than against a second program that could share its mistakes.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/lexor.h"

namespace lexor::testing {

inline void putLE(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
  if (bytes.size() < at + width) bytes.resize(at + width);
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The fields of a header block, written where `version` puts them.
struct HeaderFields {
  uint16_t version = 0x0500;
  uint16_t lword = 0;
  uint16_t ljapa = 0;
  uint16_t blockSize = 256;
  uint16_t indexBlocks = 0;
  uint16_t headerSize = 256;
  uint32_t indexSize = 0;     // versions 2, 3 (16 bits stored)
  uint32_t emptyBlockAt = 0;  // 16 bits in versions 2, 3
  uint32_t indexEntries = 0;  // 16 bits in versions 2, 3
  uint32_t dataBlocks = 0;    // 16 bits in versions 2, 3
  uint32_t nword = 0;
  uint8_t dicorder = 0;
  uint8_t dictype = 0;
  uint8_t attrlen = 0;
  uint32_t olenumber = 0;
  uint8_t os = 0;
  uint32_t extheaderSize = 0;  // versions 4, 5
  uint8_t blockbyteFlag = 0;   // versions 4, 5
};

inline std::array<uint8_t, kHeaderBlockSize> headerBlock(const HeaderFields& f) {
  std::vector<uint8_t> b(kHeaderBlockSize, 0);
  const int major = f.version & 0x7F00;
  putLE(b, 140, f.version, 2);
  putLE(b, 142, f.lword, 2);
  putLE(b, 144, f.ljapa, 2);
  putLE(b, 146, f.blockSize, 2);
  putLE(b, 148, f.indexBlocks, 2);
  putLE(b, 150, f.headerSize, 2);
  putLE(b, 160, f.nword, 4);
  b[164] = f.dicorder;
  b[165] = f.dictype;
  b[166] = f.attrlen;
  if (major <= 0x0300) {
    putLE(b, 152, f.indexSize, 2);
    putLE(b, 154, f.emptyBlockAt, 2);
    putLE(b, 156, f.indexEntries, 2);
    putLE(b, 158, f.dataBlocks, 2);
  }
  if (major == 0x0300 || major == 0x0400) {
    putLE(b, 167, f.olenumber, 4);
    b[171] = f.os;
  }
  if (major == 0x0400) {
    putLE(b, 182, f.extheaderSize, 4);
    putLE(b, 186, f.emptyBlockAt, 4);
    putLE(b, 190, f.indexEntries, 4);
    putLE(b, 194, f.dataBlocks, 4);
    b[198] = f.blockbyteFlag;
  }
  if (major == 0x0500) {
    b[167] = f.os;
    putLE(b, 168, f.olenumber, 4);
    b[182] = f.blockbyteFlag;
    putLE(b, 184, f.extheaderSize, 4);
    putLE(b, 188, f.emptyBlockAt, 4);
    putLE(b, 192, f.indexEntries, 4);
    putLE(b, 196, f.dataBlocks, 4);
  }
  std::array<uint8_t, kHeaderBlockSize> block{};
  std::copy(b.begin(), b.end(), block.begin());
  return block;
}

struct IndexEntrySpec {
  uint32_t block = 0;
  std::string word;  // may hold any byte but NUL; empty ends the index
};

inline std::vector<uint8_t> indexBytes(const std::vector<IndexEntrySpec>& entries, int blockbyte) {
  std::vector<uint8_t> b;
  for (const auto& e : entries) {
    putLE(b, b.size(), e.block, blockbyte);
    b.insert(b.end(), e.word.begin(), e.word.end());
    b.push_back(0);
  }
  return b;
}

// A data block of `units` 256-byte units whose head word is `headWord` and whose other bytes are
// `fill`.
inline std::vector<uint8_t> dataBlock(size_t units, uint16_t headWord, uint8_t fill) {
  std::vector<uint8_t> b(units * kBlockUnit, fill);
  putLE(b, 0, headWord, 2);
  return b;
}

// A whole file: header block (padded to the header size), extended header, index, data.
struct TestDictionary {
  uint16_t version = 0x0500;
  int blockbyte = 2;
  uint16_t headerSize = 256;
  uint32_t extheaderSize = 0;  // versions 4, 5
  std::vector<IndexEntrySpec> index;
  std::optional<uint32_t> indexEntries;  // stored count; default: index.size()
  std::vector<uint8_t> data;

  std::vector<uint8_t> build() const {
    std::vector<uint8_t> idx = indexBytes(index, blockbyte);
    const bool long_counts = (version & 0x7F00) >= 0x0400;
    HeaderFields f;
    f.version = version;
    f.headerSize = headerSize;
    f.indexEntries = indexEntries.value_or(static_cast<uint32_t>(index.size()));
    f.dataBlocks = static_cast<uint32_t>(data.size() / kBlockUnit);
    f.blockbyteFlag = blockbyte == 4 ? 1 : 0;
    if (long_counts) {
      // Versions 4 and 5 compute the index size as block size x index blocks.
      f.blockSize = 256;
      f.indexBlocks = static_cast<uint16_t>((idx.size() + 255) / 256);
      idx.resize(size_t{f.indexBlocks} * 256, 0);
      f.extheaderSize = extheaderSize;
    } else {
      f.indexSize = static_cast<uint32_t>(idx.size());
    }
    const auto block = headerBlock(f);
    std::vector<uint8_t> file(block.begin(), block.end());
    file.resize(std::max<size_t>(file.size(), headerSize + (long_counts ? extheaderSize : 0)), 0);
    file.insert(file.end(), idx.begin(), idx.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
  }
};

}  // namespace lexor::testing
