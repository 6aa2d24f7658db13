// The page's `LexorPeek` in process. Each operation is a native JavaScript function that converts
// its arguments, runs the operation through the same table and checks as `lexorpeek repl`, and
// answers the result or throws an Error with the protocol's message. The asynchronous side is a
// few lines of script over those functions; a batch goes through the protocol's own batch
// handling, so its checks (1 to 1,000 calls, objects only) and answers are the same as over HTTP.
#include "hosts/desktop/extension/page_bridge.h"

#include <string>
#include <vector>

#include "hosts/desktop/extension/js_values.h"
#include "platform/log.h"
#include "plugin/script_dispatcher.h"

namespace lexor::desktop {
namespace {

// What one native function calls: an operation of the page's object, or the batch entry.
struct NativeCall {
  std::shared_ptr<LexorPeek> peek;
  std::string name;
};

void dropNativeCall(gpointer data) { delete static_cast<NativeCall*>(data); }

JSCValue* callOperation(GPtrArray* args, gpointer data) {
  const auto* target = static_cast<NativeCall*>(data);
  std::vector<ScriptValue> values;
  values.reserve(args->len);
  for (guint i = 0; i < args->len; ++i) {
    values.push_back(scriptValueFromJs(static_cast<JSCValue*>(g_ptr_array_index(args, i))));
  }
  JSCContext* context = jsc_context_get_current();
  const ScriptCallResult result = callScriptOperation(*target->peek, target->name, values);
  if (const auto* error = std::get_if<ScriptError>(&result)) {
    jsc_context_throw(context, error->message.c_str());
    return nullptr;
  }
  return jsValueFromScript(context, std::get<ScriptValue>(result));
}

// One JSON request (a batch) in, its JSON answer out, as the protocol's other hosts carry it.
JSCValue* callBatch(GPtrArray* args, gpointer data) {
  const auto* target = static_cast<NativeCall*>(data);
  JSCContext* context = jsc_context_get_current();
  if (args->len != 1 || !jsc_value_is_string(static_cast<JSCValue*>(g_ptr_array_index(args, 0)))) {
    jsc_context_throw(context, "batch: the request must be a string");
    return nullptr;
  }
  char* request = jsc_value_to_string(static_cast<JSCValue*>(g_ptr_array_index(args, 0)));
  const std::string answer = handleScriptRequest(*target->peek, request);
  g_free(request);
  return jsc_value_new_string(context, answer.c_str());
}

JSCValue* nativeFunction(JSCContext* context, const std::shared_ptr<LexorPeek>& peek,
                         const std::string& name, JSCValue* (*call)(GPtrArray*, gpointer)) {
  return jsc_value_new_function_variadic(context, name.c_str(), G_CALLBACK(call),
                                         new NativeCall{peek, name}, dropNativeCall,
                                         JSC_TYPE_VALUE);
}

// Runs before any script of the page: it takes the native functions, builds the object the page
// sees and defines it on the window, frozen, so that no page script can replace an operation.
// The JSON functions are taken now for the same reason.
constexpr const char* kInstallScript = R"js((function (key, native, batchNative) {
  'use strict';
  const stringify = JSON.stringify, parse = JSON.parse, slice = Array.prototype.slice,
        map = Array.prototype.map, isArray = Array.isArray;
  const bridge = {}, later = {};
  for (const name of Object.keys(native)) {
    const call = native[name];
    bridge[name] = call;
    later[name] = function () {
      const args = arguments;
      return new Promise(function (resolve) { resolve(call.apply(null, args)); });
    };
  }
  later.batch = function (calls) {
    return new Promise(function (resolve) {
      const request = stringify(map.call(calls, function (call) {
        return { op: call.op, args: call.args ? slice.call(call.args) : [] };
      }));
      const answer = parse(batchNative(request));
      if (!isArray(answer)) throw new Error(String(answer.error));
      resolve(answer);
    });
  };
  bridge.async = Object.freeze(later);
  Object.defineProperty(window, key, {
    value: Object.freeze(bridge), enumerable: true, writable: false, configurable: false,
  });
}))js";

// The page object's names: the sixteen operations, then full-text search, which the hosts add
// to it (the other additions are reached through a batch).
std::vector<std::string> pageNames() {
  std::vector<std::string> names = scriptNames();
  names.insert(names.end(), {"searchText", "searchProgress"});
  return names;
}

}  // namespace

void PageWindowObject::setValue(ScriptObject* value, const UString& key) {
  if (value != _peek.get()) return;  // this window carries only the object made for its page
  JSCValue* native = jsc_value_new_object(_context, nullptr, nullptr);
  for (const std::string& name : pageNames()) {
    JSCValue* function = nativeFunction(_context, _peek, name, callOperation);
    jsc_value_object_set_property(native, name.c_str(), function);
    g_object_unref(function);
  }
  JSCValue* batch = nativeFunction(_context, _peek, "batch", callBatch);
  JSCValue* install = jsc_context_evaluate(_context, kInstallScript, -1);
  JSCValue* keyValue = jsc_value_new_string(_context, toUtf8(key).c_str());
  JSCValue* done = jsc_value_function_call(install, JSC_TYPE_VALUE, keyValue, JSC_TYPE_VALUE,
                                           native, JSC_TYPE_VALUE, batch, G_TYPE_NONE);
  if (JSCException* exception = jsc_context_get_exception(_context)) {
    logFormat("LexorPeek: cannot register on the page: %s\n", jsc_exception_get_message(exception));
    jsc_context_clear_exception(_context);
  }
  g_clear_object(&done);
  g_object_unref(keyValue);
  g_object_unref(install);
  g_object_unref(batch);
  g_object_unref(native);
}

}  // namespace lexor::desktop
