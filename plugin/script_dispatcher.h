// The script-call protocol shared by every host: a JSON request naming one of the sixteen page
// operations by its script name, or one of the additions "matchWords" [strategy, word, limit]
// and "matchStrategies", and a JSON response with its result or an error.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/script_value.h"

namespace lexor {

class LexorPeek;

struct ScriptError {
  std::string message;  // one line saying why
};

using ScriptCallResult = std::variant<ScriptValue, ScriptError>;

// Calls the operation of the script name with converted arguments; unknown names, a wrong number
// of arguments or an argument of the wrong type give an error and change nothing.
ScriptCallResult callScriptOperation(LexorPeek& peek, std::string_view scriptName,
                                     const std::vector<ScriptValue>& args);

// One request line or body in, one response (a single line of JSON, no line feed) out. A request
// is one call object, or an array of 1 to 1,000 of them carried out in order, answered by the
// array of their answers, each as if sent alone; a malformed array runs nothing.
std::string handleScriptRequest(LexorPeek& peek, std::string_view requestJson);

// A script value as the protocol writes it (one line of JSON, always valid UTF-8).
std::string scriptValueToJson(const ScriptValue& value);

// The sixteen script names, in the order of the script-name table (not the additions).
const std::vector<std::string>& scriptNames();

}  // namespace lexor
