// `lexorpeek serve`: the web host. Serves the widget page on loopback and bridges each page's
// script calls to a LexorPeek object of its own.
#pragma once

#include <string>
#include <vector>

namespace lexor::web {

// Runs the server until it is stopped (SIGINT/SIGTERM). `args` are the words after "serve".
// Returns the process exit status.
int runServeCommand(const std::vector<std::string>& args);

}  // namespace lexor::web
