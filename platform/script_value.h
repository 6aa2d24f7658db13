// Values that cross the script bridge between a page and the plug-in object: none (also the
// null marker inside lists), booleans, 32-bit integers, strings and lists.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "platform/ustring.h"

namespace lexor {

struct ScriptNull {
  bool operator==(const ScriptNull&) const = default;
};

class ScriptValue;
using ScriptList = std::vector<ScriptValue>;

class ScriptValue {
 public:
  using Storage = std::variant<ScriptNull, bool, int32_t, UString, ScriptList>;

  ScriptValue() = default;
  ScriptValue(ScriptNull) {}
  ScriptValue(bool b) : value_(b) {}
  ScriptValue(int32_t i) : value_(i) {}
  ScriptValue(UString s) : value_(std::move(s)) {}
  ScriptValue(ScriptList l) : value_(std::move(l)) {}

  bool isNull() const { return std::holds_alternative<ScriptNull>(value_); }
  bool isBool() const { return std::holds_alternative<bool>(value_); }
  bool isInt() const { return std::holds_alternative<int32_t>(value_); }
  bool isString() const { return std::holds_alternative<UString>(value_); }
  bool isList() const { return std::holds_alternative<ScriptList>(value_); }

  bool asBool() const { return std::get<bool>(value_); }
  int32_t asInt() const { return std::get<int32_t>(value_); }
  const UString& asString() const { return std::get<UString>(value_); }
  const ScriptList& asList() const { return std::get<ScriptList>(value_); }

  const Storage& storage() const { return value_; }
  bool operator==(const ScriptValue&) const = default;

 private:
  Storage value_;
};

// The root of objects a page can see (the plug-in object is one).
class ScriptObject {
 public:
  virtual ~ScriptObject() = default;
};

// The page's window script object, as the host hands it to the plug-in object.
class WindowScriptObject {
 public:
  virtual ~WindowScriptObject() = default;
  virtual void setValue(ScriptObject* value, const UString& key) = 0;
};

// The host's view; nothing in the system reads it.
class WebView {
 public:
  virtual ~WebView() = default;
};

}  // namespace lexor
