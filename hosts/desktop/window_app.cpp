#include "hosts/desktop/window_app.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "hosts/desktop/window_look.h"

namespace lexor::desktop {
namespace {

constexpr const char* kApplicationId = "org.lexorpeek.Window";
constexpr const char* kTitle = "LexorPeek";
// A word to look up is a word or a phrase; more is not something to look up.
constexpr glong kMaxWordCharacters = 256;

// For a page already loaded: puts the word in the page's field and presses Enter there, as a user
// would.
constexpr const char* kLookUpScript = R"js(
  const field = document.getElementById('word');
  if (!field) return false;
  field.value = word;
  field.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', bubbles: true, cancelable: true}));
  return true;
)js";

// A word from the command line or a selection as the page can take it: valid UTF-8 (anything
// else becomes U+FFFD) and at most kMaxWordCharacters long.
std::string boundedWord(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  if (g_utf8_strlen(valid, -1) > kMaxWordCharacters) {
    *g_utf8_offset_to_pointer(valid, kMaxWordCharacters) = '\0';
  }
  std::string word = valid;
  g_free(valid);
  return word;
}

// The first line of the selection, without the spaces around it.
std::string selectionWord(const char* text) {
  if (text == nullptr) return {};
  std::string line = boundedWord(text);
  line.resize(std::min(line.size(), line.find_first_of("\r\n")));
  gchar* copy = g_strdup(line.c_str());
  std::string word = g_strstrip(copy);
  g_free(copy);
  return word;
}

void onExtensionAnswer(GObject* view, GAsyncResult* result, gpointer folder) {
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  if (value != nullptr && jsc_value_is_string(value)) {
    char* type = jsc_value_to_string(value);
    // Once a run: a reload meets the same missing extension.
    static bool reported = false;
    if (g_strcmp0(type, "undefined") == 0 && !reported) {
      reported = true;
      g_printerr("lexorpeek-window: the page extension did not load from %s\n",
                 static_cast<const char*>(folder));
    }
    g_free(type);
  }
  g_clear_object(&value);
}

}  // namespace

WindowApp::WindowApp(const std::string& widgetFolder, std::string extensionFolder)
    : _app(gtk_application_new(kApplicationId, G_APPLICATION_HANDLES_COMMAND_LINE)),
      _scheme(widgetFolder),
      _extensionFolder(std::move(extensionFolder)) {
  g_signal_connect(_app, "command-line", G_CALLBACK(onCommandLine), this);
}

WindowApp::~WindowApp() {
  g_clear_object(&_context);
  g_object_unref(_app);
}

int WindowApp::run(int argc, char** argv) {
  return g_application_run(G_APPLICATION(_app), argc, argv);
}

int WindowApp::onCommandLine(GApplication*, GApplicationCommandLine* line, gpointer self) {
  int argc = 0;
  gchar** argv = g_application_command_line_get_arguments(line, &argc);
  std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  g_strfreev(argv);
  std::string error;
  const std::optional<WindowOptions> options = parseWindowOptions(words, &error);
  if (!options) {
    g_application_command_line_printerr(line, "lexorpeek-window: %s\n", error.c_str());
    return 2;
  }
  return static_cast<WindowApp*>(self)->handle(
      *options, g_application_command_line_get_is_remote(line) != FALSE);
}

int WindowApp::handle(const WindowOptions& options, bool remote) {
  // Only the process that starts the window can open it to automation: a WebDriver starts it so.
  if (_context == nullptr) makeContext(options.automation && !remote);
  // Under automation too the window opens at once (its view made for automation), and the
  // WebDriver's session is handed that view when it asks: the page loads meanwhile.
  const std::optional<std::string> word =
      options.word ? std::optional(boundedWord(*options.word)) : std::nullopt;
  if (_window == nullptr) {
    openWindow(word);
  } else if (word) {
    showWord(*word);
  }
  if (options.selection) {
    gtk_clipboard_request_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY), onSelectionText, this);
  }
  gtk_window_present(_window);
  return 0;
}

void WindowApp::makeContext(bool automation) {
  _automation = automation;
  followDesktopColorScheme();
  // Nothing of the page is kept on disk by the engine: the widget keeps no data of its own there.
  WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
  _context = WEBKIT_WEB_CONTEXT(
      g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data, nullptr));
  g_object_unref(data);
  webkit_web_context_set_web_extensions_directory(_context, _extensionFolder.c_str());
  _scheme.registerOn(_context);
  if (automation) {
    webkit_web_context_set_automation_allowed(_context, TRUE);
    g_signal_connect(_context, "automation-started", G_CALLBACK(onAutomationStarted), this);
  }
}

WebKitWebView* WindowApp::openWindow(const std::optional<std::string>& word) {
  _view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", _context,
                                       "is-controlled-by-automation", _automation, nullptr));
  g_signal_connect(_view, "load-changed", G_CALLBACK(onLoadChanged), this);
  g_signal_connect(_view, "decide-policy", G_CALLBACK(onDecidePolicy), this);
  // The page (or a WebDriver ending its session) closing the view closes the window, as a user
  // would, size kept.
  g_signal_connect(_view, "close", G_CALLBACK(+[](WebKitWebView*, gpointer self) {
                     auto* app = static_cast<WindowApp*>(self);
                     if (app->_window == nullptr) return;
                     rememberWindowSize(app->_window);
                     gtk_widget_destroy(GTK_WIDGET(app->_window));
                   }),
                   this);

  _window = GTK_WINDOW(gtk_application_window_new(_app));
  gtk_window_set_title(_window, kTitle);
  gtk_window_set_icon_name(_window, "lexorpeek");
  restoreWindowSize(_window);
  g_signal_connect(_window, "delete-event", G_CALLBACK(+[](GtkWidget* window, GdkEvent*, gpointer) {
                     rememberWindowSize(GTK_WINDOW(window));
                     return FALSE;
                   }),
                   nullptr);
  g_signal_connect(_window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     auto* app = static_cast<WindowApp*>(self);
                     app->_window = nullptr;
                     app->_view = nullptr;
                     app->_pageReady = false;
                   }),
                   this);
  gtk_container_add(GTK_CONTAINER(_window), GTK_WIDGET(_view));
  gtk_widget_show_all(GTK_WIDGET(_window));
  loadPage(word);
  return _view;
}

void WindowApp::onAutomationStarted(WebKitWebContext*, WebKitAutomationSession* session,
                                    gpointer self) {
  WebKitApplicationInfo* info = webkit_application_info_new();
  webkit_application_info_set_name(info, "lexorpeek-window");
  webkit_application_info_set_version(info, 0, 1, 0);
  webkit_automation_session_set_application_info(session, info);
  webkit_application_info_unref(info);
  g_signal_connect(session, "create-web-view", G_CALLBACK(onCreateWebView), self);
}

WebKitWebView* WindowApp::onCreateWebView(WebKitAutomationSession*, gpointer self) {
  auto* app = static_cast<WindowApp*>(self);
  if (app->_window == nullptr) app->openWindow(std::nullopt);
  gtk_window_present(app->_window);
  return app->_view;
}

void WindowApp::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* app = static_cast<WindowApp*>(self);
  if (event == WEBKIT_LOAD_STARTED) app->_pageReady = false;
  if (event != WEBKIT_LOAD_FINISHED || view != app->_view) return;
  const char* uri = webkit_web_view_get_uri(view);
  if (uri == nullptr || !g_str_has_prefix(uri, kWidgetAddress)) return;
  app->_pageReady = true;
  app->checkExtension();
}

// The page says so itself when `LexorPeek` is missing; the log gets the one line that says why.
void WindowApp::checkExtension() {
  webkit_web_view_evaluate_javascript(_view, "typeof window.LexorPeek", -1, nullptr, nullptr,
                                      nullptr, onExtensionAnswer,
                                      const_cast<char*>(_extensionFolder.c_str()));
}

// The view shows the widget and nothing else: no link of a dictionary text leads it elsewhere.
gboolean WindowApp::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (uri != nullptr && (g_str_has_prefix(uri, "lexorpeek:") || g_strcmp0(uri, "about:blank") == 0))
    return FALSE;
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

void WindowApp::onSelectionText(GtkClipboard*, const char* text, gpointer self) {
  auto* app = static_cast<WindowApp*>(self);
  const std::string word = selectionWord(text);
  if (!word.empty() && app->_view != nullptr) app->showWord(word);
}

void WindowApp::showWord(const std::string& word) {
  const char* uri = webkit_web_view_get_uri(_view);
  if (_pageReady && uri != nullptr && g_str_has_prefix(uri, kWidgetAddress)) {
    lookUpNow(word);
  } else {
    loadPage(word);
  }
}

// A word to show at once rides in the address: the page's own script looks it up as soon as
// the widget's script is ready, without waiting for the page's images and the load's end.
void WindowApp::loadPage(const std::optional<std::string>& word) {
  std::string address = kWidgetAddress;
  if (word) {
    char* escaped = g_uri_escape_string(word->c_str(), nullptr, TRUE);
    address += std::string("?word=") + escaped;
    g_free(escaped);
  }
  webkit_web_view_load_uri(_view, address.c_str());
}

void WindowApp::lookUpNow(const std::string& word) {
  GVariantDict arguments;
  g_variant_dict_init(&arguments, nullptr);
  g_variant_dict_insert(&arguments, "word", "s", word.c_str());
  webkit_web_view_call_async_javascript_function(_view, kLookUpScript, -1,
                                                 g_variant_dict_end(&arguments), nullptr, nullptr,
                                                 nullptr, nullptr, nullptr);
}

}  // namespace lexor::desktop
