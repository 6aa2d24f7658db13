#include "hosts/web/widget_files.h"

#include <array>
#include <fstream>
#include <sstream>

namespace lexor::web {
namespace {

struct ListedFile {
  std::string_view requestPath;
  std::string_view fileName;
  std::string_view contentType;
  bool isBridge = false;  // this host's own script, kept apart from the widget's shared files
};

constexpr std::array<ListedFile, 6> kListedFiles = {{
    {"/", "index.html", "text/html; charset=utf-8"},
    {"/index.html", "index.html", "text/html; charset=utf-8"},
    {"/widget.css", "widget.css", "text/css; charset=utf-8"},
    {"/widget.js", "widget.js", "text/javascript; charset=utf-8"},
    {"/lexorpeek.js", "lexorpeek.js", "text/javascript; charset=utf-8", true},
    {"/favicon.svg", "favicon.svg", "image/svg+xml"},
}};

// The page carries the token in a meta element, so its script can read it without any inline
// script (which the content security policy forbids).
constexpr std::string_view kTokenPlaceholder = "@LEXORPEEK_TOKEN@";

std::optional<std::string> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(contents).str();
}

}  // namespace

std::optional<WidgetFiles> WidgetFiles::load(const std::string& widgetFolder,
                                             const std::string& bridgeFolder, std::string* error) {
  WidgetFiles widget;
  for (const ListedFile& listed : kListedFiles) {
    const std::string& folder = listed.isBridge ? bridgeFolder : widgetFolder;
    const std::string path = folder + "/" + std::string(listed.fileName);
    std::optional<std::string> body = readWholeFile(path);
    if (!body) {
      *error = "cannot read " + path;
      return std::nullopt;
    }
    const bool isPage = listed.fileName == "index.html";
    if (isPage && body->find(kTokenPlaceholder) == std::string::npos) {
      *error = path + " has no place for the page token";
      return std::nullopt;
    }
    widget._files.emplace(std::string(listed.requestPath),
                          WidgetFile{std::string(listed.contentType), std::move(*body), isPage});
  }
  return widget;
}

std::string WidgetFiles::withToken(const WidgetFile& page, std::string_view token) {
  std::string body = page.body;
  const size_t at = body.find(kTokenPlaceholder);
  if (at != std::string::npos) body.replace(at, kTokenPlaceholder.size(), token);
  return body;
}

const WidgetFile* WidgetFiles::find(std::string_view requestPath) const {
  auto it = _files.find(requestPath);
  return it == _files.end() ? nullptr : &it->second;
}

}  // namespace lexor::web
