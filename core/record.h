// The record of one entry: the fields present in it, each absent when the entry has none or it
// does not decode.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/ustring.h"

namespace lexor {

struct Record {
  std::optional<UString> eword;    // head word
  std::optional<UString> pron;     // pronunciation
  std::optional<int32_t> level;    // 1 to 15
  std::optional<UString> jword;    // translation
  std::optional<UString> example;  // example text
  bool operator==(const Record&) const = default;
};

}  // namespace lexor
