// `lexorpeek-window`: the widget in a window of its own, LexorPeek running in the page's process.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hosts/desktop/window_app.h"
#include "hosts/desktop/window_options.h"
#include "platform/install_location.h"

#ifndef LEXOR_EXTENSION_RELATIVE_DIR
#error "LEXOR_EXTENSION_RELATIVE_DIR must name the page extension's folder, from the program's"
#endif

int main(int argc, char** argv) {
  using lexor::desktop::WindowOptions;
  std::string error;
  const std::optional<WindowOptions> options =
      lexor::desktop::parseWindowOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "lexorpeek-window: %s\n(see `lexorpeek-window --help`)\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(lexor::desktop::kWindowUsage, stdout);
    return 0;
  }
  if (options->version) {
    std::printf("lexorpeek-window %s\n", LEXOR_WINDOW_VERSION);
    return 0;
  }
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
    std::fputs(
        "lexorpeek-window: no display to open a window on (neither DISPLAY nor "
        "WAYLAND_DISPLAY is set)\n",
        stderr);
    return 1;
  }
  const std::optional<std::string> bin = lexor::executableFolder();
  const std::optional<std::string> data = lexor::installedDataFolder();
  if (!bin || !data) {
    std::fputs("lexorpeek-window: cannot tell where this program is installed\n", stderr);
    return 1;
  }
  lexor::desktop::WindowApp app(*data + "/widget", *bin + "/" + LEXOR_EXTENSION_RELATIVE_DIR);
  return app.run(argc, argv);
}
