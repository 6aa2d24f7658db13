// The programs of this build, as the test runner names their folder.
#pragma once

#include <string>
#include <string_view>

namespace lexor::testing {

// The full path of bin/<name> in the build folder (LEXOR_BINARY_DIR, else the current folder);
// the caller checks that it exists, so that a missing program says so instead of failing oddly.
std::string builtProgram(std::string_view name);

}  // namespace lexor::testing
