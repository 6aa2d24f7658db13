#include "search/head_word_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/cache_folder.h"
#include "platform/digest.h"

namespace lexor {
namespace {

constexpr uint64_t kMagic = 0x3153445257584C4CULL;  // "LLXWRDS1" read as a little-endian word
// Bumped whenever the layout or what a part holds changes: older files are built again.
constexpr uint64_t kVersion = 1;
constexpr size_t kPartCount = 6;
constexpr size_t kAlignment = 8;
static_assert(kFieldCount * sizeof(uint64_t) <= kHeadWordFileHeaderBytes);

using Header = std::array<uint64_t, kHeadWordFileHeaderBytes / sizeof(uint64_t)>;

uint64_t checksumOf(const Header& header) { return headWordFileChecksum(header.data()); }

// A part's bytes as written.
struct PartBytes {
  const void* data;
  size_t size;
};

std::array<PartBytes, kPartCount> partsOf(const HeadWordTable::Parts& parts) {
  return {{{parts.arena.data(), parts.arena.size()},
           {parts.entries.data(), parts.entries.size_bytes()},
           {parts.order.data(), parts.order.size_bytes()},
           {parts.gramKeys.data(), parts.gramKeys.size_bytes()},
           {parts.gramStarts.data(), parts.gramStarts.size_bytes()},
           {parts.postings.data(), parts.postings.size_bytes()}}};
}

void putKey(Header& header, const HeadWordFileKey& key) {
  header[kFieldDictionarySize] = key.identity.size;
  header[kFieldModified] = static_cast<uint64_t>(key.identity.mtimeNanoseconds);
  header[kFieldChanged] = static_cast<uint64_t>(key.identity.ctimeNanoseconds);
  header[kFieldInode] = key.identity.inode;
  header[kFieldDevice] = key.identity.device;
  header[kFieldContentDigest] = key.contentDigest;
  header[kFieldPathDigest] = key.pathDigest;
}

struct Mapping {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  ~Mapping() {
    if (bytes) munmap(const_cast<uint8_t*>(bytes), size);
  }
};

// The part's span when [offset, offset + length) lies in the mapping after the header, aligned,
// and holds whole elements; an empty span with ok false otherwise.
template <typename T>
std::span<const T> partAt(const Mapping& map, const Header& header, size_t part, bool* ok) {
  const uint64_t offset = header[kFieldParts + 2 * part];
  const uint64_t length = header[kFieldParts + 2 * part + 1];
  if (offset < kHeadWordFileHeaderBytes || offset % kAlignment != 0 || offset > map.size ||
      length > map.size - offset || length % sizeof(T) != 0) {
    *ok = false;
    return {};
  }
  return {reinterpret_cast<const T*>(map.bytes + offset), static_cast<size_t>(length / sizeof(T))};
}

}  // namespace

uint64_t headWordFileChecksum(const uint64_t* header) {
  return digestBytes(header, kFieldChecksum * sizeof(uint64_t));
}

std::shared_ptr<const HeadWordTable> mapHeadWordFile(const std::string& file,
                                                     const HeadWordFileKey& key) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info;
  auto map = std::make_shared<Mapping>();
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) >= kHeadWordFileHeaderBytes) {
    map->size = static_cast<size_t>(info.st_size);
    void* at = mmap(nullptr, map->size, PROT_READ, MAP_SHARED, fd, 0);
    map->bytes = at == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(at);
  }
  close(fd);
  if (!map->bytes) return nullptr;

  Header header;
  std::memcpy(header.data(), map->bytes, sizeof header);
  Header expected{};
  putKey(expected, key);
  if (header[kFieldMagic] != kMagic || header[kFieldVersion] != kVersion ||
      header[kFieldHeaderBytes] != kHeadWordFileHeaderBytes ||
      header[kFieldChecksum] != checksumOf(header))
    return nullptr;
  for (size_t field = kFieldDictionarySize; field <= kFieldPathDigest; ++field) {
    if (header[field] != expected[field]) return nullptr;
  }
  bool ok = true;
  HeadWordTable::Parts parts;
  const auto arena = partAt<char>(*map, header, 0, &ok);
  parts.arena = std::string_view(arena.data(), arena.size());
  parts.entries = partAt<HeadWordTable::Entry>(*map, header, 1, &ok);
  parts.order = partAt<uint32_t>(*map, header, 2, &ok);
  parts.gramKeys = partAt<uint64_t>(*map, header, 3, &ok);
  parts.gramStarts = partAt<uint32_t>(*map, header, 4, &ok);
  parts.postings = partAt<uint32_t>(*map, header, 5, &ok);
  parts.storedUtf8Bytes = header[kFieldStoredBytes];
  parts.undecodable = header[kFieldUndecodable];
  if (!ok || parts.entries.size() != header[kFieldEntries] + 1) return nullptr;
  return HeadWordTable::over(parts, std::move(map), 0);
}

bool writeHeadWordFile(const std::string& file, const HeadWordFileKey& key,
                       const HeadWordTable& table) {
  const std::string folder = file.substr(0, file.find_last_of('/'));
  removeStaleTemporaries(folder);
  std::unique_ptr<CacheTemporary> temporary = CacheTemporary::create(file);
  if (!temporary) return false;

  const std::array<PartBytes, kPartCount> parts = partsOf(table.parts());
  Header header{};
  header[kFieldMagic] = kMagic;
  header[kFieldVersion] = kVersion;
  header[kFieldHeaderBytes] = kHeadWordFileHeaderBytes;
  putKey(header, key);
  header[kFieldEntries] = table.size();
  header[kFieldStoredBytes] = table.storedUtf8Bytes();
  header[kFieldUndecodable] = table.undecodable();
  uint64_t offset = kHeadWordFileHeaderBytes;
  for (size_t part = 0; part < kPartCount; ++part) {
    header[kFieldParts + 2 * part] = offset;
    header[kFieldParts + 2 * part + 1] = parts[part].size;
    offset += (parts[part].size + kAlignment - 1) / kAlignment * kAlignment;
  }
  header[kFieldChecksum] = checksumOf(header);

  static constexpr char kPad[kAlignment] = {};
  if (!temporary->write(header.data(), sizeof header)) return false;
  for (const PartBytes& part : parts) {
    if ((part.size > 0 && !temporary->write(part.data, part.size)) ||
        !temporary->write(kPad, (kAlignment - part.size % kAlignment) % kAlignment))
      return false;
  }
  return temporary->commit();
}

}  // namespace lexor
