// The web host's stand-in for a page's window script object: it records what the plug-in object
// registers on it, so that the server routes the page's calls to the object registered under the
// name the page uses.
#pragma once

#include <map>

#include "platform/script_value.h"

namespace lexor::web {

class HostWindow : public WindowScriptObject {
 public:
  void setValue(ScriptObject* value, const UString& key) override { values_[key] = value; }

  // The object registered under `key`, or nullptr.
  ScriptObject* valueForKey(const UString& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? nullptr : it->second;
  }

 private:
  std::map<UString, ScriptObject*> values_;
};

// The host's view. The plug-in object keeps a reference but never reads it.
class HostView : public WebView {};

}  // namespace lexor::web
