#include "platform/file_handle.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <string>

#include "platform/path.h"
#include "platform/recent_list.h"

namespace lexor {

namespace {

FileIdentity identityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<uint64_t>(info.st_size);
  identity.mtimeNanoseconds =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  identity.ctimeNanoseconds =
      static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
  return identity;
}

// Most recently used first. A handle handed out stays open while its user holds it, even when the
// cache has dropped it meanwhile.
class OpenFileCache {
 public:
  using Entry = std::pair<std::string, std::shared_ptr<const FileHandle>>;

  std::shared_ptr<const FileHandle> open(UStringView path, const FileIdentity* expected,
                                         FileAccess* access) {
    const std::string native = toNativePath(path);
    // The file now at the path decides: a cached handle of the file that was there is not it.
    struct stat info;
    if (native.empty() || native.find('\0') != std::string::npos ||
        stat(native.c_str(), &info) != 0) {
      *access = expected ? FileAccess::kChanged : FileAccess::kCannotOpen;
      return nullptr;
    }
    const FileIdentity now = identityOf(info);
    if (expected && now != *expected) {
      *access = FileAccess::kChanged;
      return nullptr;
    }
    if (std::optional<std::shared_ptr<const FileHandle>> cached = _entries.find(
            [&](const Entry& entry) {
              return entry.first == native && entry.second->identity() == now;
            },
            [](const Entry& entry) { return entry.second; })) {
      *access = FileAccess::kOpen;
      return *cached;
    }
    std::shared_ptr<const FileHandle> handle = FileHandle::openForReading(path);
    if (!handle) {
      *access = expected ? FileAccess::kChanged : FileAccess::kCannotOpen;
      return nullptr;
    }
    if (expected && handle->identity() != *expected) {  // replaced between the stat and the open
      *access = FileAccess::kChanged;
      return nullptr;
    }
    _entries.add(Entry(native, handle), [&](const Entry& entry) { return entry.first == native; });
    *access = FileAccess::kOpen;
    return handle;
  }

  void clear() { _entries.clear(); }
  size_t size() { return _entries.size(); }

 private:
  RecentList<Entry> _entries{kOpenFileLimit};
};

OpenFileCache& openFileCache() {
  static OpenFileCache* cache = new OpenFileCache();  // never destroyed: usable during teardown
  return *cache;
}

}  // namespace

std::optional<FileIdentity> identityOfFile(const std::string& nativePath) {
  struct stat info;
  if (nativePath.empty() || nativePath.find('\0') != std::string::npos ||
      stat(nativePath.c_str(), &info) != 0)
    return std::nullopt;
  return identityOf(info);
}

std::shared_ptr<const FileHandle> openCachedFile(UStringView path, const FileIdentity* expected,
                                                 FileAccess* access) {
  return openFileCache().open(path, expected, access);
}

void closeCachedFiles() { openFileCache().clear(); }
size_t cachedFileCount() { return openFileCache().size(); }

std::unique_ptr<FileHandle> FileHandle::openForReading(UStringView path) {
  const std::string native = toNativePath(path);
  if (native.empty() || native.find('\0') != std::string::npos) return nullptr;
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused just below. It has no
  // effect on reads of regular files.
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info;
  // Only regular files: a folder cannot be read, and devices or FIFOs have no size to trust.
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<FileHandle>(new FileHandle(fd, identityOf(info)));
}

FileHandle::~FileHandle() { close(_fd); }

size_t FileHandle::readAt(uint64_t offset, void* buffer, size_t n) const {
  if (buffer == nullptr || n == 0) return 0;
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kMaxOffset) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    if (kMaxOffset - offset < done) break;
    const ssize_t got = pread(_fd, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      // A read that fails part-way gives nothing, so no caller works with half a block it
      // believes complete.
      return 0;
    }
    if (got == 0) break;  // end of the file
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace lexor
