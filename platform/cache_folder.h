// The user's cache folder and the safe way to put a file into it. The folder is the user's alone
// (made mode 0700), and every cache file is written under a fresh, unguessable name created
// empty and exclusively (no link planted there is ever written through), filled, synced and then
// renamed over its final name, so that a reader only ever sees a whole file and a file mapped by
// a reader is never rewritten under it.
#pragma once

#include <memory>
#include <string>

namespace lexor {

// $XDG_CACHE_HOME/lexorpeek when XDG_CACHE_HOME is an absolute path, else ~/.cache/lexorpeek.
std::string cacheFolder();

// Makes the folder (and missing parents) mode 0700; a folder already there keeps its mode. False
// when there is no folder at the path afterwards.
bool ensureCacheFolder(const std::string& folder);

// Removes the temporaries in the folder that were last written over an hour ago: what a killed
// build left behind. A build still running rewrites its temporary far more often.
void removeStaleTemporaries(const std::string& folder);

// Whether a file name in the cache folder is one of the temporaries below.
bool isCacheTemporaryName(const std::string& name);

class CacheTemporary {
 public:
  // A new empty file beside `finalPath`, named `<final name>.tmp.<random>`, created with
  // O_CREAT | O_EXCL | O_NOFOLLOW and mode 0600; nullptr when none can be made.
  static std::unique_ptr<CacheTemporary> create(const std::string& finalPath);
  // Removes the temporary, and any journal a database left beside it, unless it was committed.
  ~CacheTemporary();
  CacheTemporary(const CacheTemporary&) = delete;
  CacheTemporary& operator=(const CacheTemporary&) = delete;

  int descriptor() const { return _fd; }
  const std::string& path() const { return _path; }
  // Writes all the bytes at the current position; false on any failure (a full disk).
  bool write(const void* data, size_t size);
  // Syncs the file and renames it over the final path; false (the temporary removed) on failure.
  bool commit();

 private:
  CacheTemporary(int fd, std::string path, std::string finalPath)
      : _fd(fd), _path(std::move(path)), _finalPath(std::move(finalPath)) {}
  void discard();

  int _fd;
  std::string _path;
  std::string _finalPath;
  bool _done = false;
};

}  // namespace lexor
