// How `lexorpeek lookup` prints the entry under the cursor.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plugin/lexor_peek.h"

namespace lexor::cli {

enum class EntryFormat { kText, kHtml, kJson };

std::optional<EntryFormat> parseEntryFormat(std::string_view name);

// The entry under the peek's cursor in the format, ending in a line feed; std::nullopt when
// there is none.
std::optional<std::string> formatCurrentEntry(LexorPeek& peek, EntryFormat format);
// A record in the format, as formatCurrentEntry gives the entry under the cursor.
std::string formatRecord(const Record& record, EntryFormat format);

// The page's text form made readable in a terminal: head word [pron] on the first line, then
// the translation and the example, indented. Record texts may carry markup: each "<br>" (and a
// code-page dictionary's "<>") becomes a line break, other tags are dropped, and character
// references (&amp; &lt; &gt; &quot; &#39; ...) are decoded.
std::string terminalText(const ScriptList& record);

}  // namespace lexor::cli
