#include "platform/version.h"

#ifndef LEXOR_VERSION
#error "LEXOR_VERSION must give the project's version"
#endif

namespace lexor {

// Only this file is built with the number, so a new version rebuilds one file.
std::string_view programVersion() { return LEXOR_VERSION; }

}  // namespace lexor
