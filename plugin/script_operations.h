// The one table of script operations: what the page may call by selector, under which script
// name, with which arguments, and what each call does. The plug-in object, the script-name listing
// and the protocol dispatcher all read it, so adding an operation touches this table alone.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/script_value.h"

namespace lexor {

class LexorPeek;

enum class ArgumentKind {
  kString,
  kInteger,  // 32-bit signed
};

struct ScriptOperation {
  // Empty for the additions that only hosts offer: they are protocol operations, never page names.
  std::string_view selector;
  std::string_view name;
  std::vector<ArgumentKind> arguments;  // in order; each call gives exactly these
  // The call's value; std::nullopt, with the reason in *error, when it fails (the protocol answers
  // that as the call's error).
  std::function<std::optional<ScriptValue>(LexorPeek&, const std::vector<ScriptValue>&,
                                           std::string* error)>
      call;
  // For an operation whose one answer may be very large and that cannot fail: the same call,
  // answering std::nullopt instead of building an answer of more than `maxBytes` bytes. Empty
  // for the others.
  std::function<std::optional<ScriptValue>(LexorPeek&, const std::vector<ScriptValue>&,
                                           size_t maxBytes)>
      boundedCall = nullptr;
};

// The sixteen page operations in the order in which selectors are tested, then the additions.
const std::vector<ScriptOperation>& scriptOperations();

// The page operation of a selector, or null (the additions have no selector).
const ScriptOperation* findOperationBySelector(std::string_view selector);

// The operation of a script name, additions included, or null.
const ScriptOperation* findOperationByName(std::string_view name);

}  // namespace lexor
