// The script-call protocol shared by every host: a JSON request naming one of the sixteen page
// operations by its script name, or one of the additions "matchWords" [strategy, word, limit]
// and "matchStrategies", and a JSON response with its result or an error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/script_operations.h"

namespace lexor {

// Calls the operation of the script name with converted arguments. std::nullopt, with the reason
// in *error, when the call fails; unknown names, a wrong number of arguments or an argument of the
// wrong type fail so and change nothing.
std::optional<ScriptValue> callScriptOperation(LexorPeek& peek, std::string_view scriptName,
                                               const std::vector<ScriptValue>& args,
                                               std::string* error);

// One request line or body in, one response (a single line of JSON, no line feed) out. A request
// is one call object, or an array of 1 to 1,000 of them carried out in order, answered by the
// array of their answers, each as if sent alone; a malformed array runs nothing.
std::string handleScriptRequest(LexorPeek& peek, std::string_view requestJson);

// What one request of a network host may take, so that no page can hold the server from the
// others: wall time from the request's start, bytes of answer, and a stop the server may ask
// for. The library, the repl and the command line give none and keep answers whole.
struct RequestBudget {
  std::chrono::milliseconds time = std::chrono::milliseconds::max();
  size_t maxAnswerBytes = SIZE_MAX;
  std::stop_token stop = {};
};

// The same within a budget, checked between the calls of a batch: once the time is spent or an
// answer would take the whole past the bytes, that call and the ones after it answer
// {"error": "request too large: ..."} (after a stop, "the server is stopping"); the calls done
// keep their answers. A single consult whose answer would pass the bound gives that error
// without being built.
std::string handleScriptRequest(LexorPeek& peek, std::string_view requestJson,
                                const RequestBudget& budget);

// A script value as the protocol writes it (one line of JSON, always valid UTF-8).
std::string scriptValueToJson(const ScriptValue& value);

// The sixteen page script names, in table order (the additions have no selector, so are not
// listed).
const std::vector<std::string>& scriptNames();

}  // namespace lexor
