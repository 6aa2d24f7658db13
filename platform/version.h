// The one version number of the programs, the project's own (CMake's project(VERSION)).
#pragma once

#include <string_view>

namespace lexor {

std::string_view programVersion();

}  // namespace lexor
