// Queries for the page and the three forms in which it fetches the entry under the cursor: a
// list of five values, a line of text and an HTML fragment.
#include <algorithm>

#include "platform/log.h"
#include "plugin/lexor_peek.h"

namespace lexor {
namespace {

constexpr size_t kTextCapacity = 4096;
constexpr size_t kHtmlCapacity = 2048;

// Japanese punctuation, kana, kanji, Hangul, full-width forms and surrogates all lie above the
// ideographic space; it and everything below it do not count.
constexpr char16_t kIdeographicSpace = 0x3000;

ScriptValue stringOrNull(const std::optional<UString>& text) {
  return text ? ScriptValue(*text) : ScriptValue(ScriptNull{});
}

// A head word that did not decode is left out of the record; the entry is still shown, with an
// empty head word, so that its other fields are not lost.
const UString& headWord(const Record& record) {
  static const UString kEmpty;
  return record.eword ? *record.eword : kEmpty;
}

// Bytes the text takes as UTF-8 (a surrogate pair's two units take four).
size_t utf8Length(UStringView text) {
  size_t bytes = 0;
  for (const char16_t unit : text)
    bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : (unit >> 11) == 0x1B ? 2 : 3;
  return bytes;
}

}  // namespace

bool isJapaneseWord(UStringView word) {
  return std::any_of(word.begin(), word.end(),
                     [](char16_t unit) { return unit > kIdeographicSpace; });
}

ScriptList recordAsList(const Record& record) {
  return ScriptList{
      stringOrNull(record.eword),
      stringOrNull(record.pron),
      record.level ? ScriptValue(*record.level) : ScriptValue(ScriptNull{}),
      stringOrNull(record.jword),
      stringOrNull(record.example),
  };
}

UString recordAsText(const Record& record) {
  UString text;
  text.reserve(kTextCapacity);
  text += headWord(record);
  if (record.pron) text += u" [" + *record.pron + u"]";
  if (record.jword) text += u"<br>" + *record.jword;
  if (record.example) text += u"<br>" + *record.example;
  return text;
}

// The record's texts may carry markup of their own, so they go in unescaped.
UString recordAsHTML(const Record& record) {
  UString html;
  html.reserve(kHtmlCapacity);
  html += u"<span class=\"m\"><span class=\"f1\">";
  html += headWord(record);
  html += u"</span>";
  if (record.pron) html += u" <span class=\"f2\">[" + *record.pron + u"]</span>";
  html += u"</span>";
  if (record.jword) html += u"<span class=\"f4\">" + *record.jword + u"</span>";
  if (record.example) html += u"<br/><span class=\"f5\">&loz; " + *record.example + u"</span>";
  return html;
}

bool LexorPeek::_queryWithWord(const UString& word) {
  if (!_amboraMode) {
    _currRs = 0;
    return _rs[0]->queryWithWord(word);
  }
  const bool japanese = isJapaneseWord(word);
  _amboraMode = false;
  if (japanese) {
    _currRs = 1;
    _useNthDic(_revoraDicID);
  } else {
    _currRs = 0;
    _useNthDic(_amboraDicID);
  }
  const bool found = currentRecordset().queryWithWord(word);
  _amboraMode = true;
  return found;
}

bool LexorPeek::_moveNext() { return currentRecordset().moveNext(); }

bool LexorPeek::_isEOF() { return currentRecordset().isEOF(); }

std::optional<ScriptList> LexorPeek::_getRecord() {
  std::optional<Record> record = currentRecordset().getRecordAsDictionary();
  if (!record) return std::nullopt;
  return recordAsList(*record);
}

std::optional<Record> LexorPeek::recordUnlessAtEnd() {
  LexorRecordset& rs = currentRecordset();
  if (rs.isEOF()) return std::nullopt;
  return rs.getRecordAsDictionary();
}

std::optional<UString> LexorPeek::_getRecordAsText() {
  std::optional<Record> record = recordUnlessAtEnd();
  if (!record) return std::nullopt;
  return recordAsText(*record);
}

std::optional<UString> LexorPeek::_getRecordAsHTML() {
  std::optional<Record> record = recordUnlessAtEnd();
  if (!record) return std::nullopt;
  return recordAsHTML(*record);
}

std::optional<std::vector<UString>> LexorPeek::_consult(const UString& word) {
  bool tooLarge = false;
  return _consult(word, SIZE_MAX, &tooLarge);
}

std::optional<std::vector<UString>> LexorPeek::_consult(const UString& word, size_t maxBytes,
                                                        bool* tooLarge) {
  *tooLarge = false;
  if (!_rs[_currRs]) {
    logFormat("; no dictionaries...\n");
    return std::nullopt;
  }
  _amboraMode = false;
  _currRs = 0;
  LexorRecordset& rs = *_rs[0];
  rs.queryWithWord(word);
  std::vector<UString> fragments;
  size_t bytes = 0;
  while (!rs.isEOF()) {
    if (std::optional<UString> html = _getRecordAsHTML()) {
      bytes += utf8Length(*html);
      if (bytes > maxBytes) {
        *tooLarge = true;
        return std::nullopt;
      }
      fragments.push_back(std::move(*html));
    }
    rs.moveNext();
  }
  return fragments;
}

}  // namespace lexor
