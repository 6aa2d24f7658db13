// Opening a dictionary file and loading its data blocks. The file's layout: core/lexor_format.h.
#include "core/lexor.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/data_util.h"
#include "core/entry_layout.h"
#include "core/lexor_index.h"
#include "platform/log.h"

namespace lexor {
namespace {

constexpr size_t kHeadWordSize = kBlockHeadWordSize;
constexpr size_t kFirstReadBytes = 4096;

}  // namespace

std::string_view describeLexorStatus(LexorStatus status) {
  switch (status) {
    case LexorStatus::kOk:
      return "usable";
    case LexorStatus::kCannotOpen:
      return "cannot be opened for reading";
    case LexorStatus::kEmptyFile:
      return "empty file";
    case LexorStatus::kShortHeader:
      return "shorter than its header block";
    case LexorStatus::kUnknownVersion:
      return "unknown header version";
    case LexorStatus::kIndexPastEnd:
      return "index past the end of the file";
    case LexorStatus::kNoIndexEntry:
      return "no readable index entry";
    case LexorStatus::kDataPastEnd:
      return "data past the end of the file";
    case LexorStatus::kNoSuchBlock:
      return "no such block";
    case LexorStatus::kBlockPastEnd:
      return "block past the end of the file";
    case LexorStatus::kEmptyBlock:
      return "block of no units";
    case LexorStatus::kFileChanged:
      return "file changed since it was opened";
  }
  return "unknown";
}

std::shared_ptr<Lexor> Lexor::initWithFilePath(const UString& path, LexorStatus* status) {
  std::shared_ptr<Lexor> dic(new Lexor());
  dic->_dict_path = path;
  dic->_dicSignature = getDicSignatureFromPath(std::optional<UStringView>(path));
  FileAccess access;
  const std::shared_ptr<const FileHandle> fh = openCachedFile(path, nullptr, &access);
  if (!fh) {
    logFormat("cannot get filehandle for path %s\n", toUtf8(path).c_str());
    if (status) *status = LexorStatus::kCannotOpen;
    return nullptr;
  }
  dic->_hasFile = true;
  dic->_identity = fh->identity();
  // A file shorter than the header block leaves zeros where it ends.
  fh->readAt(0, dic->_headerblock.data(), dic->_headerblock.size());
  dic->loadHeader(false);
  if (status) *status = LexorStatus::kOk;
  return dic;
}

Lexor::~Lexor() = default;

std::shared_ptr<const FileHandle> Lexor::file(LexorStatus* status) const {
  FileAccess access;
  std::shared_ptr<const FileHandle> fh = openCachedFile(_dict_path, &_identity, &access);
  if (!fh) *status = LexorStatus::kFileChanged;
  return fh;
}

LexorStatus Lexor::usability() {
  if (!_hasFile) return LexorStatus::kCannotOpen;
  if (fileSize() == 0) return LexorStatus::kEmptyFile;
  if (fileSize() < kHeaderBlockSize) return LexorStatus::kShortHeader;
  if (_headerStatus != LexorStatus::kOk) return _headerStatus;
  if (indexStart() >= fileSize()) return LexorStatus::kIndexPastEnd;
  if (dataStart() >= fileSize()) return LexorStatus::kDataPastEnd;
  if (_index) return hasIndexEntry(0) ? LexorStatus::kOk : LexorStatus::kNoIndexEntry;
  // The first entry alone: a block number, a word of at least one byte and its NUL.
  LexorStatus status = LexorStatus::kOk;
  const std::shared_ptr<const FileHandle> fh = file(&status);
  if (!fh) return status;
  const size_t width =
      _blockbyte == kWideBlockNumberBytes ? kWideBlockNumberBytes : kNarrowBlockNumberBytes;
  std::array<uint8_t, kMaxIndexEntryProbe> entry{};
  const size_t want = static_cast<size_t>(
      std::min<uint64_t>({entry.size(), _indexSize, fileSize() - indexStart()}));
  const size_t got = fh->readAt(indexStart(), entry.data(), want);
  const uint8_t* word = entry.data() + width;
  if (_nIndexEntry <= 0 || got < width + 2 || word[0] == 0 ||
      std::memchr(word, 0, got - width) == nullptr) {
    return LexorStatus::kNoIndexEntry;
  }
  return LexorStatus::kOk;
}

uint64_t Lexor::indexStart() const { return uint64_t{_headerSize} + _extheaderSize; }

uint64_t Lexor::dataStart() const { return indexStart() + _indexSize; }

uint32_t Lexor::blockUnits(int32_t n) {
  if (n < 0 || n >= _nIndexEntry || !_hasFile) return 0;
  if (!hasIndexEntry(static_cast<uint32_t>(n))) return 0;
  const uint64_t offset = dataStart() + indexBlockNumber(static_cast<uint32_t>(n)) * kBlockUnit;
  LexorStatus status = LexorStatus::kOk;
  const std::shared_ptr<const FileHandle> fh = file(&status);
  uint8_t head[kHeadWordSize];
  if (!fh || offset > fh->size() || fh->readAt(offset, head, sizeof head) != sizeof head) return 0;
  return getUShortAt(head) & kBlockUnitsMask;
}

LexorStatus Lexor::readDatablock(int32_t n, std::vector<uint8_t>& block) {
  block.clear();  // keeps the storage for the next block
  if (n < 0 || n >= _nIndexEntry) return LexorStatus::kNoSuchBlock;
  if (!_hasFile) {
    logFormat("loadDatablock: fh = nil.\n");
    return LexorStatus::kCannotOpen;
  }
  // Only entries actually found in the index have a block number.
  if (!hasIndexEntry(static_cast<uint32_t>(n))) return LexorStatus::kNoSuchBlock;
  return readBlockAt(indexBlockNumber(static_cast<uint32_t>(n)), block);
}

LexorStatus Lexor::readBlockAt(uint32_t blockNumber, std::vector<uint8_t>& block) {
  block.clear();
  if (!_hasFile) return LexorStatus::kCannotOpen;
  // A file that changed since its index was read may hold anything where a block was: nothing is
  // read from it until the dictionary is opened again.
  LexorStatus status = LexorStatus::kOk;
  const std::shared_ptr<const FileHandle> fh = file(&status);
  if (!fh) return status;

  // 64-bit offsets: data past 4 GiB is reachable, and a huge block number cannot wrap onto
  // other data.
  const uint64_t offset = dataStart() + uint64_t{blockNumber} * kBlockUnit;
  const uint64_t fileSize = fh->size();
  if (offset > fileSize || fileSize - offset < kHeadWordSize) return LexorStatus::kBlockPastEnd;

  // One read usually brings the whole block with its head word, since most blocks are a few
  // units long; only a longer block needs a second read for the rest. The first read lands on
  // the stack, so that nothing is allocated before the head word has been checked.
  const uint64_t available = fileSize - offset;
  uint8_t first[kFirstReadBytes];
  const size_t got = fh->readAt(offset, first, std::min<uint64_t>(sizeof first, available));
  if (got < kHeadWordSize) return LexorStatus::kBlockPastEnd;
  const uint64_t size = (getUShortAt(first) & kBlockUnitsMask) * kBlockUnit;
  // A block of no units cannot even hold its head word, and one that reaches past the end of the
  // file would have to be made up: both are refused, so that a block handed out always has every
  // byte its head word promises, and nothing is allocated beyond what the file holds.
  if (size == 0) return LexorStatus::kEmptyBlock;
  if (available < size) return LexorStatus::kBlockPastEnd;

  block.resize(static_cast<size_t>(size));
  const size_t copied = std::min(got, block.size());
  std::copy(first, first + copied, block.begin());
  const size_t rest = block.size() - copied;
  if (rest > 0 && fh->readAt(offset + copied, block.data() + copied, rest) != rest) {
    block.clear();  // the file has shrunk since it was opened
    return LexorStatus::kFileChanged;
  }
  return LexorStatus::kOk;
}

}  // namespace lexor
