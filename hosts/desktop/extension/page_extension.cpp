// The web-process extension of the desktop window. WebKit loads it into each web process; when a
// page of the window's own scheme gets a fresh window object, a fresh `LexorPeek` is made for it
// (as a host makes one for a page: initWithWebView:, then windowScriptObjectAvailable:), so a
// reload starts anew and nothing passes from one page to the next. Pages of any other origin
// get nothing.
#include <webkit2/webkit-web-extension.h>

#include <cstring>

#include "hosts/desktop/extension/page_bridge.h"

namespace {

constexpr const char* kPageScheme = "lexorpeek:";

void onWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage*, WebKitFrame* frame, gpointer) {
  if (!webkit_frame_is_main_frame(frame)) return;
  const char* uri = webkit_frame_get_uri(frame);
  if (uri == nullptr || std::strncmp(uri, kPageScheme, std::strlen(kPageScheme)) != 0) return;

  // The engine's C interface to the frame's context: calls through it cost a fraction of the
  // object wrappers the newer interface makes for every value.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSGlobalContextRef context = webkit_frame_get_javascript_context_for_script_world(frame, world);
  G_GNUC_END_IGNORE_DEPRECATIONS
  std::shared_ptr<lexor::LexorPeek> peek = lexor::LexorPeek::initWithWebView(nullptr);
  lexor::desktop::PageWindowObject window(context, peek);
  peek->windowScriptObjectAvailable(&window);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension*) {
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(onWindowObjectCleared), nullptr);
}
