// The widget's page and assets. Only the files of a fixed list are served, read once at start:
// no request can name a path on disk, so there is nothing to traverse and nothing to list.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lexor::web {

struct WidgetFile {
  std::string contentType;
  std::string body;
  bool isPage = false;  // the body has a place for the page's token
};

class WidgetFiles {
 public:
  // Reads the widget's files from `widgetFolder` and this host's bridge script (lexorpeek.js)
  // from `bridgeFolder`. On failure, says why in `error` and gives std::nullopt.
  static std::optional<WidgetFiles> load(const std::string& widgetFolder,
                                         const std::string& bridgeFolder, std::string* error);

  // The page's body with `token` in the place kept for it; every page served gets its own.
  static std::string withToken(const WidgetFile& page, std::string_view token);

  // The file served at a request path ("/" is the page), or nullptr when there is none.
  const WidgetFile* find(std::string_view requestPath) const;

 private:
  std::map<std::string, WidgetFile, std::less<>> _files;  // keyed by request path
};

}  // namespace lexor::web
