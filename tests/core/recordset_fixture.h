// Dictionaries built byte by byte for the recordset's tests: entries in either layout, data blocks
// with either field width, and whole version 5 files around them, so that every walk can be
// checked against bytes written out here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/lexor.h"
#include "core/lexor_recordset.h"
#include "core/string_bridge.h"
#include "platform/ustring.h"
#include "tests/support/temp_dir.h"

namespace lexor::testing {

using Bytes = std::vector<uint8_t>;

inline void appendLE(Bytes& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void appendText(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

// The BOCU-1 form of UTF-8 text, without its NUL.
inline std::string bocu(const std::string& utf8) {
  uint8_t buffer[1024] = {};
  CreateBOCU1StringWithNSString(fromUtf8(utf8), buffer, sizeof buffer);
  return std::string(reinterpret_cast<const char*>(buffer));
}

// Code-page layout: length, prefix, tail NUL, attribute, body. `length` overrides the true field
// length when not 0.
inline Bytes cpEntry(int w, uint8_t prefix, const std::string& tail, uint8_t attrib,
                     const std::string& body, uint64_t length = 0) {
  Bytes out;
  appendLE(out, length ? length : tail.size() + 2 + body.size(), w);
  out.push_back(prefix);
  appendText(out, tail);
  out.push_back(0);
  out.push_back(attrib);
  appendText(out, body);
  return out;
}

// BOCU-1 layout: length, prefix, attribute, tail NUL, body.
inline Bytes bocuEntry(int w, uint8_t prefix, uint8_t attrib, const std::string& tail,
                       const std::string& body, uint64_t length = 0) {
  Bytes out;
  appendLE(out, length ? length : tail.size() + 1 + body.size(), w);
  out.push_back(prefix);
  out.push_back(attrib);
  appendText(out, tail);
  out.push_back(0);
  appendText(out, body);
  return out;
}

// A data block: head word (size in units, bit 15 for 4-byte lengths), the entries, the
// end-of-block mark unless `endMark` is false, zeros up to whole 256-byte units.
inline Bytes dataBlock(int w, const std::vector<Bytes>& entries, bool endMark = true) {
  Bytes out(2, 0);
  for (const Bytes& e : entries) out.insert(out.end(), e.begin(), e.end());
  if (endMark) appendLE(out, 0, w);
  const size_t units = (out.size() + 255) / 256;
  out.resize(units * 256, 0);
  const uint32_t head = static_cast<uint32_t>(units) | (w == 4 ? 0x8000u : 0u);
  out[0] = static_cast<uint8_t>(head);
  out[1] = static_cast<uint8_t>(head >> 8);
  return out;
}

struct HandBlock {
  std::string indexWord;  // the block's leading word as stored in the index
  Bytes bytes;            // the whole block, head word included
};

// A version 5 file: 256-byte header, the index (2-byte block numbers), then the blocks.
inline Bytes assembleDictionary(bool bocuTexts, const std::vector<HandBlock>& blocks) {
  Bytes index;
  uint32_t unit = 0;
  for (const HandBlock& b : blocks) {
    appendLE(index, unit, 2);
    appendText(index, b.indexWord);
    index.push_back(0);
    unit += static_cast<uint32_t>(b.bytes.size() / 256);
  }
  const size_t indexBlocks = (index.size() + 1 + 255) / 256;
  index.resize(indexBlocks * 256, 0);

  Bytes file(256, 0);
  auto put = [&file](size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(140, 0x0500, 2);
  put(146, 256, 2);
  put(148, indexBlocks, 2);
  put(150, 256, 2);
  put(160, blocks.size(), 4);
  if (bocuTexts) {
    file[165] = 0x08;
    file[167] = 0x20;
  }
  put(182, 0, 1);
  put(184, 0, 4);
  put(192, blocks.size(), 4);
  put(196, unit, 4);
  file.insert(file.end(), index.begin(), index.end());
  for (const HandBlock& b : blocks) file.insert(file.end(), b.bytes.begin(), b.bytes.end());
  return file;
}

// Writes the file under `name` (whose stem chooses the signature) and opens it.
inline std::shared_ptr<Lexor> openDictionary(const TempDir& dir, const std::string& name,
                                             const Bytes& file) {
  return Lexor::initWithFilePath(fromUtf8(dir.write(name, file)));
}

// Every head word the recordset yields from its current position on, the current one first.
inline std::vector<std::string> drain(LexorRecordset& rs, bool positioned) {
  std::vector<std::string> words;
  for (bool ok = positioned; ok; ok = rs.moveNext()) {
    auto record = rs.getRecordAsDictionary();
    words.push_back(record && record->eword ? toUtf8(*record->eword) : std::string("<none>"));
  }
  return words;
}

inline std::vector<std::string> query(LexorRecordset& rs, const std::string& word) {
  return drain(rs, rs.queryWithWord(fromUtf8(word)));
}

}  // namespace lexor::testing
