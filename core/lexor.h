// One open Lexor dictionary file: its header block, its index of block-leading words, the index
// look-up of a word, and the loading of data blocks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "core/dic_identity.h"
#include "core/lexor_format.h"
#include "platform/file_handle.h"
#include "platform/ustring.h"

namespace lexor {

// A run of index entries; location may be 0xFFFFFFFF ("before the first entry").
struct IndexRange {
  uint32_t location = 0;
  uint32_t length = 0;
  bool operator==(const IndexRange&) const = default;
};

// Storage whose elements are left uninitialised when it grows: the index bytes are overwritten by
// the read at once, and zeroing a megabyte first would cost a third of the read itself.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};
using IndexBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// The index area as read, with the position of each usable entry's word in it. Immutable once
// built, so opens of an unchanged file can share it.
struct LexorIndex {
  IndexBytes bytes;                   // the index area, NUL-padded by one byte
  std::vector<uint32_t> wordOffsets;  // offset in `bytes` of entry i's word
  int32_t blockbyte = 2;              // width of the block number before each word
  // The words stand in ascending byte order, as a sound file has them; only then may a look-up
  // search instead of scanning.
  bool sorted = true;
};

// The index of one unchanged file as every open of it shares it: the bytes as read, and the entry
// table, built once on first need. The first look-up of all needs no table: one pass over the
// bytes answers it (see Lexor::lookupIndex), so a process that makes one look-up never builds it.
class SharedIndex {
 public:
  SharedIndex(IndexBytes bytes, int32_t nIndexEntry, int32_t blockbyte);
  // The bytes read, NUL-padded by one byte past size().
  const uint8_t* bytes() const { return _index.bytes.data(); }
  size_t size() const { return _size; }
  int32_t claimedEntries() const { return _claimed; }
  int32_t blockbyte() const { return _index.blockbyte; }
  // The table, built on the first call (by whichever thread comes first).
  const LexorIndex& table() const;
  bool hasTable() const { return _built.load(std::memory_order_acquire); }
  // True for the first caller only.
  bool takeFirstLookup() const { return !_lookedUp.exchange(true); }

 private:
  mutable LexorIndex _index;  // `bytes` fixed at construction; the rest filled by table()
  size_t _size;
  int32_t _claimed;
  mutable std::once_flag _once;
  mutable std::atomic<bool> _built{false};
  mutable std::atomic<bool> _lookedUp{false};
};
// Why a dictionary, or one of its blocks, cannot be used; kOk when it can.
enum class LexorStatus : uint8_t {
  kOk,
  kCannotOpen,      // no readable regular file at the path
  kEmptyFile,       // a file of no bytes
  kShortHeader,     // shorter than the header block
  kUnknownVersion,  // the header's version is none this reader knows
  kIndexPastEnd,    // the index begins at or after the end of the file
  kNoIndexEntry,    // not even the index's first entry can be read
  kDataPastEnd,     // the data area begins at or after the end of the file
  kNoSuchBlock,     // an entry number outside the index as read
  kBlockPastEnd,    // the block, or the length its head word claims, runs past the end
  kEmptyBlock,      // a head word claiming no units, which cannot even hold itself
  kFileChanged,     // the file was replaced or rewritten since the dictionary was opened
};

// A few words on the status, for messages ("index past the end of the file").
std::string_view describeLexorStatus(LexorStatus status);

class Lexor {
 public:
  // Opens the file and decodes its header; nullptr (after the log line) when it cannot be opened,
  // with the reason in *status when asked. The file is not kept open: each read reaches it
  // through the process's small cache of open files, and only while it is unchanged.
  static std::shared_ptr<Lexor> initWithFilePath(const UString& path,
                                                 LexorStatus* status = nullptr);
  // A dictionary with no file whose header block is the given bytes (decoded at once, verbose as
  // asked); for inspecting headers.
  static std::shared_ptr<Lexor> withHeaderBlock(const std::array<uint8_t, kHeaderBlockSize>& block,
                                                bool verbose);
  ~Lexor();

  void loadHeader(bool verbose);
  // What the decoded header and the file's size allow: kOk, or why nothing can be read. Reads
  // only the index's first entry, so it costs little more than the open.
  LexorStatus usability();
  bool isBOCU() const { return _isBOCU; }
  Signature getDicSignature() const { return _dicSignature; }

  void loadIndex(bool unused);
  IndexRange lookupIndex(const uint8_t* word, const uint8_t* until);

  // Loads the whole block of index entry n (head word included) into `block`, reusing its
  // storage. False, with `block` empty, when there is no such block; the block handed out is
  // never shorter than its head word says, and at least 2 bytes long.
  bool loadDatablock(int32_t n, std::vector<uint8_t>& block) {
    return readDatablock(n, block) == LexorStatus::kOk;
  }
  // The same, saying why a block could not be loaded.
  LexorStatus readDatablock(int32_t n, std::vector<uint8_t>& block);
  // The block at a block number (in 256-byte units from the data area) that an index entry once
  // gave, with the same checks; for callers that kept the number and need not read the index.
  LexorStatus readBlockAt(uint32_t blockNumber, std::vector<uint8_t>& block);
  // The length in 256-byte units that the head word of entry n's block claims, read without
  // loading the block; 0 when there is no such block or its head word cannot be read.
  uint32_t blockUnits(int32_t n);

  // Entries of the index that were actually found (at most _nIndexEntry). Reads the index and
  // builds its entry table.
  uint32_t usableIndexEntries();
  // Whether entry n was found in the index; without building the table when the look-up's pass
  // has already seen it.
  bool hasIndexEntry(uint32_t n);
  const uint8_t* indexWord(uint32_t i) const;  // valid after loadIndex, i < usableIndexEntries()
  uint32_t indexBlockNumber(uint32_t i) const;
  // The index as read, with its entry table (null before loadIndex); opens of an unchanged file
  // share it.
  std::shared_ptr<const LexorIndex> sharedIndex() const {
    return _index ? std::shared_ptr<const LexorIndex>(_index, &_index->table()) : nullptr;
  }

  const UString& path() const { return _dict_path; }
  // The file as it was when opened.
  const FileIdentity& fileIdentity() const { return _identity; }
  // A digest of the header block and the index bytes (read now when they are not yet): with the
  // file's identity, what a cache built from this file must match.
  uint64_t contentDigest();
  int16_t version() const { return _version; }
  uint32_t headerSize() const { return _headerSize; }
  uint32_t extheaderSize() const { return _extheaderSize; }
  uint32_t indexSize() const { return _indexSize; }
  uint32_t dataSize() const { return _dataSize; }
  int32_t nWord() const { return _nWord; }
  int32_t nIndexEntry() const { return _nIndexEntry; }
  int32_t indexBlocks() const { return _indexBlocks; }
  int32_t dataBlocks() const { return _dataBlocks; }
  uint32_t emptyBlockAt() const { return _emptyBlockAt; }
  int32_t blockbyte() const { return _blockbyte; }

 private:
  Lexor() = default;
  // Where the index and the data areas begin, in 64-bit arithmetic so that no sum wraps.
  uint64_t indexStart() const;
  uint64_t dataStart() const;
  // The file as it was when opened, or nullptr (kFileChanged in *status) once it is not.
  std::shared_ptr<const FileHandle> file(LexorStatus* status) const;
  uint64_t fileSize() const { return _identity.size; }
  // The first look-up as one pass over the index bytes, noting the entries it names.
  IndexRange walkIndex(const uint8_t* word, const uint8_t* until);

  UString _dict_path;
  bool _hasFile = false;
  FileIdentity _identity;
  LexorStatus _headerStatus = LexorStatus::kOk;
  std::array<uint8_t, kHeaderBlockSize> _headerblock{};
  // The index bytes and the entry table built from them, shared by every open of the same file.
  std::shared_ptr<const SharedIndex> _index;
  // What the pass of walkIndex learnt: the offsets of the words of entries _windowFirst on, the
  // number of entries it saw, and whether it saw the index's end.
  uint32_t _windowFirst = 0;
  std::vector<uint32_t> _windowOffsets;
  uint32_t _walkedEntries = 0;
  bool _walkedToEnd = false;
  int16_t _version = 0;
  uint32_t _headerSize = 0;
  uint32_t _extheaderSize = 0;
  uint32_t _indexSize = 0;
  uint32_t _dataSize = 0;
  int32_t _nWord = 0;
  int32_t _nIndexEntry = 0;
  int32_t _indexBlocks = 0;
  int32_t _dataBlocks = 0;
  uint32_t _emptyBlockAt = 0;
  bool _isBOCU = false;
  Signature _dicSignature = 0;
  int32_t _blockbyte = 0;
};

}  // namespace lexor
