// The desktop program: one instance per user session, registered on the session bus. The first
// process opens the window; a later one hands its command line (--word, --selection) to it and
// exits with the status it answers.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "hosts/desktop/widget_scheme.h"
#include "hosts/desktop/window_options.h"

namespace lexor::desktop {

class WindowApp {
 public:
  // `widgetFolder` holds the widget's files; `extensionFolder` the page extension that puts
  // `LexorPeek` on the page.
  WindowApp(const std::string& widgetFolder, std::string extensionFolder);
  ~WindowApp();
  WindowApp(const WindowApp&) = delete;
  WindowApp& operator=(const WindowApp&) = delete;

  int run(int argc, char** argv);

 private:
  static int onCommandLine(GApplication* app, GApplicationCommandLine* line, gpointer self);
  static void onAutomationStarted(WebKitWebContext* context, WebKitAutomationSession* session,
                                  gpointer self);
  static WebKitWebView* onCreateWebView(WebKitAutomationSession* session, gpointer self);
  static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void onSelectionText(GtkClipboard* clipboard, const char* text, gpointer self);

  int handle(const WindowOptions& options, bool remote);
  void makeContext(bool automation);
  WebKitWebView* openWindow(const std::optional<std::string>& word);
  void loadPage(const std::optional<std::string>& word);
  void showWord(const std::string& word);
  void lookUpNow(const std::string& word);
  void checkExtension();

  GtkApplication* _app;
  WidgetScheme _scheme;
  std::string _extensionFolder;
  WebKitWebContext* _context = nullptr;
  GtkWindow* _window = nullptr;
  WebKitWebView* _view = nullptr;
  bool _automation = false;
  bool _pageReady = false;  // the widget's page has loaded: a word goes straight to it
};

}  // namespace lexor::desktop
