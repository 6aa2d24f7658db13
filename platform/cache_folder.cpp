#include "platform/cache_folder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/digest.h"

namespace lexor {
namespace {

constexpr const char* kTemporaryMark = ".tmp.";
constexpr time_t kStaleSeconds = 60 * 60;
constexpr int kNameAttempts = 64;
// What a database leaves beside a file it writes, removed with the temporary.
constexpr const char* kDatabaseLeftovers[] = {"-journal", "-wal", "-shm"};

uint64_t randomWord() {
  uint64_t word = 0;
  if (getrandom(&word, sizeof word, 0) == static_cast<ssize_t>(sizeof word)) return word;
  // No entropy source: the name is still created exclusively, only less hard to guess.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return digestBytes(&now, sizeof now, static_cast<uint64_t>(getpid()));
}

}  // namespace

std::string cacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return std::string(cache) + "/lexorpeek";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.cache/lexorpeek";
}

bool ensureCacheFolder(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  // Parents first, each made 0700 as well when missing.
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !ensureCacheFolder(folder.substr(0, slash)))
    return false;
  if (mkdir(folder.c_str(), 0700) == 0) return true;
  return errno == EEXIST && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isCacheTemporaryName(const std::string& name) {
  return name.find(kTemporaryMark) != std::string::npos;
}

void removeStaleTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = time(nullptr);
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (!isCacheTemporaryName(name)) continue;
    struct stat info;
    // lstat: a link is judged, and removed, as itself.
    if (fstatat(dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (now - info.st_mtim.tv_sec > kStaleSeconds) unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

std::unique_ptr<CacheTemporary> CacheTemporary::create(const std::string& finalPath) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string path = finalPath + kTemporaryMark + digestHex(randomWord());
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return std::unique_ptr<CacheTemporary>(new CacheTemporary(fd, path, finalPath));
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

CacheTemporary::~CacheTemporary() {
  if (!_done) discard();
  if (_fd >= 0) close(_fd);
}

void CacheTemporary::discard() {
  unlink(_path.c_str());
  for (const char* leftover : kDatabaseLeftovers) unlink((_path + leftover).c_str());
  _done = true;
}

bool CacheTemporary::write(const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(_fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CacheTemporary::commit() {
  if (_done) return false;
  if (fsync(_fd) != 0 || std::rename(_path.c_str(), _finalPath.c_str()) != 0) {
    discard();
    return false;
  }
  for (const char* leftover : kDatabaseLeftovers) unlink((_path + leftover).c_str());
  _done = true;
  return true;
}

}  // namespace lexor
