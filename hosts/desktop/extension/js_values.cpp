#include "hosts/desktop/extension/js_values.h"

#include <cmath>
#include <limits>
#include <string>

namespace lexor::desktop {
namespace {

// A list is what no operation takes as an argument, whichever kind it expects.
ScriptValue refused() { return ScriptValue(ScriptList{}); }

std::string utf8Of(JSCValue* value) {
  char* text = jsc_value_to_string(value);
  std::string copy = text ? text : "";
  g_free(text);
  return copy;
}

}  // namespace

ScriptValue scriptValueFromJs(JSCValue* value) {
  if (jsc_value_is_null(value) || jsc_value_is_undefined(value)) return ScriptValue(ScriptNull{});
  if (jsc_value_is_boolean(value)) return ScriptValue(jsc_value_to_boolean(value) != FALSE);
  if (jsc_value_is_string(value)) return ScriptValue(fromUtf8(utf8Of(value)));
  if (jsc_value_is_number(value)) {
    const double number = jsc_value_to_double(value);
    if (std::trunc(number) != number || number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max()) {
      return refused();
    }
    return ScriptValue(static_cast<int32_t>(number));
  }
  return refused();
}

JSCValue* jsValueFromScript(JSCContext* context, const ScriptValue& value) {
  struct Visitor {
    JSCContext* context;
    JSCValue* operator()(ScriptNull) const { return jsc_value_new_null(context); }
    JSCValue* operator()(bool b) const { return jsc_value_new_boolean(context, b); }
    JSCValue* operator()(int32_t i) const { return jsc_value_new_number(context, i); }
    JSCValue* operator()(const UString& s) const {
      // By length, not up to a NUL, and copied by JavaScriptCore before this returns.
      const std::string utf8 = toUtf8(s);
      GBytes* bytes = g_bytes_new_static(utf8.data(), utf8.size());
      JSCValue* string = jsc_value_new_string_from_bytes(context, bytes);
      g_bytes_unref(bytes);
      return string;
    }
    JSCValue* operator()(const ScriptList& list) const {
      GPtrArray* items = g_ptr_array_new_full(static_cast<guint>(list.size()), g_object_unref);
      for (const ScriptValue& item : list) g_ptr_array_add(items, jsValueFromScript(context, item));
      JSCValue* array = jsc_value_new_array_from_garray(context, items);
      g_ptr_array_unref(items);
      return array;
    }
  };
  return std::visit(Visitor{context}, value.storage());
}

}  // namespace lexor::desktop
