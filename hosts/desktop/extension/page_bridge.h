// The page's window script object inside WebKit's web process: the plug-in object registers
// itself on it, and this puts the object on the page's JavaScript window as a frozen
// `LexorPeek` whose operations answer synchronously, plus `LexorPeek.async` (Promises from the
// same calls, and `batch`), so the widget runs unchanged here and over HTTP.
#pragma once

#include <JavaScriptCore/JavaScript.h>

#include <memory>

#include "platform/script_value.h"
#include "plugin/lexor_peek.h"

namespace lexor::desktop {

class PageWindowObject : public WindowScriptObject {
 public:
  // `peek` is the page's own object, which its owner keeps for as long as the page shows the
  // document; the page's functions only refer to it, so a call from a document gone is refused.
  PageWindowObject(JSGlobalContextRef context, std::weak_ptr<LexorPeek> peek)
      : _context(context), _peek(std::move(peek)) {}

  void setValue(ScriptObject* value, const UString& key) override;

 private:
  JSGlobalContextRef _context;  // not owned: the frame's context, alive while the page is
  std::weak_ptr<LexorPeek> _peek;
};

}  // namespace lexor::desktop
