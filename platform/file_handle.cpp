#include "platform/file_handle.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <string>

#include "platform/path.h"

namespace lexor {

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
  FileIdentity identity;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<uint64_t>(info.st_size);
  identity.mtimeNanoseconds =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return std::unique_ptr<FileHandle>(new FileHandle(fd, identity));
}

FileHandle::~FileHandle() { close(fd_); }

size_t FileHandle::readAt(uint64_t offset, void* buffer, size_t n) const {
  if (buffer == nullptr || n == 0) return 0;
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kMaxOffset) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    if (kMaxOffset - offset < done) break;
    const ssize_t got = pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
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
