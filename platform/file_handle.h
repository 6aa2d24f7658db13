// A file open for reading, with positioned reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ustring.h"

namespace lexor {

// What makes two opens of one path "the same file as before": device, inode, size, modification
// time and change time. The change time moves with every write and every change of the times, so
// a file rewritten in place whose modification time was put back still differs.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtimeNanoseconds = 0;
  int64_t ctimeNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at a native path, following links; std::nullopt when nothing is there.
std::optional<FileIdentity> identityOfFile(const std::string& nativePath);

class FileHandle {
 public:
  // nullptr when the file cannot be opened for reading (or is a folder).
  static std::unique_ptr<FileHandle> openForReading(UStringView path);
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Reads up to n bytes at the absolute offset; fewer at the end of the file. Returns the number
  // of bytes read (0 on error or at the end).
  size_t readAt(uint64_t offset, void* buffer, size_t n) const;

  uint64_t size() const { return _identity.size; }
  const FileIdentity& identity() const { return _identity; }

 private:
  FileHandle(int fd, FileIdentity identity) : _fd(fd), _identity(identity) {}
  int _fd;
  FileIdentity _identity;
};

// Files read now and then by many long-lived readers (a list of thousands of dictionaries) are
// reached through one process-wide cache of at most kOpenFileLimit open handles, so that the
// number of open descriptors never grows with the number of readers.
inline constexpr size_t kOpenFileLimit = 16;

enum class FileAccess { kOpen, kCannotOpen, kChanged };

// The file at `path`. With `expected`, only while the file there is still that file (device,
// inode, size and modification time): kChanged, with nullptr, once it has been replaced or
// rewritten. Without it, whatever file is there now.
std::shared_ptr<const FileHandle> openCachedFile(UStringView path, const FileIdentity* expected,
                                                 FileAccess* access);
// Closes every cached handle (handles still in use stay open until released).
void closeCachedFiles();
size_t cachedFileCount();

}  // namespace lexor
