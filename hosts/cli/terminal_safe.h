// Output meant for a terminal. Dictionary texts and file names are data anyone can hand over, and
// a terminal obeys control characters: an escape sequence inside a definition could clear the
// screen, retitle the window or fill the clipboard.
#pragma once

#include <string>
#include <string_view>

namespace lexor::cli {

// The UTF-8 text with every C0 control other than line feed and tab, DEL, every C1 control
// (U+0080 to U+009F), the bidirectional embedding, override and isolate controls (U+202A to
// U+202E, U+2066 to U+2069) and every byte that is not part of well-formed UTF-8 replaced by
// U+FFFD.
// Every output of the program that is not JSON goes through it.
std::string terminalSafe(std::string_view utf8);

}  // namespace lexor::cli
