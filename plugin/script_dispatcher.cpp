// The script-call protocol: JSON requests naming an operation by its script name, checked in
// full before the operation runs, so that a bad request answers an error and changes nothing.
#include "plugin/script_dispatcher.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <variant>

namespace lexor {
namespace {

using nlohmann::json;

ScriptValue none() { return ScriptValue(ScriptNull{}); }

const char* argumentTypeName(ArgumentKind argument) {
  switch (argument) {
    case ArgumentKind::kString:
      return "a string";
    case ArgumentKind::kInteger:
      return "a 32-bit integer";
  }
  return "nothing";
}

bool argumentFits(ArgumentKind argument, const ScriptValue& value) {
  switch (argument) {
    case ArgumentKind::kString:
      return value.isString();
    case ArgumentKind::kInteger:
      return value.isInt();
  }
  return false;
}

std::string countError(const ScriptOperation& op, size_t given) {
  const size_t expected = op.arguments.size();
  return std::string(op.name) + " takes " + std::to_string(expected) + " argument" +
         (expected == 1 ? "" : "s") + ", got " + std::to_string(given);
}

std::string typeError(const ScriptOperation& op, size_t index) {
  const std::string which =
      op.arguments.size() == 1 ? "the argument" : "argument " + std::to_string(index + 1);
  return std::string(op.name) + ": " + which + " must be " + argumentTypeName(op.arguments[index]);
}

bool checkArguments(const ScriptOperation& op, const std::vector<ScriptValue>& args,
                    std::string* error) {
  if (args.size() != op.arguments.size()) {
    *error = countError(op, args.size());
    return false;
  }
  for (size_t i = 0; i < args.size(); ++i) {
    if (!argumentFits(op.arguments[i], args[i])) {
      *error = typeError(op, i);
      return false;
    }
  }
  return true;
}

// JSON values that can be an operation's argument; anything else (fractions, arrays, objects,
// integers beyond 32 bits) has no script value that an operation takes.
std::optional<ScriptValue> fromJson(const json& value) {
  switch (value.type()) {
    case json::value_t::null:
      return none();
    case json::value_t::boolean:
      return ScriptValue(value.get<bool>());
    case json::value_t::string:
      return ScriptValue(fromUtf8(value.get_ref<const std::string&>()));
    case json::value_t::number_integer: {
      const auto n = value.get<int64_t>();
      if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return std::nullopt;
      return ScriptValue(static_cast<int32_t>(n));
    }
    case json::value_t::number_unsigned: {
      const auto n = value.get<uint64_t>();
      if (n > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return std::nullopt;
      return ScriptValue(static_cast<int32_t>(n));
    }
    default:
      return std::nullopt;
  }
}

json toJson(const ScriptValue& value) {
  struct Visitor {
    json operator()(ScriptNull) const { return nullptr; }
    json operator()(bool b) const { return b; }
    json operator()(int32_t i) const { return i; }
    json operator()(const UString& s) const { return toUtf8(s); }
    json operator()(const ScriptList& list) const {
      json array = json::array();
      for (const ScriptValue& item : list) array.push_back(toJson(item));
      return array;
    }
    json operator()(const ScriptMembers& members) const {
      json object = json::object();
      for (size_t i = 0; i < members.names.size() && i < members.values.size(); ++i)
        object[members.names[i]] = toJson(members.values[i]);
      return object;
    }
  };
  return std::visit(Visitor{}, value.storage());
}

constexpr size_t kMaxBatchCalls = 1000;

std::string describeTime(std::chrono::milliseconds time) {
  const auto ms = time.count();
  return ms > 0 && ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

std::string describeBytes(size_t bytes) {
  constexpr size_t kMiB = 1 << 20;
  return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                           : std::to_string(bytes) + " bytes";
}

std::string dump(const json& response) {
  // Strings come from the system as valid UTF-8, but a response must stay valid JSON whatever
  // happens, so anything malformed is replaced rather than thrown about.
  return response.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The parser's message says where and why; the library's "[json.exception...] " tag is dropped.
std::optional<json> parseJson(std::string_view text, std::string* error) {
  try {
    return json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    std::string_view why = e.what();
    if (const size_t tagEnd = why.find("] ");
        why.starts_with('[') && tagEnd != std::string_view::npos) {
      why.remove_prefix(tagEnd + 2);
    }
    *error = "request is not JSON: " + std::string(why);
    return std::nullopt;
  }
}

// The operation and the arguments of one call object; false, with the reason in *error, when the
// object names no operation or gives arguments that no script value holds.
bool parseCall(const json& request, const ScriptOperation** op, std::vector<ScriptValue>* args,
               std::string* error) {
  if (!request.is_object()) {
    *error = "request must be a JSON object";
    return false;
  }
  const auto opField = request.find("op");
  if (opField == request.end() || !opField->is_string()) {
    *error = "request needs \"op\", a script name as a string";
    return false;
  }
  const std::string& name = opField->get_ref<const std::string&>();
  *op = findOperationByName(name);
  if (*op == nullptr) {
    *error = "unknown operation: " + name;
    return false;
  }

  const auto argsField = request.find("args");
  if (argsField == request.end()) return true;
  if (!argsField->is_array()) {
    *error = name + ": \"args\" must be an array";
    return false;
  }
  if (argsField->size() != (*op)->arguments.size()) {
    *error = countError(**op, argsField->size());
    return false;
  }
  for (const json& arg : *argsField) {
    std::optional<ScriptValue> value = fromJson(arg);
    if (!value) {
      *error = typeError(**op, args->size());
      return false;
    }
    args->push_back(std::move(*value));
  }
  return true;
}

json errorAnswer(std::string message) {
  // Parser messages may quote the request; the answer stays one line saying why.
  for (char& c : message) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return json{{"error", std::move(message)}};
}

// `maxBytes` bounds the answer of an operation that can build a very large one; nullopt when it
// would pass that.
std::optional<json> answerCall(LexorPeek& peek, const json& request, size_t maxBytes = SIZE_MAX) {
  const ScriptOperation* op = nullptr;
  std::vector<ScriptValue> args;
  std::string error;
  if (!parseCall(request, &op, &args, &error)) return errorAnswer(std::move(error));
  std::optional<ScriptValue> result;
  if (maxBytes != SIZE_MAX && op->boundedCall) {
    // The bounded call reads its arguments as the operation's kinds, so they are checked first,
    // as callScriptOperation checks them for the plain call.
    if (!checkArguments(*op, args, &error)) return errorAnswer(std::move(error));
    result = op->boundedCall(peek, args, maxBytes);
    if (!result) return std::nullopt;
  } else {
    result = callScriptOperation(peek, op->name, args, &error);
    if (!result) return errorAnswer(std::move(error));
  }
  return json{{"result", toJson(*result)}};
}

// A batch is checked as a whole before any call runs, so that a malformed one changes nothing.
bool checkBatch(const json& batch, std::string* error) {
  if (batch.empty() || batch.size() > kMaxBatchCalls) {
    *error = "a batch holds 1 to " + std::to_string(kMaxBatchCalls) + " calls, got " +
             std::to_string(batch.size());
    return false;
  }
  for (size_t i = 0; i < batch.size(); ++i) {
    if (!batch[i].is_object()) {
      *error = "batch call " + std::to_string(i) + " must be a JSON object";
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<std::string>& scriptNames() {
  static const std::vector<std::string> kNames = [] {
    std::vector<std::string> names;
    for (const ScriptOperation& op : scriptOperations()) {
      if (!op.selector.empty()) names.emplace_back(op.name);
    }
    return names;
  }();
  return kNames;
}

std::string scriptValueToJson(const ScriptValue& value) { return dump(toJson(value)); }

std::optional<ScriptValue> callScriptOperation(LexorPeek& peek, std::string_view scriptName,
                                               const std::vector<ScriptValue>& args,
                                               std::string* error) {
  const ScriptOperation* op = findOperationByName(scriptName);
  if (op == nullptr) {
    *error = "unknown operation: " + std::string(scriptName);
    return std::nullopt;
  }
  if (!checkArguments(*op, args, error)) return std::nullopt;
  return op->call(peek, args, error);
}

std::string handleScriptRequest(LexorPeek& peek, std::string_view requestJson) {
  return handleScriptRequest(peek, requestJson, RequestBudget{});
}

std::string handleScriptRequest(LexorPeek& peek, std::string_view requestJson,
                                const RequestBudget& budget) {
  const auto started = std::chrono::steady_clock::now();
  std::string error;
  const std::optional<json> request = parseJson(requestJson, &error);
  if (!request) return dump(errorAnswer(std::move(error)));
  const bool batch = request->is_array();
  if (batch && !checkBatch(*request, &error)) return dump(errorAnswer(std::move(error)));
  // The answers are written one after another as the array's dump would write them, so that
  // each one's size is known as it comes.
  std::string out = batch ? "[" : "";
  std::optional<std::string> spent;  // why the calls left are not run, once they are not
  const size_t calls = batch ? request->size() : 1;
  for (size_t i = 0; i < calls; ++i) {
    const json& call = batch ? (*request)[i] : *request;
    if (i > 0) out += ',';
    if (!spent && budget.stop.stop_requested()) spent = "the server is stopping";
    if (!spent && budget.time != std::chrono::milliseconds::max() &&
        std::chrono::steady_clock::now() - started > budget.time)
      spent = "request too large: more than " + describeTime(budget.time) + " of work";
    const size_t room = out.size() < budget.maxAnswerBytes ? budget.maxAnswerBytes - out.size() : 0;
    std::optional<std::string> answer;
    if (!spent) {
      if (std::optional<json> done = answerCall(peek, call, room)) answer = dump(*done);
      if (!answer || answer->size() + 1 > room)
        spent = "request too large: an answer of more than " + describeBytes(budget.maxAnswerBytes);
    }
    out += spent ? dump(errorAnswer(*spent)) : *answer;
  }
  if (batch) out += ']';
  return out;
}

}  // namespace lexor
