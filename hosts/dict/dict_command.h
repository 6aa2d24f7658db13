// `lexorpeek dict-server`: the dictionaries of ~/Library/Lexor to every DICT client.
#pragma once

#include <string>
#include <vector>

namespace lexor::dict {

// Serves until SIGINT or SIGTERM. `args` are the words after "dict-server". Returns the exit
// status.
int runDictServerCommand(const std::vector<std::string>& args);

}  // namespace lexor::dict
