// The page's `LexorPeek` in process. One native function per page, called from the page's small
// script as dispatch(INDEX, ...args), converts the arguments, runs the operation through the same
// table and checks as `lexorpeek repl`, and answers the result or throws an Error with the
// protocol's message. The engine's C interface keeps a call to a few microseconds: values and
// UTF-16 strings cross directly. A batch goes through the protocol's own batch handling, so its
// checks (1 to 1,000 calls, objects only) and answers are those of the other hosts.
#include "hosts/desktop/extension/page_bridge.h"

#include <string>
#include <vector>

#include "hosts/desktop/extension/js_values.h"
#include "platform/log.h"
#include "plugin/script_dispatcher.h"

namespace lexor::desktop {
namespace {

// The page object's names: the sixteen operations, then full-text search, which the hosts add
// to it (the other additions are reached through a batch). dispatch() takes a name's position;
// the position after the last is the batch.
const std::vector<std::string>& pageNames() {
  static const std::vector<std::string> kNames = [] {
    std::vector<std::string> names = scriptNames();
    names.insert(names.end(), {"searchText", "searchProgress"});
    return names;
  }();
  return kNames;
}

struct PageObject {
  std::weak_ptr<LexorPeek> peek;
};

JSValueRef fail(JSContextRef context, const std::string& message, JSValueRef* exception) {
  const JSValueRef text = jsString(context, fromUtf8(message));
  *exception = JSObjectMakeError(context, 1, &text, nullptr);
  return JSValueMakeUndefined(context);
}

// One JSON request (a batch) in, its JSON answer out, as the protocol's other hosts carry it.
JSValueRef runBatch(JSContextRef context, LexorPeek& peek, JSValueRef request,
                    JSValueRef* exception) {
  const ScriptValue text = scriptValueFromJs(context, request);
  if (!text.isString()) return fail(context, "batch: the request must be a string", exception);
  return jsString(context, fromUtf8(handleScriptRequest(peek, toUtf8(text.asString()))));
}

JSValueRef dispatch(JSContextRef context, JSObjectRef function, JSObjectRef, size_t count,
                    const JSValueRef arguments[], JSValueRef* exception) {
  const auto* page = static_cast<PageObject*>(JSObjectGetPrivate(function));
  if (page == nullptr || count == 0) return JSValueMakeUndefined(context);
  const std::shared_ptr<LexorPeek> peek = page->peek.lock();
  if (!peek) return fail(context, "LexorPeek: this page's document has been replaced", exception);
  const std::vector<std::string>& names = pageNames();
  const double which = JSValueToNumber(context, arguments[0], nullptr);
  if (which == static_cast<double>(names.size()) && count == 2) {
    return runBatch(context, *peek, arguments[1], exception);
  }
  if (!(which >= 0 && which < static_cast<double>(names.size()))) {
    return JSValueMakeUndefined(context);
  }
  std::vector<ScriptValue> values;
  values.reserve(count - 1);
  for (size_t i = 1; i < count; ++i) values.push_back(scriptValueFromJs(context, arguments[i]));
  std::string error;
  const std::optional<ScriptValue> result =
      callScriptOperation(*peek, names[static_cast<size_t>(which)], values, &error);
  if (!result) return fail(context, error, exception);
  return jsValueFromScript(context, *result);
}

JSClassRef dispatcherClass() {
  static const JSClassRef kClass = [] {
    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "LexorPeekDispatch";
    definition.callAsFunction = dispatch;
    definition.finalize = [](JSObjectRef object) {
      delete static_cast<PageObject*>(JSObjectGetPrivate(object));
    };
    return JSClassCreate(&definition);
  }();
  return kClass;
}

// Runs before any script of the page: it builds the object the page sees from the native
// dispatcher and defines it on the window, frozen, so that no page script can replace an
// operation. The JSON functions are taken now for the same reason.
constexpr const char* kInstallScript = R"js((function (key, names, dispatch) {
  'use strict';
  const stringify = JSON.stringify, parse = JSON.parse, slice = Array.prototype.slice,
        map = Array.prototype.map, isArray = Array.isArray;
  const bridge = {}, later = {};
  names.forEach(function (name, index) {
    const call = function () { return dispatch(index, ...arguments); };
    bridge[name] = call;
    later[name] = function () {
      const args = arguments;
      return new Promise(function (resolve) { resolve(call(...args)); });
    };
  });
  const batchIndex = names.length;
  later.batch = function (calls) {
    return new Promise(function (resolve) {
      const request = stringify(map.call(calls, function (call) {
        return { op: call.op, args: call.args ? slice.call(call.args) : [] };
      }));
      const answer = parse(dispatch(batchIndex, request));
      if (!isArray(answer)) throw new Error(String(answer.error));
      resolve(answer);
    });
  };
  bridge.async = Object.freeze(later);
  Object.defineProperty(window, key, {
    value: Object.freeze(bridge), enumerable: true, writable: false, configurable: false,
  });
}))js";

}  // namespace

void PageWindowObject::setValue(ScriptObject* value, const UString& key) {
  if (value != _peek.lock().get()) return;  // this window carries only its page's own object
  const std::vector<std::string>& names = pageNames();
  JSObjectRef nameList = JSObjectMakeArray(_context, 0, nullptr, nullptr);
  for (size_t i = 0; i < names.size(); ++i) {
    JSObjectSetPropertyAtIndex(_context, nameList, static_cast<unsigned>(i),
                               jsString(_context, fromUtf8(names[i])), nullptr);
  }
  JSObjectRef dispatcher = JSObjectMake(_context, dispatcherClass(), new PageObject{_peek});

  JSValueRef exception = nullptr;
  JSStringRef script = JSStringCreateWithUTF8CString(kInstallScript);
  const JSValueRef install = JSEvaluateScript(_context, script, nullptr, nullptr, 1, &exception);
  JSStringRelease(script);
  if (install != nullptr && JSValueIsObject(_context, install)) {
    const JSValueRef arguments[] = {jsString(_context, key), nameList, dispatcher};
    JSObjectCallAsFunction(_context, JSValueToObject(_context, install, nullptr), nullptr, 3,
                           arguments, &exception);
  }
  if (exception != nullptr) {
    const ScriptValue message = scriptValueFromJs(_context, exception);
    logFormat("LexorPeek: cannot register on the page: %s\n",
              message.isString() ? toUtf8(message.asString()).c_str() : "(no message)");
  }
}

}  // namespace lexor::desktop
