// `lexorpeek window [ARGS]`: the desktop window is a program of its own, so that this one keeps
// its lean start; it is started from beside this program, with the words given.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "hosts/cli/commands.h"
#include "platform/install_location.h"

namespace lexor::cli {

int runWindow(const std::vector<std::string>& args) {
  const std::optional<std::string> folder = executableFolder();
  if (!folder) {
    printError("window: cannot tell where this program is installed");
    return kExitNoMatch;
  }
  const std::string program = *folder + "/lexorpeek-window";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  printError("window: cannot start " + program + ": " + std::strerror(errno));
  return kExitNoMatch;
}

}  // namespace lexor::cli
