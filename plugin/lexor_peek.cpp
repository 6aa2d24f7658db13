// The plug-in object itself: construction as a host does it, registration on the page, and what
// the page may call and under which names (the page operations of the script-operation table).
#include "plugin/lexor_peek.h"

#include "platform/log.h"
#include "plugin/script_operations.h"

namespace lexor {

std::shared_ptr<LexorPeek> LexorPeek::initWithWebView(WebView* webView) {
  std::shared_ptr<LexorPeek> peek(new LexorPeek());
  peek->_webView = webView;
  peek->_rs[0] = LexorRecordset::init();
  peek->_rs[1] = LexorRecordset::init();
  peek->findDictionaryFolder();
  peek->_dicPathsInDir();  // fills the lists, suite positions and versions
  return peek;
}

// The recordsets let their dictionaries go with them; nothing else needs ordering.
LexorPeek::~LexorPeek() = default;

void LexorPeek::windowScriptObjectAvailable(WindowScriptObject* windowScriptObject) {
  if (windowScriptObject == nullptr) return;
  windowScriptObject->setValue(this, u"LexorPeek");
}

std::optional<std::string> LexorPeek::webScriptNameForSelector(std::string_view selector) {
  if (const ScriptOperation* op = findOperationBySelector(selector)) return std::string(op->name);
  logFormat("\tunknown selector");
  return std::nullopt;
}

bool LexorPeek::isSelectorExcludedFromWebScript(std::string_view selector) {
  return findOperationBySelector(selector) == nullptr;
}

// No member is ever a property of the page; it reads state through the operations only.
bool LexorPeek::isKeyExcludedFromWebScript(const char* /*name*/) { return true; }

}  // namespace lexor
