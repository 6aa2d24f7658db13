// Decoding of the header block: the first 256 bytes of a dictionary file.
//
// All numbers are little-endian and unaligned. "s16" fields are read signed, so stored values from
// 0x8000 up come out negative (and huge in the unsigned members).
//
//   offset  size  field              versions  use
//   140     s16   version            all       major = version & 0x7F00; 0x0200..0x0500 accepted
//   142     s16   lword              all       log only
//   144     s16   ljapa              all       log only
//   146     s16   block size         all       x16 in version 3; index size (4, 5) and data size
//   148     s16   index blocks       all
//   150     s16   header size        all       the index starts at header size + ext. header size
//   152     s16   index size         2, 3      (4, 5: block size x index blocks)
//   154     s16   empty_block_at     2, 3      log only
//   156     s16   index entries      2, 3
//   158     s16   data blocks        2, 3
//   160     u32   nword              all       log only
//   164     u8    dicorder           all       log only
//   165     u8    dictype            all       bit 0x08: one half of the BOCU-1 test
//   166     u8    attrlen            all       log only
//   167     s32   olenumber          3, 4      log only
//   171     u8    os                 3, 4      bit 0x20: the other half of the BOCU-1 test
//   167     u8    os                 5
//   168     s32   olenumber          5
//   182     u32   ext. header size   4         (5: at 184)
//   186     s32   empty_block_at     4         (5: at 188)
//   190     u32   index entries      4         (5: at 192)
//   194     u32   data blocks        4         (5: at 196)
//   198     u8    blockbyte_flag     4         (5: at 182); 1: 4-byte block numbers, else 2
//
// Version 2 has no os byte; it is taken as 0, so a version 2 dictionary is never BOCU-1.
#include "core/data_util.h"
#include "core/lexor.h"
#include "platform/log.h"

namespace lexor {
namespace {

constexpr int32_t kMajorMask = 0x7F00;
constexpr int32_t kVersion2 = 0x0200;
constexpr int32_t kVersion3 = 0x0300;
constexpr int32_t kVersion4 = 0x0400;
constexpr int32_t kVersion5 = 0x0500;
constexpr int32_t kVersion3BlockSizeUnit = 16;

constexpr uint32_t kDictypeBocuBit = 0x08;
constexpr uint32_t kOsBocuBit = 0x20;
constexpr uint32_t kFourByteBlockNumbers = 1;

// Offsets of the header block.
constexpr size_t kVersionAt = 140;
constexpr size_t kLwordAt = 142;
constexpr size_t kLjapaAt = 144;
constexpr size_t kBlockSizeAt = 146;
constexpr size_t kIndexBlocksAt = 148;
constexpr size_t kHeaderSizeAt = 150;
constexpr size_t kNwordAt = 160;
constexpr size_t kDicorderAt = 164;
constexpr size_t kDictypeAt = 165;
constexpr size_t kAttrlenAt = 166;

struct ShortCountOffsets {  // versions 2 and 3
  size_t indexSize = 152, emptyBlockAt = 154, indexEntries = 156, dataBlocks = 158;
};
struct LongCountOffsets {  // versions 4 and 5
  size_t olenumber, os, extheaderSize, emptyBlockAt, indexEntries, dataBlocks, blockbyteFlag;
};
constexpr LongCountOffsets kVersion4Offsets{167, 171, 182, 186, 190, 194, 198};
constexpr LongCountOffsets kVersion5Offsets{168, 167, 184, 188, 192, 196, 182};
constexpr size_t kVersion3OlenumberAt = 167;
constexpr size_t kVersion3OsAt = 171;

// 32-bit products that wrap, as the header's sizes are defined, without signed overflow.
int32_t wrappingProduct(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace

std::shared_ptr<Lexor> Lexor::withHeaderBlock(const std::array<uint8_t, kHeaderBlockSize>& block,
                                              bool verbose) {
  std::shared_ptr<Lexor> dic(new Lexor());
  dic->_headerblock = block;
  dic->loadHeader(verbose);
  return dic;
}

void Lexor::loadHeader(bool verbose) {
  const uint8_t* h = _headerblock.data();

  _headerSize = static_cast<uint32_t>(getShortAt(h + kHeaderSizeAt));
  _extheaderSize = 0;
  _version = static_cast<int16_t>(getShortAt(h + kVersionAt));
  const int32_t major = _version & kMajorMask;
  _headerStatus = LexorStatus::kUnknownVersion;
  if (major < kVersion2 || major > kVersion5) return;
  _headerStatus = LexorStatus::kOk;

  const int32_t lword = getShortAt(h + kLwordAt);
  const int32_t ljapa = getShortAt(h + kLjapaAt);
  int32_t blockSize = getShortAt(h + kBlockSizeAt);
  if (major == kVersion3) blockSize *= kVersion3BlockSizeUnit;
  _indexBlocks = getShortAt(h + kIndexBlocksAt);

  if (major < kVersion4) {
    constexpr ShortCountOffsets at{};
    _indexSize = static_cast<uint32_t>(getShortAt(h + at.indexSize));
    _emptyBlockAt = static_cast<uint32_t>(getShortAt(h + at.emptyBlockAt));
    _nIndexEntry = getShortAt(h + at.indexEntries);
    _dataBlocks = getShortAt(h + at.dataBlocks);
    _blockbyte = 2;
  } else {
    _indexSize = static_cast<uint32_t>(wrappingProduct(blockSize, _indexBlocks));
  }

  _nWord = getLongAt(h + kNwordAt);
  const uint32_t dicorder = getByteAt(h + kDicorderAt);
  const uint32_t dictype = getByteAt(h + kDictypeAt);
  const uint32_t attrlen = getByteAt(h + kAttrlenAt);

  int32_t olenumber = 0;
  uint32_t os = 0;  // version 2 has none
  if (major == kVersion3) {
    olenumber = getLongAt(h + kVersion3OlenumberAt);
    os = getByteAt(h + kVersion3OsAt);
  } else if (major >= kVersion4) {
    const LongCountOffsets& at = major == kVersion4 ? kVersion4Offsets : kVersion5Offsets;
    olenumber = getLongAt(h + at.olenumber);
    os = getByteAt(h + at.os);
    _extheaderSize = getULongAt(h + at.extheaderSize);
    _emptyBlockAt = getULongAt(h + at.emptyBlockAt);
    _nIndexEntry = getLongAt(h + at.indexEntries);
    _dataBlocks = getLongAt(h + at.dataBlocks);
    _blockbyte = getByteAt(h + at.blockbyteFlag) == kFourByteBlockNumbers ? 4 : 2;
  }
  _dataSize = static_cast<uint32_t>(wrappingProduct(blockSize, _dataBlocks));
  _isBOCU = (dictype & kDictypeBocuBit) != 0 && (os & kOsBocuBit) != 0;

  if (!verbose) return;
  // The log passes the 32-bit values as printf's %d and %x read them.
  logFormat(": version      = 0x%x\n", static_cast<unsigned>(static_cast<int32_t>(_version)));
  logFormat(": lword        = %d\n", lword);
  logFormat(": ljapa        = %d\n", ljapa);
  logFormat(": block_size   = %d\n", blockSize);
  logFormat("/ header         = %d bytes\n", static_cast<int>(_headerSize));
  if (major >= kVersion4)
    logFormat("/ ext. header    = %d bytes\n", static_cast<int>(_extheaderSize));
  logFormat("/ index          = %d bytes (%d blocks), %d entries\n", static_cast<int>(_indexSize),
            _indexBlocks, _nIndexEntry);
  logFormat("/ data           = %d bytes (%d blocks), %d words\n", static_cast<int>(_dataSize),
            _dataBlocks, _nWord);
  logFormat(": empty_block_at = # %x\n", static_cast<unsigned>(_emptyBlockAt));
  logFormat(": nword        = %d\n", _nWord);
  logFormat(": dicorder     = %d\n", static_cast<int>(dicorder));
  logFormat(": dictype      = 0x%x\n", static_cast<unsigned>(dictype));
  logFormat(": attrlen      = %d\n", static_cast<int>(attrlen));
  logFormat(": os           = 0x%x\n", static_cast<unsigned>(os));
  logFormat(": isBOCU       = %s\n", _isBOCU ? "TRUE" : "FALSE");
  if (major >= kVersion3) logFormat(": olenumber    = %d\n", olenumber);
  if (major >= kVersion4) logFormat(": blockbyte    = %d\n", _blockbyte);
}

}  // namespace lexor
