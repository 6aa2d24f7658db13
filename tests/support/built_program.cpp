#include "tests/support/built_program.h"

#include <cstdlib>

namespace lexor::testing {

std::string builtProgram(std::string_view name) {
  const char* binaryDir = std::getenv("LEXOR_BINARY_DIR");
  return std::string(binaryDir ? binaryDir : ".") + "/bin/" + std::string(name);
}

}  // namespace lexor::testing
