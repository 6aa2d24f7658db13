// The web-process extension of the desktop window. WebKit loads it into each web process; when a
// page of the window's own scheme gets a fresh window object, a fresh `LexorPeek` is made for it
// (as a host makes one for a page: initWithWebView:, then windowScriptObjectAvailable:), so a
// reload starts anew and nothing passes from one page to the next. Pages of any other origin
// get nothing.
//
// Each view's current object is kept here, not by the page's script: a new document lets the
// previous document's object go at once, its dictionaries and tables with it, rather than when
// the script engine next collects.
#include <webkit2/webkit-web-extension.h>

#include <cstring>
#include <map>

#include "hosts/desktop/extension/page_bridge.h"

namespace {

constexpr const char* kPageScheme = "lexorpeek:";

// Keyed by the view's page id, which outlives its documents.
std::map<guint64, std::shared_ptr<lexor::LexorPeek>> gCurrentObjects;

void forgetPage(gpointer pageId, GObject*) {
  gCurrentObjects.erase(*static_cast<guint64*>(pageId));
  delete static_cast<guint64*>(pageId);
}

void onWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                           gpointer) {
  if (!webkit_frame_is_main_frame(frame)) return;
  const guint64 pageId = webkit_web_page_get_id(page);
  gCurrentObjects.erase(pageId);
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
  gCurrentObjects[pageId] = std::move(peek);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* extension) {
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(onWindowObjectCleared), nullptr);
  g_signal_connect(extension, "page-created",
                   G_CALLBACK(+[](WebKitWebExtension*, WebKitWebPage* page, gpointer) {
                     g_object_weak_ref(G_OBJECT(page), forgetPage,
                                       new guint64(webkit_web_page_get_id(page)));
                   }),
                   nullptr);
}
