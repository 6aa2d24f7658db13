#include "hosts/desktop/extension/js_values.h"

#include <cmath>
#include <limits>

namespace lexor::desktop {
namespace {

// A list is what no operation takes as an argument, whichever kind it expects.
ScriptValue refused() { return ScriptValue(ScriptList{}); }

}  // namespace

JSValueRef jsString(JSContextRef context, UStringView text) {
  static_assert(sizeof(JSChar) == sizeof(char16_t));
  JSStringRef string =
      JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.data()), text.size());
  JSValueRef value = JSValueMakeString(context, string);
  JSStringRelease(string);
  return value;
}

ScriptValue scriptValueFromJs(JSContextRef context, JSValueRef value) {
  switch (JSValueGetType(context, value)) {
    case kJSTypeUndefined:
    case kJSTypeNull:
      return ScriptValue(ScriptNull{});
    case kJSTypeBoolean:
      return ScriptValue(JSValueToBoolean(context, value));
    case kJSTypeString: {
      JSStringRef string = JSValueToStringCopy(context, value, nullptr);
      if (string == nullptr) return refused();
      UString text(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(string)),
                   JSStringGetLength(string));
      JSStringRelease(string);
      return ScriptValue(std::move(text));
    }
    case kJSTypeNumber: {
      const double number = JSValueToNumber(context, value, nullptr);
      if (std::trunc(number) != number || number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return refused();
      }
      return ScriptValue(static_cast<int32_t>(number));
    }
    default:
      return refused();
  }
}

JSValueRef jsValueFromScript(JSContextRef context, const ScriptValue& value) {
  struct Visitor {
    JSContextRef context;
    JSValueRef operator()(ScriptNull) const { return JSValueMakeNull(context); }
    JSValueRef operator()(bool b) const { return JSValueMakeBoolean(context, b); }
    JSValueRef operator()(int32_t i) const { return JSValueMakeNumber(context, i); }
    JSValueRef operator()(const UString& s) const { return jsString(context, s); }
    JSValueRef operator()(const ScriptList& list) const {
      // Each item goes into the array as soon as it is made: a value held only on the heap is
      // not seen by the collector, which may run while the next one is made.
      JSObjectRef array = JSObjectMakeArray(context, 0, nullptr, nullptr);
      for (size_t i = 0; i < list.size(); ++i) {
        JSObjectSetPropertyAtIndex(context, array, static_cast<unsigned>(i),
                                   jsValueFromScript(context, list[i]), nullptr);
      }
      return array;
    }
    JSValueRef operator()(const ScriptMembers& members) const {
      JSObjectRef object = JSObjectMake(context, nullptr, nullptr);
      for (size_t i = 0; i < members.names.size() && i < members.values.size(); ++i) {
        JSStringRef name = JSStringCreateWithUTF8CString(members.names[i].c_str());
        JSObjectSetProperty(context, object, name, jsValueFromScript(context, members.values[i]),
                            kJSPropertyAttributeNone, nullptr);
        JSStringRelease(name);
      }
      return object;
    }
  };
  return std::visit(Visitor{context}, value.storage());
}

}  // namespace lexor::desktop
