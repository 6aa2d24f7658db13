// The dictionary folder: finding ~/Library/Lexor once, and listing the dictionary files in it
// with their display names and the positions and versions of the Ambora suite's members.
#include <optional>

#include "core/dic_identity.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/path.h"
#include "plugin/lexor_peek.h"

namespace lexor {
namespace {

// One scan lists at most this many dictionaries besides the suite's members.
constexpr int kOtherDictionaryLimit = 5;

// A suite file's version is written as two characters after its six-letter key (ambora52.dic).
constexpr size_t kVersionIndex = 6;
constexpr size_t kVersionLength = 2;

// Read from the file name, never from the path relative to the folder: a suite file kept in a
// sub-folder keeps the version its name carries.
int32_t suiteVersion(UStringView relativePath) {
  const UString name = lastPathComponent(relativePath);
  if (name.size() <= kVersionIndex) return 0;
  return intValue(UStringView(name).substr(kVersionIndex, kVersionLength));
}

}  // namespace

std::optional<UString> resolveAlias(const std::optional<UString>& path) {
  if (!path) return std::nullopt;
  logFormat("resolveAlias(%s)", toUtf8(*path).c_str());
  UString target;
  if (resolveAliasFile(*path, &target)) {
    logFormat(": resolvedPath = %s", toUtf8(target).c_str());
    return target;
  }
  logFormat(": resolvedPath = %s", toUtf8(*path).c_str());
  return *path;
}

void LexorPeek::findDictionaryFolder() {
  _dicDir = homeDirectory() + u"/Library/Lexor";
  bool isDir = false;
  if (!fileExistsAtPath(*_dicDir, &isDir)) {
    std::optional<UString> resolved = resolveAlias(_dicDir);
    if (resolved && fileExistsAtPath(*resolved, &isDir)) {
      _dicDir = std::move(resolved);
      logFormat("(alias resolved: ~/Library/Lexor --> %s", toUtf8(*_dicDir).c_str());
    } else {
      logFormat(": bResult=%s", "f");
      _dicDir.reset();
    }
  }
  if (!isDir) {
    logFormat(": isDir=%s", "f");
    _dicDir.reset();
  }
}

std::optional<UString> LexorPeek::_getDicDir() const { return _dicDir; }

std::vector<UString> LexorPeek::_dicPathsInDir() {
  _dicFiles.clear();
  _dicNames.clear();
  std::vector<UString> items;
  if (_dicDir) {
    if (std::optional<std::vector<UString>> listed = subpathsAtPath(*_dicDir)) {
      items = std::move(*listed);
    }
  }
  _amboraDicID = _revoraDicID = _abboraDicID = _exoraDicID = -1;
  _amboraVer = _revoraVer = 0;

  int othersAllowed = kOtherDictionaryLimit;
  std::vector<std::pair<UString, UString>> leftOut;  // (path, name) past the page's limit
  for (const UString& item : items) {
    if (lowercase(pathExtension(item)) != u"dic") continue;
    // A folder, FIFO, device or dangling link named like a dictionary would take a place (or
    // become the default) and fail every look-up.
    if (!isRegularFileAtPath(joinPath(*_dicDir, item))) {
      logFormat("; skipped %s: not a regular file", toUtf8(item).c_str());
      continue;
    }
    const Signature signature = getDicSignatureFromPath(UStringView(item));
    std::optional<UString> name = getDicNameFromSignature(signature);
    const auto position = static_cast<int32_t>(_dicNames.size());
    switch (signature) {
      case kAmboraSignature:
        _amboraDicID = position;
        _amboraVer = suiteVersion(item);
        break;
      case kRevoraSignature:
        _revoraDicID = position;
        _revoraVer = suiteVersion(item);
        break;
      case kAbboraSignature:
        _abboraDicID = position;
        break;
      case kExoraSignature:
        _exoraDicID = position;
        break;
      default:
        if (othersAllowed <= 0) {
          if (_listsEvery) leftOut.emplace_back(item, name.value_or(item));
          continue;
        }
        --othersAllowed;
        break;
    }
    _dicFiles.push_back(item);
    _dicNames.push_back(name.value_or(item));
  }
  for (auto& [path, name] : leftOut) {
    _dicFiles.push_back(std::move(path));
    _dicNames.push_back(std::move(name));
  }
  return _dicFiles;
}

std::vector<UString> LexorPeek::_dicNamesInDir() const { return _dicNames; }

int32_t LexorPeek::_dicCount() {
  _dicPathsInDir();
  return static_cast<int32_t>(_dicFiles.size());
}

}  // namespace lexor
