// A dictd definition is lines of UTF-8 text. Its first line usually names the head word again,
// with what a reader wants beside the translation:
//
//   head line      := form { "," form } [ rest ]
//   form           := { tag } text { pronunciation } { part-of-speech }
//   tag            := "[" ... "]" | "(" ... ")"     a written form's frequency marks ([ichi1],
//                                                   [news1], [nf07]) or notes; dropped
//   text           := characters up to a "/" or "<" that begins a word
//   pronunciation  := "/" ipa "/" | "//" ipa "//"   ipa in brackets ("[kʰæt]") is a narrow
//                                                   transcription, kept only when no broad
//                                                   one is given
//   part-of-speech := "<" name ">"                  shown as "(name)"
//
// An English-Japanese head line is one form ("cat //kæt// /[kʰæt]/ <n>"); a Japanese-English one
// lists every written form and reading, each with its transcription
// (" [ichi1]  猫 /.../,  [ichi1] ねこ /nˈe̞ko̞/"). The transcriptions of forms written with
// ideographs or full-width letters are guesses made character by character (a kanji becomes
// "(en)...(ja)", the transcriber's language switch, or only the kana beside it is spelled; a
// full-width letter is spelled by its name), so the pronunciation is
// taken from the head word's own form when it has a sound one, else from the first reading that
// has one. The other forms become the translation's first line, readings before written forms.
#include "tools/writer/dictd_definition.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace lexor::writer {
namespace {

// A head line names a few forms; a longer first line is kept as text rather than taken apart,
// since unclosed brackets and many forms make the parse quadratic in the line's length.
constexpr size_t kMaxHeadLineBytes = 4096;

struct Form {
  std::string_view text;
  std::vector<std::string_view> broad;   // /.../ and //...//
  std::vector<std::string_view> narrow;  // /[...]/, brackets taken off
};

struct HeadLine {
  std::vector<Form> forms;
  std::vector<std::string_view> partsOfSpeech;
  std::string_view rest;  // what follows the forms when it has no shape of theirs
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
  size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

// Position just past the ")" that closes the "(" at `open`, or npos.
size_t closeParenthesis(std::string_view line, size_t open) {
  int depth = 0;
  for (size_t i = open; i < line.size(); ++i) {
    if (line[i] == '(') ++depth;
    if (line[i] == ')' && --depth == 0) return i + 1;
  }
  return std::string_view::npos;
}

size_t skipBlanks(std::string_view line, size_t i) {
  while (i < line.size() && isBlank(line[i])) ++i;
  return i;
}

size_t skipTags(std::string_view line, size_t i) {
  for (;;) {
    i = skipBlanks(line, i);
    if (i >= line.size()) return i;
    size_t end = std::string_view::npos;
    if (line[i] == '[') {
      end = line.find(']', i);
      if (end != std::string_view::npos) ++end;
    } else if (line[i] == '(') {
      end = closeParenthesis(line, i);
    }
    if (end == std::string_view::npos) return i;
    i = end;
  }
}

// Takes the pronunciations and parts of speech after a form's text; false when one is not closed.
bool takeAnnotations(std::string_view line, size_t* i, Form* form, HeadLine* head) {
  for (;;) {
    size_t p = skipBlanks(line, *i);
    if (p >= line.size() || (line[p] != '/' && line[p] != '<')) {
      *i = p;
      return true;
    }
    if (line[p] == '<') {
      size_t close = line.find('>', p);
      if (close == std::string_view::npos) return false;
      head->partsOfSpeech.push_back(line.substr(p + 1, close - p - 1));
      *i = close + 1;
      continue;
    }
    size_t delimiterLength = std::min<size_t>(line.find_first_not_of('/', p) - p, 2);
    std::string_view delimiter = line.substr(p, delimiterLength);
    size_t close = line.find(delimiter, p + delimiterLength);
    if (close == std::string_view::npos) return false;
    std::string_view ipa = trim(line.substr(p + delimiterLength, close - p - delimiterLength));
    if (ipa.size() >= 2 && ipa.front() == '[' && ipa.back() == ']') {
      form->narrow.push_back(ipa.substr(1, ipa.size() - 2));
    } else if (!ipa.empty()) {
      form->broad.push_back(ipa);
    }
    *i = close + delimiterLength;
  }
}

HeadLine parseHeadLine(std::string_view line) {
  HeadLine head;
  size_t i = 0;
  while (i < line.size()) {
    size_t formStart = i;
    i = skipTags(line, i);
    size_t textStart = i;
    while (i < line.size() &&
           !((line[i] == '/' || line[i] == '<') && (i == textStart || isBlank(line[i - 1])))) {
      ++i;
    }
    Form form{trim(line.substr(textStart, i - textStart)), {}, {}};
    if (!takeAnnotations(line, &i, &form, &head)) {
      head.rest = trim(line.substr(formStart));
      break;
    }
    head.forms.push_back(form);
    if (i < line.size() && line[i] == ',') {
      ++i;
    } else if (i < line.size()) {
      head.rest = trim(line.substr(i));
      break;
    }
  }
  return head;
}

// Lower-cased letters and digits: dictfmt's index word drops case and punctuation.
std::u32string fold(std::string_view utf8) {
  std::u32string folded;
  for (int32_t i = 0, length = static_cast<int32_t>(utf8.size()); i < length;) {
    UChar32 c;
    U8_NEXT(utf8.data(), i, length, c);
    if (c >= 0 && u_isalnum(c)) folded += static_cast<char32_t>(u_tolower(c));
  }
  return folded;
}

bool hasIdeograph(std::string_view utf8) {
  for (int32_t i = 0, length = static_cast<int32_t>(utf8.size()); i < length;) {
    UChar32 c;
    U8_NEXT(utf8.data(), i, length, c);
    if (c >= 0 && u_hasBinaryProperty(c, UCHAR_IDEOGRAPHIC)) return true;
  }
  return false;
}

// Ideographs and full-width letters are transcribed one by one, by their names or not at all.
bool isTranscribedByCharacter(std::string_view utf8) {
  for (int32_t i = 0, length = static_cast<int32_t>(utf8.size()); i < length;) {
    UChar32 c;
    U8_NEXT(utf8.data(), i, length, c);
    if (c < 0) continue;
    if (u_hasBinaryProperty(c, UCHAR_IDEOGRAPHIC)) return true;
    if (u_isalnum(c) && u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH) == U_EA_FULLWIDTH) {
      return true;
    }
  }
  return false;
}

// "(en)", "(ja)": the transcriber switched language, spelling a character's name.
bool hasLanguageSwitch(std::string_view ipa) {
  for (size_t open = ipa.find('('); open != std::string_view::npos;
       open = ipa.find('(', open + 1)) {
    size_t close = ipa.find(')', open);
    if (close == std::string_view::npos) return false;
    std::string_view name = ipa.substr(open + 1, close - open - 1);
    if (name.size() >= 2 && name.size() <= 3 &&
        std::all_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
      return true;
    }
  }
  return false;
}

std::string soundPronunciation(const Form& form) {
  if (isTranscribedByCharacter(form.text)) return {};
  for (const std::vector<std::string_view>* kind : {&form.broad, &form.narrow}) {
    std::string joined;
    for (std::string_view ipa : *kind) {
      if (hasLanguageSwitch(ipa)) continue;
      if (!joined.empty()) joined += ", ";
      joined += ipa;
    }
    if (!joined.empty()) return joined;
  }
  return {};
}

size_t findHeadForm(const std::vector<Form>& forms, std::string_view headWord) {
  for (size_t i = 0; i < forms.size(); ++i) {
    if (forms[i].text == headWord) return i;
  }
  std::u32string folded = fold(headWord);
  for (size_t i = 0; i < forms.size(); ++i) {
    if (fold(forms[i].text) == folded) return i;
  }
  return 0;
}

bool isHeadLine(const HeadLine& head, std::string_view headWord) {
  if (!head.partsOfSpeech.empty()) return true;
  for (const Form& form : head.forms) {
    if (!form.broad.empty() || !form.narrow.empty()) return true;
  }
  if (head.forms.size() != 1 || !head.rest.empty()) return false;
  std::u32string folded = fold(headWord);
  return head.forms[0].text == headWord || (!folded.empty() && fold(head.forms[0].text) == folded);
}

// "phraseologicalUnit" reads as "phraseological unit".
std::string readablePartOfSpeech(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z' && i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z') {
      out += ' ';
      c = static_cast<char>(c - 'A' + 'a');
    }
    out += c;
  }
  return out;
}

// The forms other than the index word itself, readings (no ideographs) first.
std::vector<std::string_view> otherForms(const std::vector<Form>& forms,
                                         std::string_view headWord) {
  std::vector<std::string_view> others;
  for (const Form& form : forms) {
    if (form.text.empty() || form.text == headWord) continue;
    if (std::find(others.begin(), others.end(), form.text) == others.end()) {
      others.push_back(form.text);
    }
  }
  std::stable_partition(others.begin(), others.end(),
                        [](std::string_view text) { return !hasIdeograph(text); });
  return others;
}

std::string firstLine(const HeadLine& head, std::string_view headWord, bool* onlyPartOfSpeech) {
  std::string line;
  for (std::string_view part : head.partsOfSpeech) {
    if (!line.empty()) line += ' ';
    line += "(" + readablePartOfSpeech(part) + ")";
  }
  *onlyPartOfSpeech = !line.empty();
  std::string forms;
  for (std::string_view form : otherForms(head.forms, headWord)) {
    if (!forms.empty()) forms += ", ";
    forms += form;
  }
  for (std::string_view piece : {std::string_view(forms), head.rest}) {
    if (piece.empty()) continue;
    if (!line.empty()) line += ' ';
    line += piece;
    *onlyPartOfSpeech = false;
  }
  return line;
}

void appendEscaped(std::string_view text, std::string* out) {
  for (char c : text) {
    switch (c) {
      case '&':
        *out += "&amp;";
        break;
      case '<':
        *out += "&lt;";
        break;
      case '>':
        *out += "&gt;";
        break;
      default:
        *out += c;
    }
  }
}

std::string render(std::string_view text, DictdText form) {
  if (form == DictdText::kPlain) return std::string(text);
  std::string out;
  appendEscaped(text, &out);
  return out;
}

}  // namespace

DefinitionParts splitDefinition(std::string_view headWord, std::string_view definition,
                                DictdText text) {
  std::vector<std::string> lines;
  bool firstSeen = false;
  bool onlyPartOfSpeech = false;
  DefinitionParts parts;
  size_t start = 0;
  while (start < definition.size()) {
    size_t end = definition.find('\n', start);
    if (end == std::string_view::npos) end = definition.size();
    std::string_view line = trim(definition.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    if (!firstSeen) {
      firstSeen = true;
      if (line.size() > kMaxHeadLineBytes) {
        lines.emplace_back(line);
        continue;
      }
      HeadLine head = parseHeadLine(line);
      if (isHeadLine(head, headWord)) {
        if (!head.forms.empty()) {
          size_t headForm = findHeadForm(head.forms, headWord);
          parts.pronunciation = soundPronunciation(head.forms[headForm]);
          for (size_t i = 0; i < head.forms.size() && parts.pronunciation.empty(); ++i) {
            parts.pronunciation = soundPronunciation(head.forms[i]);
          }
        }
        std::string first = firstLine(head, headWord, &onlyPartOfSpeech);
        if (!first.empty()) lines.push_back(std::move(first));
        continue;
      }
    }
    if (onlyPartOfSpeech && lines.size() == 1) {
      lines[0] += ' ';
      lines[0] += line;
      onlyPartOfSpeech = false;
      continue;
    }
    lines.emplace_back(line);
  }
  std::string_view separator = text == DictdText::kMarkup ? "<br>" : "\r\n";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) parts.translation += separator;
    parts.translation += render(lines[i], text);
  }
  parts.pronunciation = render(parts.pronunciation, text);
  return parts;
}

}  // namespace lexor::writer
