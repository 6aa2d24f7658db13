// Values that cross the script bridge between a page and the plug-in object: none (also the
// null marker inside lists), booleans, 32-bit integers, strings, lists and named members.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/ustring.h"

namespace lexor {

struct ScriptNull {
  bool operator==(const ScriptNull&) const = default;
};

class ScriptValue;
using ScriptList = std::vector<ScriptValue>;

// A value made of named members in order, such as {"word": ..., "rules": [...]}; only the
// protocol's additions answer with one, never a page operation.
struct ScriptMembers {
  std::vector<std::string> names;
  ScriptList values;  // values[i] is the member names[i]
  bool operator==(const ScriptMembers&) const = default;
};

class ScriptValue {
 public:
  using Storage = std::variant<ScriptNull, bool, int32_t, UString, ScriptList, ScriptMembers>;

  ScriptValue() = default;
  ScriptValue(ScriptNull) {}
  ScriptValue(bool b) : _value(b) {}
  ScriptValue(int32_t i) : _value(i) {}
  ScriptValue(UString s) : _value(std::move(s)) {}
  ScriptValue(ScriptList l) : _value(std::move(l)) {}
  ScriptValue(ScriptMembers m) : _value(std::move(m)) {}

  bool isNull() const { return std::holds_alternative<ScriptNull>(_value); }
  bool isBool() const { return std::holds_alternative<bool>(_value); }
  bool isInt() const { return std::holds_alternative<int32_t>(_value); }
  bool isString() const { return std::holds_alternative<UString>(_value); }
  bool isList() const { return std::holds_alternative<ScriptList>(_value); }

  bool asBool() const { return std::get<bool>(_value); }
  int32_t asInt() const { return std::get<int32_t>(_value); }
  const UString& asString() const { return std::get<UString>(_value); }
  const ScriptList& asList() const { return std::get<ScriptList>(_value); }

  const Storage& storage() const { return _value; }
  bool operator==(const ScriptValue&) const = default;

 private:
  Storage _value;
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
