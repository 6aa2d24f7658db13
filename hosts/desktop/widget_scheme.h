// The widget page reaches the window's view through a URI scheme of its own
// (lexorpeek://widget/), answered from the files read at start: nothing listens on a socket.
#pragma once

#include <webkit2/webkit2.h>

#include <map>
#include <string>

namespace lexor::desktop {

inline constexpr const char* kWidgetScheme = "lexorpeek";
inline constexpr const char* kWidgetAddress = "lexorpeek://widget/";

class WidgetScheme {
 public:
  // Reads the widget's files from `folder` (PREFIX/share/lexorpeek/widget). A file that cannot
  // be read is answered with a page that says so, never with a blank window.
  explicit WidgetScheme(const std::string& folder);

  // Answers the scheme's requests on `context` for as long as this object lives.
  void registerOn(WebKitWebContext* context);

 private:
  struct Served {
    std::string contentType;
    std::string body;
  };
  static void answer(WebKitURISchemeRequest* request, gpointer self);

  std::map<std::string, Served, std::less<>> _files;  // keyed by request path
};

}  // namespace lexor::desktop
