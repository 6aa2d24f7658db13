// Values between JavaScriptCore and the script operations, converted as the JSON protocol
// converts them, so that a call answers here exactly as it does in `lexorpeek repl`. Strings
// cross as UTF-16, the system's own form and the engine's, with no conversion between.
#pragma once

#include <JavaScriptCore/JavaScript.h>

#include "platform/script_value.h"

namespace lexor::desktop {

// null and undefined are none; booleans, strings and whole numbers within 32 bits are
// themselves. Anything else (fractions, objects, arrays) becomes a value that no operation takes,
// so the call is refused with the protocol's own "must be" message.
ScriptValue scriptValueFromJs(JSContextRef context, JSValueRef value);

// The JavaScript value of a result (a list becomes an array).
JSValueRef jsValueFromScript(JSContextRef context, const ScriptValue& value);

// A JavaScript string of UTF-16 text.
JSValueRef jsString(JSContextRef context, UStringView text);

}  // namespace lexor::desktop
