#include "hosts/desktop/window_look.h"

#include <string>

namespace lexor::desktop {
namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearance = "org.freedesktop.appearance";
constexpr const char* kColorScheme = "color-scheme";
constexpr int kPortalTimeoutMs = 1000;

constexpr int kDefaultWidth = 480;
constexpr int kDefaultHeight = 640;
constexpr int kSmallest = 200;
constexpr int kLargest = 16384;

// 0 no preference, 1 prefer dark, 2 prefer light. Only a stated preference overrides GTK's.
void applyColorScheme(GVariant* value) {
  while (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
    GVariant* inner = g_variant_get_variant(value);
    g_variant_unref(value);
    value = inner;
  }
  if (value == nullptr) return;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
    const guint32 scheme = g_variant_get_uint32(value);
    if (scheme == 1 || scheme == 2) {
      g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", scheme == 1,
                   nullptr);
    }
  }
  g_variant_unref(value);
}

void onPortalAnswer(GObject* bus, GAsyncResult* result, gpointer) {
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
  if (reply == nullptr) return;  // no portal: GTK's own setting stands
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  applyColorScheme(value);
  g_variant_unref(reply);
}

void onPortalChange(GDBusConnection*, const char*, const char*, const char*, const char*,
                    GVariant* parameters, gpointer) {
  const char* group = nullptr;
  const char* key = nullptr;
  GVariant* value = nullptr;
  g_variant_get(parameters, "(&s&sv)", &group, &key, &value);
  if (g_strcmp0(group, kAppearance) == 0 && g_strcmp0(key, kColorScheme) == 0) {
    applyColorScheme(value);
  } else {
    g_variant_unref(value);
  }
}

std::string sizeFile() { return std::string(g_get_user_config_dir()) + "/lexorpeek/window.ini"; }

bool plausible(gint64 size) { return size >= kSmallest && size <= kLargest; }

}  // namespace

void followDesktopColorScheme() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return;
  g_dbus_connection_signal_subscribe(bus, kPortalName, kSettingsInterface, "SettingChanged",
                                     kPortalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onPortalChange,
                                     nullptr, nullptr);
  g_dbus_connection_call(bus, kPortalName, kPortalPath, kSettingsInterface, "Read",
                         g_variant_new("(ss)", kAppearance, kColorScheme), G_VARIANT_TYPE("(v)"),
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, kPortalTimeoutMs, nullptr, onPortalAnswer,
                         nullptr);
  g_object_unref(bus);
}

void restoreWindowSize(GtkWindow* window) {
  gint64 width = kDefaultWidth;
  gint64 height = kDefaultHeight;
  GKeyFile* keys = g_key_file_new();
  if (g_key_file_load_from_file(keys, sizeFile().c_str(), G_KEY_FILE_NONE, nullptr)) {
    const gint64 keptWidth = g_key_file_get_int64(keys, "window", "width", nullptr);
    const gint64 keptHeight = g_key_file_get_int64(keys, "window", "height", nullptr);
    if (plausible(keptWidth) && plausible(keptHeight)) {
      width = keptWidth;
      height = keptHeight;
    }
  }
  g_key_file_free(keys);
  gtk_window_set_default_size(window, static_cast<int>(width), static_cast<int>(height));
}

void rememberWindowSize(GtkWindow* window) {
  int width = 0;
  int height = 0;
  gtk_window_get_size(window, &width, &height);
  if (!plausible(width) || !plausible(height)) return;
  const std::string path = sizeFile();
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GKeyFile* keys = g_key_file_new();
  g_key_file_set_int64(keys, "window", "width", width);
  g_key_file_set_int64(keys, "window", "height", height);
  if (!g_key_file_save_to_file(keys, path.c_str(), nullptr)) {
    g_printerr("lexorpeek-window: cannot keep the window's size in %s\n", path.c_str());
  }
  g_key_file_free(keys);
}

}  // namespace lexor::desktop
