// The plug-in object itself: construction as a host does it, registration on the page, and the
// script-name table that decides what the page may call and under which names.
#include "plugin/lexor_peek.h"

#include <array>

#include "platform/log.h"

namespace lexor {
namespace {

struct ScriptName {
  std::string_view selector;
  std::string_view name;
};

// In the order in which webScriptNameForSelector tests them. Script names drop the leading
// underscore and any colon, except that _removeDics is known to the page as "removeDictionaries".
constexpr std::array<ScriptName, 16> kScriptNames = {{
    {"_addDictionary:", "addDictionary"},
    {"_removeDics", "removeDictionaries"},
    {"_consult:", "consult"},
    {"_queryWithWord:", "queryWithWord"},
    {"_moveNext", "moveNext"},
    {"_isEOF", "isEOF"},
    {"_getRecord", "getRecord"},
    {"_getRecordAsText", "getRecordAsText"},
    {"_getRecordAsHTML", "getRecordAsHTML"},
    {"_getDicDir", "getDicDir"},
    {"_dicCount", "dicCount"},
    {"_dicPathsInDir", "dicPathsInDir"},
    {"_dicNamesInDir", "dicNamesInDir"},
    {"_useNthDic:", "useNthDic"},
    {"_useAmbora", "useAmbora"},
    {"_isAmboraAvailable", "isAmboraAvailable"},
}};

const ScriptName* findSelector(std::string_view selector) {
  for (const ScriptName& entry : kScriptNames) {
    if (entry.selector == selector) return &entry;
  }
  return nullptr;
}

}  // namespace

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
  if (const ScriptName* entry = findSelector(selector)) return std::string(entry->name);
  logFormat("\tunknown selector");
  return std::nullopt;
}

bool LexorPeek::isSelectorExcludedFromWebScript(std::string_view selector) {
  return findSelector(selector) == nullptr;
}

// No member is ever a property of the page; it reads state through the operations only.
bool LexorPeek::isKeyExcludedFromWebScript(const char* /*name*/) { return true; }

}  // namespace lexor
