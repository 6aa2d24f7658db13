// Lays encoded entries out as a Lexor file: data blocks, the index of their leading words and the
// header block.
//
// The grammar and every number of the format are in core/lexor_format.h; what follows is this
// writer's own reading of them. Header fields it fills: version, block size, index blocks, header
// size (256), nword (the entries), dictype and os (the BOCU-1 bits), the index size of versions 2
// and 3, and each version's empty block at, index entries, data blocks and block-number flag. A
// block's prefix counts run within the block only: 0 for its first entry, at most 255.
//
// Choices of this writer: "block size" is the size of an index block (256, grown by units only
// when the index would need more than 0x7FFF index blocks), so that block size x index blocks is
// the index area's size in every version; "data blocks" counts blocks (one per index entry);
// "empty block at" is the first unit after the data. Equal head words never straddle two blocks,
// because a look-up only ever starts in the last block whose leading word is at or before the
// query word.
#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/data_util.h"
#include "core/lexor_format.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

constexpr size_t kUnit = kBlockUnit;  // for the size_t arithmetic of blocks
// The header's 16-bit fields are read as signed.
constexpr uint32_t kMaxInt16 = std::numeric_limits<int16_t>::max();
constexpr uint64_t kMaxFieldLength2 = std::numeric_limits<uint16_t>::max();
constexpr uint64_t kMaxFieldLength4 = std::numeric_limits<uint32_t>::max();

size_t sharedPrefix(const std::string& previous, const std::string& current) {
  size_t limit = std::min({previous.size(), current.size(), kMaxPrefixCount});
  size_t n = 0;
  while (n < limit && previous[n] == current[n]) ++n;
  return n;
}

// The field length L of an entry whose head word shares `prefix` bytes with the previous one.
uint64_t fieldLength(const RawEntry& entry, size_t prefix, bool bocu) {
  uint64_t tailWithNul = entry.headWord.size() - prefix + 1;
  return tailWithNul + entry.body.size() + (bocu ? 0 : 1);
}

// Bytes of an entry apart from its field length.
uint64_t entryBytesAfterLength(const RawEntry& entry, size_t prefix, bool bocu) {
  return 1 + fieldLength(entry, prefix, bocu) + (bocu ? 1 : 0);
}

void appendEntry(std::vector<uint8_t>& out, const RawEntry& entry, size_t prefix, bool bocu,
                 int width) {
  appendUIntOfWidth(out, static_cast<uint32_t>(fieldLength(entry, prefix, bocu)), width);
  out.push_back(static_cast<uint8_t>(prefix));
  if (bocu) out.push_back(entry.attribute);
  out.insert(out.end(), entry.headWord.begin() + static_cast<std::ptrdiff_t>(prefix),
             entry.headWord.end());
  out.push_back(0);
  if (!bocu) out.push_back(entry.attribute);
  out.insert(out.end(), entry.body.begin(), entry.body.end());
}

// Collects the entries of one block; the bytes are produced at the end, so that the field-length
// width can still be widened when a long entry arrives.
class BlockBuilder {
 public:
  BlockBuilder(bool bocu, int width) : _bocu(bocu), _width(width) {}

  bool empty() const { return _entries.empty(); }
  int width() const { return _width; }
  void widen() { _width = 4; }
  const std::string& firstHeadWord() const { return _entries.front().entry->headWord; }
  const std::string& lastHeadWord() const { return _entries.back().entry->headWord; }

  // Bytes of the block, end mark included and padding not, with `entry` appended at `width`.
  uint64_t sizeWith(const RawEntry& entry, int width) const {
    uint64_t payload = _payload + entryBytesAfterLength(entry, nextPrefix(entry), _bocu);
    return 2 + payload + static_cast<uint64_t>(width) * (_entries.size() + 2);
  }
  uint64_t sizeWith(const RawEntry& entry) const { return sizeWith(entry, _width); }

  uint64_t fieldLengthOf(const RawEntry& entry) const {
    return fieldLength(entry, nextPrefix(entry), _bocu);
  }

  void add(const RawEntry& entry) {
    size_t prefix = nextPrefix(entry);
    _payload += entryBytesAfterLength(entry, prefix, _bocu);
    _entries.push_back({&entry, prefix});
  }

  // The block padded to whole units; std::nullopt when it cannot be one block.
  std::optional<std::vector<uint8_t>> finish() const {
    uint64_t size = 2 + _payload + static_cast<uint64_t>(_width) * (_entries.size() + 1);
    uint64_t maxLength = _width == 4 ? kMaxFieldLength4 : kMaxFieldLength2;
    if (size > kMaxBlockBytes) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(size);
    appendUIntOfWidth(out, 0, 2);
    for (const auto& placed : _entries) {
      if (fieldLength(*placed.entry, placed.prefix, _bocu) > maxLength) return std::nullopt;
      appendEntry(out, *placed.entry, placed.prefix, _bocu, _width);
    }
    appendUIntOfWidth(out, 0, _width);  // end mark
    size_t units = (out.size() + kUnit - 1) / kUnit;
    out.resize(units * kUnit, 0);
    putUShortAt(out.data(),
                static_cast<uint32_t>(units) | (_width == 4 ? kWideFieldLengthFlag : 0));
    return out;
  }

 private:
  struct Placed {
    const RawEntry* entry;
    size_t prefix;
  };

  size_t nextPrefix(const RawEntry& entry) const {
    return _entries.empty() ? 0 : sharedPrefix(_entries.back().entry->headWord, entry.headWord);
  }

  bool _bocu;
  int _width;
  std::vector<Placed> _entries;
  uint64_t _payload = 0;
};

struct Block {
  std::vector<uint8_t> bytes;
  std::string firstHeadWord;
};

int widthOfBlock(FieldWidths widths, size_t blockIndex) {
  switch (widths) {
    case FieldWidths::kTwo:
      return 2;
    case FieldWidths::kFour:
      return 4;
    case FieldWidths::kMixed:
      return blockIndex % 2 == 0 ? 2 : 4;
  }
  return 2;
}

bool packBlocks(const std::vector<RawEntry>& entries, const Options& options, size_t target,
                std::vector<Block>* blocks, std::string* error) {
  BlockBuilder current(options.bocu, widthOfBlock(options.fieldWidths, 0));
  auto close = [&]() -> bool {
    std::optional<std::vector<uint8_t>> bytes = current.finish();
    if (!bytes) {
      *error = "an entry does not fit in a data block";
      return false;
    }
    blocks->push_back({std::move(*bytes), current.firstHeadWord()});
    current = BlockBuilder(options.bocu, widthOfBlock(options.fieldWidths, blocks->size()));
    return true;
  };

  for (const RawEntry& entry : entries) {
    if (!current.empty()) {
      bool sameHeadWord = entry.headWord == current.lastHeadWord();
      bool full = current.sizeWith(entry) > target;
      bool tooLarge = current.sizeWith(entry, 4) > kMaxBlockBytes;
      if (tooLarge || (full && !sameHeadWord)) {
        if (!close()) return false;
      }
    }
    if (current.width() == 2 && current.fieldLengthOf(entry) > kMaxFieldLength2) current.widen();
    if (current.sizeWith(entry) > kMaxBlockBytes) {
      *error = "an entry is larger than the largest data block (" + std::to_string(kMaxBlockBytes) +
               " bytes)";
      return false;
    }
    current.add(entry);
  }
  return current.empty() || close();
}

bool checkOptions(const Options& options, std::string* error) {
  if (options.version < 2 || options.version > 5) {
    *error = "version must be 2, 3, 4 or 5";
    return false;
  }
  if (options.bocu && options.version == 2) {
    *error = "version 2 has no os byte, so it cannot mark a dictionary as BOCU-1";
    return false;
  }
  if (options.blockNumberWidth != 0 && options.blockNumberWidth != 2 &&
      options.blockNumberWidth != 4) {
    *error = "block numbers are 2 or 4 bytes wide";
    return false;
  }
  if (options.blockNumberWidth == 4 && options.version < 4) {
    *error = "4-byte block numbers need version 4 or 5";
    return false;
  }
  if (options.blockBytes == 0 || options.blockBytes > kMaxBlockBytes) {
    *error = "block size must be 1 to " + std::to_string(kMaxBlockBytes) + " bytes";
    return false;
  }
  return true;
}

struct IndexArea {
  std::vector<uint8_t> bytes;  // padded
  uint32_t blockSize = kUnit;  // header's block size, in bytes
  uint32_t indexBlocks = 0;
  int blockNumberWidth = 2;
};

bool buildIndex(const std::vector<Block>& blocks, const Options& options, IndexArea* index,
                std::string* error) {
  uint64_t units = 0;
  std::vector<uint64_t> blockNumbers;
  for (const Block& block : blocks) {
    blockNumbers.push_back(units);
    units += block.bytes.size() / kUnit;
  }
  uint64_t lastNumber = blockNumbers.empty() ? 0 : blockNumbers.back();
  int width = options.blockNumberWidth;
  if (width == 0) width = (options.version >= 4 && lastNumber > 0xFFFF) ? 4 : 2;
  if (width == 2 && lastNumber > 0xFFFF) {
    *error = "data block number " + std::to_string(lastNumber) +
             " does not fit in 2 bytes; use 4-byte block numbers (versions 4 and 5)";
    return false;
  }
  if (lastNumber > 0xFFFFFFFF) {
    *error = "too much data for 4-byte block numbers";
    return false;
  }
  index->blockNumberWidth = width;
  for (size_t i = 0; i < blocks.size(); ++i) {
    appendUIntOfWidth(index->bytes, static_cast<uint32_t>(blockNumbers[i]), width);
    index->bytes.insert(index->bytes.end(), blocks[i].firstHeadWord.begin(),
                        blocks[i].firstHeadWord.end());
    index->bytes.push_back(0);
  }

  // The index blocks count is a signed 16-bit field in every version: grow the block instead.
  uint64_t indexBytes = index->bytes.size();
  uint64_t blockSize = kUnit;
  while ((indexBytes + blockSize - 1) / blockSize > kMaxInt16) blockSize += kUnit;
  uint64_t storedBlockSize = options.version == 3 ? blockSize / kVersion3BlockSizeUnit : blockSize;
  if (storedBlockSize > kMaxInt16) {
    *error = "the index is too large for the header";
    return false;
  }
  index->blockSize = static_cast<uint32_t>(blockSize);
  index->indexBlocks = static_cast<uint32_t>((indexBytes + blockSize - 1) / blockSize);
  index->bytes.resize(static_cast<size_t>(blockSize) * index->indexBlocks, 0);
  return true;
}

std::optional<std::vector<uint8_t>> buildHeader(const Options& options, const IndexArea& index,
                                                size_t nBlocks, uint64_t dataUnits, size_t nEntries,
                                                std::string* error) {
  bool old = options.version < 4;
  if (old) {
    if (index.bytes.size() > kMaxInt16 || nBlocks > kMaxInt16) {
      *error = "version " + std::to_string(options.version) +
               " counts in 16 bits: the dictionary needs " + std::to_string(nBlocks) +
               " blocks and " + std::to_string(index.bytes.size()) +
               " index bytes (at most 32767 each); use version 4 or 5";
      return std::nullopt;
    }
  }
  std::vector<uint8_t> header(kHeaderBlockSize, 0);
  uint8_t* h = header.data();
  auto emptyBlockAt = static_cast<uint32_t>(std::min<uint64_t>(dataUnits, 0xFFFFFFFF));
  putUShortAt(h + kVersionAt, static_cast<uint32_t>(options.version) << 8);
  putUShortAt(h + kBlockSizeAt,
              options.version == 3 ? index.blockSize / kVersion3BlockSizeUnit : index.blockSize);
  putUShortAt(h + kIndexBlocksAt, index.indexBlocks);
  putUShortAt(h + kHeaderSizeAt, kHeaderBlockSize);
  putULongAt(h + kNwordAt, static_cast<uint32_t>(nEntries));
  putByteAt(h + kDictypeAt, options.bocu ? kDictypeBocuBit : 0);
  uint32_t os = options.bocu ? kOsBocuBit : 0;
  uint32_t flag = index.blockNumberWidth == 4 ? kFourByteBlockNumbers : 0;
  auto nIndex = static_cast<uint32_t>(nBlocks);
  switch (options.version) {
    case 2:
    case 3: {
      const ShortCountOffsets& at = kShortCountOffsets;
      putUShortAt(h + at.indexSize, static_cast<uint32_t>(index.bytes.size()));
      putUShortAt(h + at.emptyBlockAt, std::min<uint32_t>(emptyBlockAt, kMaxInt16));  // logged only
      putUShortAt(h + at.indexEntries, nIndex);
      putUShortAt(h + at.dataBlocks, nIndex);
      if (options.version == 3) putByteAt(h + kVersion3OsAt, os);
      break;
    }
    case 4:
    case 5: {
      const LongCountOffsets& at = options.version == 4 ? kVersion4Offsets : kVersion5Offsets;
      putByteAt(h + at.os, os);
      putULongAt(h + at.emptyBlockAt, emptyBlockAt);
      putULongAt(h + at.indexEntries, nIndex);
      putULongAt(h + at.dataBlocks, nIndex);
      putByteAt(h + at.blockbyteFlag, flag);
      break;
    }
  }
  return header;
}

}  // namespace

std::optional<std::vector<uint8_t>> buildDictionaryFromRaw(
    const std::vector<RawEntry>& sortedEntries, const Options& options, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (!checkOptions(options, error)) return std::nullopt;
  size_t target = std::max<size_t>(kUnit, (options.blockBytes + kUnit - 1) / kUnit * kUnit);

  std::vector<Block> blocks;
  if (!packBlocks(sortedEntries, options, target, &blocks, error)) return std::nullopt;
  IndexArea index;
  if (!buildIndex(blocks, options, &index, error)) return std::nullopt;
  uint64_t dataBytes = 0;
  for (const Block& block : blocks) dataBytes += block.bytes.size();
  std::optional<std::vector<uint8_t>> file =
      buildHeader(options, index, blocks.size(), dataBytes / kUnit, sortedEntries.size(), error);
  if (!file) return std::nullopt;
  // Readers address the file with 32-bit offsets.
  if (file->size() + index.bytes.size() + dataBytes > 0xFFFFFFFFull) {
    *error = "the dictionary would be larger than 4 GiB";
    return std::nullopt;
  }
  file->reserve(file->size() + index.bytes.size() + dataBytes);
  file->insert(file->end(), index.bytes.begin(), index.bytes.end());
  for (const Block& block : blocks) {
    file->insert(file->end(), block.bytes.begin(), block.bytes.end());
  }
  return file;
}

std::optional<std::vector<uint8_t>> buildDataBlock(const std::vector<RawEntry>& entries, bool bocu,
                                                   int fieldWidth) {
  BlockBuilder block(bocu, fieldWidth == 4 ? 4 : 2);
  for (const RawEntry& entry : entries) block.add(entry);
  return block.finish();
}

}  // namespace lexor::writer
