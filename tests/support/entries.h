// Dictionary entries written briefly in tests: text in UTF-8, the optional fields named.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/writer/lexor_writer.h"

namespace lexor::testing {

struct EntryExtras {
  std::optional<std::string> pronunciation = std::nullopt;
  std::optional<std::string> example = std::nullopt;
};

writer::Entry entry(std::string_view headWord, std::string_view translation,
                    const EntryExtras& extras = {});

}  // namespace lexor::testing
