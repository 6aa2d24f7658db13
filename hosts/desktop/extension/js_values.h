// Values between JavaScriptCore and the script operations, converted as the JSON protocol
// converts them, so that a call answers here exactly as it does in `lexorpeek repl`.
#pragma once

#include <jsc/jsc.h>

#include "platform/script_value.h"

namespace lexor::desktop {

// null and undefined are none; booleans, strings and whole numbers within 32 bits are
// themselves. Anything else (fractions, objects, arrays) becomes a value that no operation takes,
// so the call is refused with the protocol's own "must be" message.
ScriptValue scriptValueFromJs(JSCValue* value);

// A new reference to the JavaScript value of a result.
JSCValue* jsValueFromScript(JSCContext* context, const ScriptValue& value);

}  // namespace lexor::desktop
