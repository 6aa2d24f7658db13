// The command lines of the DICT protocol: framing a byte stream into lines, and splitting one
// line into its words.
//
//   line     = word *(SP word) CRLF       at most 1,024 bytes with its CR LF
//   word     = atom / dqstring / sqstring
//   atom     = 1*<any character but space, tab, control characters, ' " and \>
//   dqstring = <"> *(<any but " \ and controls> / "\" CHAR) <">    (sqstring alike with ')
//
// A word may run a quoted string and atoms together ("a"b is one word, ab), as a shell does.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexor::dict {

// The longest command line, counting its CR LF.
inline constexpr size_t kMaxCommandLine = 1024;

// The status lines that answer a line too long and a line or command that cannot be parsed.
inline constexpr std::string_view kLineTooLongStatus = "500 line too long";
inline constexpr std::string_view kSyntaxErrorStatus = "501 syntax error, illegal parameters";

// The words of one command line (without its line break). When the line cannot be split,
// std::nullopt with *error set to the status line that answers it: kLineTooLongStatus past
// kMaxCommandLine, "501 invalid UTF-8" for bytes that are not UTF-8, kSyntaxErrorStatus for an
// unclosed quote, a control character or a dangling backslash. A line of spaces gives no words.
std::optional<std::vector<std::string>> splitCommandLine(std::string_view line, std::string* error);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Cuts a byte stream into lines at each LF, dropping a CR before it. A line that grows past the
// limit is cut short: its bytes are dropped as they come (memory stays bounded) and it is
// handed out once, as too long, when its LF arrives.
class LineFramer {
 public:
  struct Line {
    std::string text;
    bool tooLong = false;
  };

  // Takes the bytes received and appends each line they complete to *lines.
  void feed(std::string_view bytes, std::vector<Line>* lines);
  // Bytes held of a line not yet complete.
  size_t pending() const { return _partial.size(); }

 private:
  std::string _partial;
  bool _overflow = false;
};

}  // namespace lexor::dict
