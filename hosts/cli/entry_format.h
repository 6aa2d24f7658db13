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

}  // namespace lexor::cli
