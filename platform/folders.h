// The file manager services: home folder, existence tests, recursive listing, alias resolution.
#pragma once

#include <optional>
#include <vector>

#include "platform/ustring.h"

namespace lexor {

// The home folder from $HOME (the password database when it is unset).
UString homeDirectory();

// Whether anything exists at the path, following symbolic links; *isDirectory (when given)
// receives whether it is a folder and is left false otherwise.
bool fileExistsAtPath(UStringView path, bool* isDirectory);

// Whether the path names a regular file, following symbolic links to their end: false for a
// folder, FIFO, device, socket, dangling or circular link, or nothing at all.
bool isRegularFileAtPath(UStringView path);

// Every item at any depth below the folder, folders and files alike, as paths relative to it,
// depth first; within one folder the names are sorted by byte order so that listings are
// reproducible. Symbolic links are listed but not entered, so link cycles cannot trap the walk;
// a sub-folder that cannot be read is listed without its contents, and nesting deeper than 256
// levels is not entered. std::nullopt when the folder itself cannot be read.
std::optional<std::vector<UString>> subpathsAtPath(UStringView folder);

// Linux has no alias files; symbolic links play their part. The chain of links at the path is
// followed to its final target. Returns the target's absolute path and true when the item was a
// link that resolved; false when nothing exists at the path, the item is no link, or the chain
// is broken or circular.
bool resolveAliasFile(UStringView path, UString* target);

}  // namespace lexor
