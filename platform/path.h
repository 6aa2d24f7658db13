// Path operations on UTF-16 paths ('/' separated, as POSIX paths are).
#pragma once

#include "platform/ustring.h"

namespace lexor {

// Text after the last '/', trailing slashes ignored; "/" for the root; empty for an empty path.
UString lastPathComponent(UStringView path);
// What follows the last '.' of the last component, without the '.'; empty when there is none.
UString pathExtension(UStringView path);
// "a" + "/" + "b".
UString joinPath(UStringView folder, UStringView name);

// UTF-8 bytes for the operating system. Paths inside the system are UTF-16; file names on Linux
// are bytes, taken here as UTF-8.
std::string toNativePath(UStringView path);
UString fromNativePath(std::string_view path);

}  // namespace lexor
