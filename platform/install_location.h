// Where the running program is installed, so that it finds its data beside itself rather than
// through a folder fixed at build time. A program at PREFIX/bin/NAME reads its data from
// PREFIX/share/lexorpeek/; the build tree has the same shape (build/bin, build/share/lexorpeek).
#pragma once

#include <optional>
#include <string>

namespace lexor {

// The folder that holds the running executable (from /proc/self/exe), or std::nullopt when the
// kernel does not say.
std::optional<std::string> executableFolder();

// PREFIX/share/lexorpeek for a program in PREFIX/bin; std::nullopt when the executable's folder
// is unknown.
std::optional<std::string> installedDataFolder();

}  // namespace lexor
