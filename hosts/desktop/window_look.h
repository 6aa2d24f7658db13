// What the window keeps from the desktop and from its last run: the colour scheme the desktop
// prefers, and the window's size.
#pragma once

#include <gtk/gtk.h>

namespace lexor::desktop {

// Follows the desktop's colour scheme: the freedesktop settings portal's `color-scheme` where a
// portal answers (now and when it changes), else GTK's own `gtk-application-prefer-dark-theme`.
// WebKit hands either to the page as `prefers-color-scheme`.
void followDesktopColorScheme();

// The size kept in $XDG_CONFIG_HOME/lexorpeek/window.ini, else a widget-sized default.
void restoreWindowSize(GtkWindow* window);
// Keeps the window's current size for the next run.
void rememberWindowSize(GtkWindow* window);

}  // namespace lexor::desktop
