#include "hosts/cli/entry_format.h"

#include "plugin/entry_text.h"
#include "plugin/script_dispatcher.h"

namespace lexor::cli {

std::optional<EntryFormat> parseEntryFormat(std::string_view name) {
  if (name == "text") return EntryFormat::kText;
  if (name == "html") return EntryFormat::kHtml;
  if (name == "json") return EntryFormat::kJson;
  return std::nullopt;
}

std::optional<std::string> formatCurrentEntry(LexorPeek& peek, EntryFormat format) {
  switch (format) {
    case EntryFormat::kHtml: {
      std::optional<UString> html = peek._getRecordAsHTML();
      if (!html) return std::nullopt;
      return toUtf8(*html) + "\n";
    }
    case EntryFormat::kJson: {
      std::optional<ScriptList> record = peek._getRecord();
      if (!record) return std::nullopt;
      return scriptValueToJson(ScriptValue(std::move(*record))) + "\n";
    }
    case EntryFormat::kText: {
      std::optional<ScriptList> record = peek._getRecord();
      if (!record) return std::nullopt;
      return terminalText(*record);
    }
  }
  return std::nullopt;
}

std::string formatRecord(const Record& record, EntryFormat format) {
  switch (format) {
    case EntryFormat::kHtml:
      return toUtf8(recordAsHTML(record)) + "\n";
    case EntryFormat::kJson:
      return scriptValueToJson(ScriptValue(recordAsList(record))) + "\n";
    case EntryFormat::kText:
      return terminalText(recordAsList(record));
  }
  return {};
}

}  // namespace lexor::cli
