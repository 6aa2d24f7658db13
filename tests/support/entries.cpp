#include "tests/support/entries.h"

namespace lexor::testing {

namespace {

std::optional<UString> fromUtf8(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return lexor::fromUtf8(*text);
}

}  // namespace

writer::Entry entry(std::string_view headWord, std::string_view translation,
                    const EntryExtras& extras) {
  return writer::Entry{lexor::fromUtf8(headWord), lexor::fromUtf8(translation),
                       fromUtf8(extras.pronunciation), fromUtf8(extras.example), 0};
}

}  // namespace lexor::testing
