// Decoding of the header block: the first 256 bytes of a dictionary file. The offsets and widths
// of its fields, version by version: core/lexor_format.h.
#include "core/data_util.h"
#include "core/lexor.h"
#include "core/lexor_format.h"
#include "platform/log.h"

namespace lexor {
namespace {

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
    const ShortCountOffsets& at = kShortCountOffsets;
    _indexSize = static_cast<uint32_t>(getShortAt(h + at.indexSize));
    _emptyBlockAt = static_cast<uint32_t>(getShortAt(h + at.emptyBlockAt));
    _nIndexEntry = getShortAt(h + at.indexEntries);
    _dataBlocks = getShortAt(h + at.dataBlocks);
    _blockbyte = kNarrowBlockNumberBytes;
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
    _blockbyte = getByteAt(h + at.blockbyteFlag) == kFourByteBlockNumbers ? kWideBlockNumberBytes
                                                                          : kNarrowBlockNumberBytes;
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
