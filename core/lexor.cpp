// Opening a dictionary file and loading its data blocks.
//
// File areas, from the start of the file:
//   header block   256 bytes at 0 (the header area is header size bytes long)
//   ext. header    ext. header size bytes (versions 4 and 5)
//   index          index size bytes at header size + ext. header size
//   data           the rest, in 256-byte units; block b starts b x 256 bytes into it
//
// A data block:
//   head word  u16   bits 0-14: length of the block in 256-byte units, the head word included;
//                    bit 15: the entries' field lengths are 4 bytes wide (else 2)
//   entries    ...   read by the recordset
#include "core/lexor.h"

#include <algorithm>
#include <optional>

#include "core/data_util.h"
#include "core/entry_layout.h"
#include "core/lexor_index.h"
#include "platform/log.h"

namespace lexor {
namespace {

constexpr size_t kHeadWordSize = 2;
constexpr size_t kFirstReadBytes = 4096;

}  // namespace

std::shared_ptr<Lexor> Lexor::initWithFilePath(const UString& path) {
  std::shared_ptr<Lexor> dic(new Lexor());
  dic->_dict_path = path;
  dic->_dicSignature = getDicSignatureFromPath(std::optional<UStringView>(path));
  dic->_fh = FileHandle::openForReading(path);
  if (!dic->_fh) {
    logFormat("cannot get filehandle for path %s\n", toUtf8(path).c_str());
    return nullptr;
  }
  // A file shorter than the header block leaves zeros where it ends.
  dic->_fh->readAt(0, dic->_headerblock.data(), dic->_headerblock.size());
  dic->loadHeader(false);
  return dic;
}

Lexor::~Lexor() = default;

uint64_t Lexor::indexStart() const { return uint64_t{_headerSize} + _extheaderSize; }

uint64_t Lexor::dataStart() const { return indexStart() + _indexSize; }

uint32_t Lexor::blockUnits(int32_t n) {
  if (n < 0 || n >= _nIndexEntry || !_fh) return 0;
  if (static_cast<uint32_t>(n) >= usableIndexEntries()) return 0;
  const uint64_t offset = dataStart() + indexBlockNumber(static_cast<uint32_t>(n)) * kBlockUnit;
  uint8_t head[kHeadWordSize];
  if (offset > _fh->size() || _fh->readAt(offset, head, sizeof head) != sizeof head) return 0;
  return getUShortAt(head) & kBlockUnitsMask;
}

bool Lexor::loadDatablock(int32_t n, std::vector<uint8_t>& block) {
  block.clear();  // keeps the storage for the next block
  if (n < 0 || n >= _nIndexEntry) return false;
  if (!_fh) {
    logFormat("loadDatablock: fh = nil.\n");
    return false;
  }
  // Only entries actually found in the index have a block number.
  if (static_cast<uint32_t>(n) >= usableIndexEntries()) return false;

  // 64-bit offsets: data past 4 GiB is reachable, and a huge block number cannot wrap onto
  // other data.
  const uint64_t offset = dataStart() + indexBlockNumber(static_cast<uint32_t>(n)) * kBlockUnit;
  const uint64_t fileSize = _fh->size();
  if (offset > fileSize || fileSize - offset < kHeadWordSize) return false;

  // One read usually brings the whole block with its head word, since most blocks are a few
  // units long; only a longer block needs a second read for the rest. The first read lands on
  // the stack, so that nothing is allocated before the head word has been checked.
  const uint64_t available = fileSize - offset;
  uint8_t first[kFirstReadBytes];
  const size_t got = _fh->readAt(offset, first, std::min<uint64_t>(sizeof first, available));
  if (got < kHeadWordSize) return false;
  const uint64_t size = (getUShortAt(first) & kBlockUnitsMask) * kBlockUnit;
  // A block of no units cannot even hold its head word, and one that reaches past the end of the
  // file would have to be made up: both are refused, so that a block handed out always has every
  // byte its head word promises, and nothing is allocated beyond what the file holds.
  if (size == 0 || available < size) return false;

  block.resize(static_cast<size_t>(size));
  const size_t copied = std::min(got, block.size());
  std::copy(first, first + copied, block.begin());
  const size_t rest = block.size() - copied;
  if (rest > 0 && _fh->readAt(offset + copied, block.data() + copied, rest) != rest) {
    block.clear();  // the file has shrunk since it was opened
    return false;
  }
  return true;
}

}  // namespace lexor
