// `lexorpeek serve`: the web host. Serves the widget page on loopback and bridges its script calls
// to one LexorPeek object.
#pragma once

#include <string>
#include <vector>

namespace lexor::web {

// Runs the server until it is stopped (SIGINT/SIGTERM). `args` are the words after "serve".
// Returns the process exit status.
int runServeCommand(const std::vector<std::string>& args);

}  // namespace lexor::web
