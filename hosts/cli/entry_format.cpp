#include "hosts/cli/entry_format.h"

#include <array>

#include "plugin/script_dispatcher.h"

namespace lexor::cli {
namespace {

// The positions of a record's five values, as "getRecord" gives them.
enum RecordField { kHeadWord, kPronunciation, kLevel, kTranslation, kExample };

bool present(const ScriptList& record, RecordField field) {
  return record.size() > static_cast<size_t>(field) && record[field].isString();
}

std::string textAt(const ScriptList& record, RecordField field) {
  return present(record, field) ? toUtf8(record[field].asString()) : std::string();
}

// Each line of a field on its own indented line. The page's texts break lines with tags, and a
// code-page dictionary's line breaks arrive as "<>".
std::string indentedLines(const std::string& text, std::string_view indent) {
  static constexpr std::array<std::string_view, 4> kBreaks = {"<br>", "<br/>", "<br />", "<>"};
  std::string out(indent);
  for (size_t i = 0; i < text.size();) {
    bool isBreak = false;
    for (std::string_view tag : kBreaks) {
      if (std::string_view(text).substr(i).starts_with(tag)) {
        out += '\n';
        out += indent;
        i += tag.size();
        isBreak = true;
        break;
      }
    }
    if (isBreak) continue;
    if (text[i] == '\n') {
      out += '\n';
      out += indent;
    } else if (text[i] != '\r') {
      out += text[i];
    }
    ++i;
  }
  out += '\n';
  return out;
}

}  // namespace

std::optional<EntryFormat> parseEntryFormat(std::string_view name) {
  if (name == "text") return EntryFormat::kText;
  if (name == "html") return EntryFormat::kHtml;
  if (name == "json") return EntryFormat::kJson;
  return std::nullopt;
}

std::string terminalText(const ScriptList& record) {
  std::string out = textAt(record, kHeadWord);
  if (present(record, kPronunciation)) out += " [" + textAt(record, kPronunciation) + "]";
  out += '\n';
  if (present(record, kTranslation)) out += indentedLines(textAt(record, kTranslation), "  ");
  if (present(record, kExample)) out += indentedLines(textAt(record, kExample), "    ");
  return out;
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

}  // namespace lexor::cli
