#include "platform/path.h"

namespace lexor {

UString lastPathComponent(UStringView path) {
  if (path.empty()) return {};
  const size_t end = path.find_last_not_of(u'/');
  if (end == UStringView::npos) return u"/";
  const UStringView trimmed = path.substr(0, end + 1);
  const size_t slash = trimmed.rfind(u'/');
  return UString(slash == UStringView::npos ? trimmed : trimmed.substr(slash + 1));
}

UString pathExtension(UStringView path) {
  const UString last = lastPathComponent(path);
  const size_t dot = last.rfind(u'.');
  if (dot == UString::npos) return {};
  return last.substr(dot + 1);
}

UString joinPath(UStringView folder, UStringView name) {
  UString joined;
  joined.reserve(folder.size() + 1 + name.size());
  joined.append(folder);
  joined.push_back(u'/');
  joined.append(name);
  return joined;
}

std::string toNativePath(UStringView path) { return toUtf8(path); }

UString fromNativePath(std::string_view path) { return fromUtf8(path); }

}  // namespace lexor
