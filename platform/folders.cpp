#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/path.h"

namespace lexor {

namespace {

// A path the operating system can take: UTF-8 without an embedded NUL (which would silently cut
// it short) and not empty.
bool toSystemPath(UStringView path, std::string* native) {
  *native = toNativePath(path);
  return !native->empty() && native->find('\0') == std::string::npos;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Nesting deeper than this is taken as a file system fault (a mount loop, say) and not entered;
// it also bounds the open descriptors and the stack of the walk.
constexpr int kMaxListingDepth = 256;

struct FolderItem {
  std::string name;
  unsigned char type;  // d_type: DT_UNKNOWN when the file system does not say
  bool operator<(const FolderItem& other) const { return name < other.name; }
};

// The names in a folder other than "." and "..", in byte order, with the type the folder gives.
std::vector<FolderItem> sortedItems(DIR* dir) {
  std::vector<FolderItem> items;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    items.push_back({std::string(name), entry->d_type});
  }
  std::sort(items.begin(), items.end());
  return items;
}

// Whether `name` in the folder `parentFd` is a folder itself, a link to one not counting. The
// folder's own record of the type spares a stat call per file; only file systems that do not
// keep it need one.
bool isSubfolder(int parentFd, const FolderItem& item) {
  if (item.type != DT_UNKNOWN) return item.type == DT_DIR;
  struct stat info;
  return fstatat(parentFd, item.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(info.st_mode);
}

// Lists the folder open as `dir` below `prefix`. Sub-folders are opened relative to their parent
// and without following links, so a link to a folder (or a link cycle) is listed, never entered.
void listFolder(DIR* dir, const std::string& prefix, int depth, std::vector<UString>* out) {
  const int parentFd = dirfd(dir);
  for (const FolderItem& item : sortedItems(dir)) {
    const std::string& name = item.name;
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    out->push_back(fromNativePath(relative));
    if (depth >= kMaxListingDepth) continue;
    if (!isSubfolder(parentFd, item)) continue;
    const int childFd =
        openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (childFd < 0) continue;  // an unreadable sub-folder is listed but not its contents
    DirPtr child(fdopendir(childFd));
    if (!child) {
      close(childFd);
      continue;
    }
    listFolder(child.get(), relative, depth + 1, out);
  }
}

}  // namespace

UString homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fromNativePath(home);
  }
  long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (bufferSize <= 0) bufferSize = 16384;
  std::string buffer(static_cast<size_t>(bufferSize), '\0');
  passwd entry;
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return {};
  }
  return fromNativePath(found->pw_dir);
}

bool fileExistsAtPath(UStringView path, bool* isDirectory) {
  if (isDirectory != nullptr) *isDirectory = false;
  std::string native;
  if (!toSystemPath(path, &native)) return false;
  struct stat info;
  if (stat(native.c_str(), &info) != 0) return false;
  if (isDirectory != nullptr) *isDirectory = S_ISDIR(info.st_mode);
  return true;
}

bool isRegularFileAtPath(UStringView path) {
  std::string native;
  if (!toSystemPath(path, &native)) return false;
  struct stat info;
  return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::vector<UString>> subpathsAtPath(UStringView folder) {
  std::string native;
  if (!toSystemPath(folder, &native)) return std::nullopt;
  // The folder itself may be reached through a link, as any path may.
  DirPtr dir(opendir(native.c_str()));
  if (!dir) return std::nullopt;
  std::vector<UString> subpaths;
  listFolder(dir.get(), "", 0, &subpaths);
  return subpaths;
}

bool resolveAliasFile(UStringView path, UString* target) {
  std::string native;
  if (!toSystemPath(path, &native)) return false;
  struct stat info;
  if (lstat(native.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
  // realpath follows the whole chain with the kernel's bound on hops; a broken chain gives
  // ENOENT and a circular one ELOOP.
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(native.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return false;
  if (target != nullptr) *target = fromNativePath(resolved.get());
  return true;
}

}  // namespace lexor
