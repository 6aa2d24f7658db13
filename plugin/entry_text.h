// An entry as plain text for a terminal or a text protocol: what `lexorpeek lookup` prints and
// what the DICT host sends as a definition.
#pragma once

#include <string>

#include "platform/script_value.h"

namespace lexor {

// The page's text form made readable in a terminal: head word [pron] on the first line, then
// the translation and the example, indented. Record texts may carry markup: each "<br>" (and a
// code-page dictionary's "<>") becomes a line break, other tags are dropped, and character
// references (&amp; &lt; &gt; &quot; &#39; ...) are decoded.
std::string terminalText(const ScriptList& record);

}  // namespace lexor
