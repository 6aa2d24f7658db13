// One DICT connection without its transport: bytes in, answers out. The network core (hosts/net)
// hands it what it reads and writes back what it answers; commands are answered one after another
// in the order they came, however the bytes were cut.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosts/dict/command_line.h"
#include "hosts/dict/dict_library.h"
#include "hosts/dict/word_matcher.h"
#include "hosts/net/connection_protocol.h"
#include "hosts/net/server.h"

namespace lexor::dict {

inline constexpr size_t kDefaultMaxMatches = 10000;
// One answer (a MATCH's lines, a DEFINE's texts) is cut once it passes this many bytes, as
// --max-matches cuts a MATCH; its status line says so.
inline constexpr size_t kMaxAnswerBytes = 16 << 20;
// What a connection may hold of answers its client has not read before its commands wait.
inline constexpr size_t kMaxUnsentBytes = 1 << 20;
// Connections one address may hold when the server listens beyond loopback.
inline constexpr size_t kMaxConnectionsPerAddress = 32;

struct SessionOptions {
  size_t maxMatches = kDefaultMaxMatches;  // MATCH answers at most this many lines
  std::string serverInfo;                  // the text of SHOW SERVER (without the final ".")
  size_t maxAnswerBytes = kMaxAnswerBytes;
};

class DictSession : public net::ConnectionProtocol {
 public:
  // The library and matcher outlive the session; `msgId` is the greeting's <...@host> part.
  DictSession(const DictLibrary& library, WordMatcher& matcher, SessionOptions options,
              std::string msgId);

  // The 220 line that opens the connection.
  std::string greeting() const;
  // Appends the answers to every command line the bytes complete. After QUIT the rest is
  // ignored.
  void receive(std::string_view bytes, std::string* out);
  // Appends the answer to one command line given without its line break.
  void answerLine(std::string_view line, std::string* out);
  // QUIT has been answered: the server closes after writing.
  bool finished() const { return _finished; }
  // Bytes held of a command not yet complete.
  size_t pending() const { return _framer.pending(); }

  // The transport's view: the greeting, then answers until QUIT, each command line as work of
  // its own, so that a client that sends many and reads none is answered only as it reads.
  void opened(std::string& out) override { out += greeting(); }
  net::Step received(std::string_view bytes, std::string& out) override;
  bool midRequest() const override { return _framer.pending() > 0 || _unanswered < _lines.size(); }

 private:
  struct Definition {
    size_t database;
    UString headWord;
    std::string text;
  };

  void answerFramed(const LineFramer::Line& line, std::string* out);
  void answer(const std::vector<std::string>& words, std::string* out);
  void define(std::string_view database, const std::string& word, std::string* out);
  void match(std::string_view database, std::string_view strategy, const std::string& word,
             std::string* out);
  void showDatabases(std::string* out);
  void showStrategies(std::string* out);
  void showInfo(std::string_view database, std::string* out);
  // The databases a command names: all of them for "*" and "!", the side the suite's name picks
  // for the word, or the one named; std::nullopt for an unknown name.
  std::optional<std::vector<size_t>> targets(std::string_view database, const UString& word) const;
  void definitionsIn(size_t database, const UString& word, std::vector<Definition>* found);
  // A text answer after its status line: the MIME header when it was asked for, the text
  // dot-stuffed, then the line that ends it.
  void text(std::string_view body, std::string* out) const;
  // What a status line adds when an answer was cut at the bound.
  std::string cutNote(bool cut) const;

  const DictLibrary& _library;
  WordMatcher& _matcher;
  SessionOptions _options;
  std::string _msgId;
  LineFramer _framer;
  std::vector<LineFramer::Line> _lines;  // framed and not yet all answered, from _unanswered on
  size_t _unanswered = 0;
  bool _mime = false;
  bool _finished = false;
  size_t _commands = 0;
  size_t _defines = 0;
  size_t _matches = 0;
};

// The network core's limits for DICT connections: 256 at most, a newcomer beyond refused with
// 420 unless one of them holds an unfinished command line; idle ten minutes; 1 MiB of unread
// answers; 32 from one address when `beyondLoopback`; environment overrides as the core reads
// them.
net::ServerLimits dictServerLimits(bool beyondLoopback = false);

// A text's lines for the wire: each line ends in CR LF and a line that begins with "." gets
// another; the closing "." line is not added.
std::string dotStuffed(std::string_view text);

// A word in double quotes, with '"' and '\' escaped by a backslash.
std::string quoted(std::string_view word);

}  // namespace lexor::dict
