#include "hosts/dict/dict_session.h"

#include <algorithm>

#include "core/dic_tables.h"
#include "platform/code_page.h"
#include "plugin/entry_text.h"
#include "plugin/lexor_peek.h"

namespace lexor::dict {
namespace {

constexpr std::string_view kDefaultStrategy = "lev";
// Definitions of one word in one database: far more than any real head word has, few enough to
// bound an answer.
constexpr size_t kMaxDefinitions = 1000;
// One turn of a connection on a worker answers commands until its answer holds this much; the
// unsent bound is checked between turns.
constexpr size_t kTurnAnswerBytes = 64 << 10;
constexpr std::string_view kMimeHeader = "Content-Type: text/plain; charset=utf-8\r\n\r\n";
constexpr std::string_view kSuiteDescription =
    "Ambora suite: English-Japanese, or Japanese-English for a word with Japanese characters";

constexpr std::string_view kHelpText =
    "DEFINE database word         -- look up word in database\n"
    "MATCH database strategy word -- match word in database using strategy\n"
    "SHOW DB                      -- list all accessible databases\n"
    "SHOW DATABASES               -- list all accessible databases\n"
    "SHOW STRAT                   -- list available matching strategies\n"
    "SHOW STRATEGIES              -- list available matching strategies\n"
    "SHOW INFO database           -- provide information about the database\n"
    "SHOW SERVER                  -- provide site-specific information\n"
    "OPTION MIME                  -- use MIME headers\n"
    "CLIENT info                  -- identify client to server\n"
    "STATUS                       -- display timing information\n"
    "HELP                         -- display this help information\n"
    "QUIT                         -- terminate connection\n"
    "\n"
    "A database is a name from SHOW DB, \"*\" for all of them or \"!\" for the first with a\n"
    "match. The strategy \".\" is lev.\n";

std::string upper(std::string_view word) {
  std::string out(word);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
  return out;
}

void status(std::string_view line, std::string* out) {
  out->append(line);
  out->append("\r\n");
}

std::string codePageName(CodePage page) {
  switch (page) {
    case kCodePageShiftJIS:
      return "Shift_JIS";
    case kCodePageMacRoman:
      return "Mac OS Roman";
    case kCodePageWindowsLatin1:
      return "windows-1252";
    case kCodePageWindowsLatin2:
      return "windows-1250";
    case kCodePageWindowsGreek:
      return "windows-1253";
    case kCodePageWindowsLatin5:
      return "windows-1254";
    case kCodePageWindowsArabic:
      return "windows-1256";
    case kCodePageMacChineseTrad:
      return "Big5";
    case kCodePageMacKorean:
      return "EUC-KR";
    case kCodePageMacThai:
      return "TIS-620";
    case kCodePageMacChineseSimp:
      return "GB 2312";
    default:
      return "code page " + std::to_string(page);
  }
}

// The format version as major.minor: the header keeps the major number in the high byte (its
// top bit is a flag) and the minor number in the low byte.
std::string formatVersion(int16_t version) {
  const auto bits = static_cast<uint16_t>(version);
  return std::to_string((bits >> 8) & 0x7F) + "." + std::to_string(bits & 0xFF);
}

// The encoding of a dictionary's texts: BOCU-1, or the code pages its signature gives (Shift_JIS
// for a signature without a row).
std::string encodingOf(const Lexor& dic) {
  if (dic.isBOCU()) return "BOCU-1";
  const CodePageRow* row = findCodePageRow(dic.getDicSignature());
  const CodePage headWords = row ? row->headWord : kCodePageShiftJIS;
  const CodePage translations = row ? row->translation : kCodePageShiftJIS;
  if (headWords == translations) return codePageName(headWords);
  return codePageName(headWords) + " (head words), " + codePageName(translations) +
         " (translations)";
}

// Whether the line is a DEFINE or a MATCH, the commands that read dictionaries.
bool looksUp(const LineFramer::Line& line) {
  if (line.tooLong) return false;
  std::string error;
  const std::optional<std::vector<std::string>> words = splitCommandLine(line.text, &error);
  if (!words || words->empty()) return false;
  const std::string command = upper((*words)[0]);
  return command == "DEFINE" || command == "MATCH";
}

}  // namespace

// DICT clients keep a connection open between look-ups, so an idle one may stay ten minutes, and
// a newcomer beyond the bound is refused rather than closing one of them. A command line, at
// most 1,024 bytes, has a minute to arrive whole.
// A client that takes none of its answers for that minute is closed too.
net::ServerLimits dictServerLimits(bool beyondLoopback) {
  net::ServerLimits defaults;
  defaults.idleTimeout = std::chrono::minutes(10);
  defaults.requestTimeout = std::chrono::minutes(1);
  defaults.maxConnections = 256;
  defaults.refusal = "420 server temporarily unavailable\r\n";
  defaults.maxUnsentBytes = kMaxUnsentBytes;
  if (beyondLoopback) defaults.maxPerAddress = kMaxConnectionsPerAddress;
  return net::ServerLimits::fromEnvironment(defaults);
}

std::string dotStuffed(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('.')) out += '.';
    out.append(line);
    out.append("\r\n");
    start = end + 1;
  }
  return out;
}

std::string quoted(std::string_view word) {
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

DictSession::DictSession(const DictLibrary& library, WordMatcher& matcher, SessionOptions options,
                         std::string msgId)
    : _library(library),
      _matcher(matcher),
      _options(std::move(options)),
      _msgId(std::move(msgId)) {}

std::string DictSession::cutNote(bool cut) const {
  if (!cut) return {};
  const size_t bound = _options.maxAnswerBytes;
  return ", cut at " + (bound % (1 << 20) == 0 ? std::to_string(bound >> 20) + " MiB"
                                               : std::to_string(bound) + " bytes");
}

std::string DictSession::greeting() const {
  return "220 lexorpeek dict-server <mime> " + _msgId + "\r\n";
}

void DictSession::receive(std::string_view bytes, std::string* out) {
  if (_finished) return;
  std::vector<LineFramer::Line> lines;
  _framer.feed(bytes, &lines);
  for (const LineFramer::Line& line : lines) {
    if (_finished) return;
    answerFramed(line, out);
  }
}

net::Step DictSession::received(std::string_view bytes, std::string&) {
  if (_finished) return net::Step{.keepOpen = false};
  if (_unanswered == _lines.size()) {
    _lines.clear();
    _unanswered = 0;
  }
  _framer.feed(bytes, &_lines);
  if (_unanswered == _lines.size()) return {};
  // Every connection reads the same dictionary objects, which keep per-object state (an index
  // read on first use) that one thread at a time may touch: the look-ups of all connections take
  // turns on one lane, first come first served, off the network thread.
  // Pipelined commands of the same lane are answered in one turn, up to a small answer, so that
  // a pipeline does not pay the hand-over to a worker and back for every command.
  const auto laneOf = [this](const LineFramer::Line& line) -> const void* {
    return looksUp(line) ? &_library : nullptr;
  };
  const void* lane = laneOf(_lines[_unanswered]);
  return net::Step{
      .work = net::Work{
          .lane = lane, .run = [this, lane, laneOf](std::string& out, std::stop_token stop) {
            do {
              answerFramed(_lines[_unanswered++], &out);
            } while (!_finished && !stop.stop_requested() && _unanswered < _lines.size() &&
                     out.size() < kTurnAnswerBytes && laneOf(_lines[_unanswered]) == lane);
            return !_finished;
          }}};
}

void DictSession::answerFramed(const LineFramer::Line& line, std::string* out) {
  if (line.tooLong) {
    ++_commands;
    return status(kLineTooLongStatus, out);
  }
  answerLine(line.text, out);
}

void DictSession::answerLine(std::string_view line, std::string* out) {
  std::string error;
  std::optional<std::vector<std::string>> words = splitCommandLine(line, &error);
  if (!words) {
    ++_commands;
    return status(error, out);
  }
  if (words->empty()) return;  // a blank line asks nothing
  ++_commands;
  answer(*words, out);
}

void DictSession::answer(const std::vector<std::string>& words, std::string* out) {
  const std::string command = upper(words[0]);
  const size_t parameters = words.size() - 1;
  auto illegal = [out] { status(kSyntaxErrorStatus, out); };

  if (command == "DEFINE") {
    if (parameters != 2) return illegal();
    return define(words[1], words[2], out);
  }
  if (command == "MATCH") {
    if (parameters != 3) return illegal();
    return match(words[1], words[2], words[3], out);
  }
  if (command == "SHOW") {
    if (parameters == 0) return illegal();
    const std::string what = upper(words[1]);
    if ((what == "DB" || what == "DATABASES") && parameters == 1) return showDatabases(out);
    if ((what == "STRAT" || what == "STRATEGIES") && parameters == 1) return showStrategies(out);
    if (what == "INFO" && parameters == 2) return showInfo(words[2], out);
    if (what == "SERVER" && parameters == 1) {
      status("114 server information follows", out);
      text(_options.serverInfo, out);
      return status("250 ok", out);
    }
    return illegal();
  }
  if (command == "CLIENT") {
    if (parameters == 0) return illegal();
    return status("250 ok", out);
  }
  if (command == "STATUS") {
    if (parameters != 0) return illegal();
    return status("210 status [d/m/c = " + std::to_string(_defines) + "/" +
                      std::to_string(_matches) + "/" + std::to_string(_commands) + "]",
                  out);
  }
  if (command == "HELP") {
    if (parameters != 0) return illegal();
    status("113 help text follows", out);
    text(kHelpText, out);
    return status("250 ok", out);
  }
  if (command == "OPTION") {
    if (parameters != 1 || upper(words[1]) != "MIME") return illegal();
    _mime = true;
    return status("250 ok - using MIME headers", out);
  }
  if (command == "QUIT") {
    _finished = true;
    return status("221 bye", out);
  }
  if (command == "AUTH" || command == "SASLAUTH" || command == "SASLRESP") {
    return status("502 command not implemented", out);
  }
  status("500 unknown command", out);
}

std::optional<std::vector<size_t>> DictSession::targets(std::string_view database,
                                                        const UString& word) const {
  std::vector<size_t> chosen;
  if (database == "*" || database == "!") {
    for (size_t i = 0; i < _library.databases().size(); ++i) chosen.push_back(i);
  } else if (std::optional<size_t> one = _library.find(database, word)) {
    chosen.push_back(*one);
  } else {
    return std::nullopt;
  }
  return chosen;
}

void DictSession::text(std::string_view body, std::string* out) const {
  if (_mime) out->append(kMimeHeader);
  out->append(dotStuffed(body));
  out->append(".\r\n");
}

void DictSession::definitionsIn(size_t database, const UString& word,
                                std::vector<Definition>* found) {
  for (const Record& record : _matcher.definitions(database, word, kMaxDefinitions)) {
    found->push_back(
        Definition{database, record.eword.value_or(UString()), terminalText(recordAsList(record))});
  }
}

void DictSession::define(std::string_view database, const std::string& word, std::string* out) {
  ++_defines;
  const UString needle = fromUtf8(word);
  const std::optional<std::vector<size_t>> chosen = targets(database, needle);
  if (!chosen) return status("550 invalid database, use SHOW DB for a list of databases", out);
  std::vector<Definition> found;
  for (size_t db : *chosen) {
    definitionsIn(db, needle, &found);
    if (database == "!" && !found.empty()) break;
  }
  if (found.empty()) return status("552 no match", out);
  size_t bytes = 0;
  bool cut = false;
  for (size_t i = 0; i < found.size() && !cut; ++i) {
    bytes += found[i].text.size();
    if (bytes > _options.maxAnswerBytes && i > 0) {
      found.resize(i);
      cut = true;
    }
  }
  status("150 " + std::to_string(found.size()) + " definitions retrieved" + cutNote(cut), out);
  for (const Definition& definition : found) {
    const DictDatabase& db = _library.databases()[definition.database];
    status(
        "151 " + quoted(toUtf8(definition.headWord)) + " " + db.name + " " + quoted(db.description),
        out);
    text(definition.text, out);
  }
  status("250 ok", out);
}

void DictSession::match(std::string_view database, std::string_view strategy,
                        const std::string& word, std::string* out) {
  ++_matches;
  const UString needle = fromUtf8(word);
  const std::optional<std::vector<size_t>> chosen = targets(database, needle);
  if (!chosen) return status("550 invalid database, use SHOW DB for a list of databases", out);
  if (strategy == ".") strategy = kDefaultStrategy;
  const std::vector<StrategyInfo>& known = _matcher.strategies();
  if (std::none_of(known.begin(), known.end(),
                   [&](const StrategyInfo& s) { return s.name == strategy; })) {
    return status("551 invalid strategy, use SHOW STRAT for a list of strategies", out);
  }
  std::string lines;
  size_t count = 0;
  bool cut = false;
  for (size_t db : *chosen) {
    if (count >= _options.maxMatches) break;
    std::vector<UString> headWords;
    std::string error;
    if (!_matcher.match(db, strategy, needle, _options.maxMatches - count, &headWords, &error)) {
      return status("501 invalid regular expression", out);
    }
    const std::string& name = _library.databases()[db].name;
    for (const UString& headWord : headWords) {
      if (count >= _options.maxMatches) break;
      std::string line = name + " " + quoted(toUtf8(headWord)) + "\n";
      if (lines.size() + line.size() > _options.maxAnswerBytes) {
        cut = true;
        break;
      }
      lines += line;
      ++count;
    }
    if (cut || (database == "!" && count > 0)) break;
  }
  if (count == 0) return status("552 no match", out);
  status("152 " + std::to_string(count) + " matches found" + cutNote(cut), out);
  text(lines, out);
  status("250 ok", out);
}

void DictSession::showDatabases(std::string* out) {
  const std::vector<DictDatabase>& all = _library.databases();
  if (all.empty()) return status("554 no databases present", out);
  std::string lines;
  for (const DictDatabase& db : all) lines += db.name + " " + quoted(db.description) + "\n";
  size_t count = all.size();
  if (_library.hasSuite()) {
    lines += std::string(kSuiteDatabase) + " " + quoted(kSuiteDescription) + "\n";
    ++count;
  }
  status("110 " + std::to_string(count) + " databases present", out);
  text(lines, out);
  status("250 ok", out);
}

void DictSession::showStrategies(std::string* out) {
  const std::vector<StrategyInfo>& known = _matcher.strategies();
  if (known.empty()) return status("555 no strategies available", out);
  std::string lines;
  for (const StrategyInfo& s : known) lines += s.name + " " + quoted(s.description) + "\n";
  status("111 " + std::to_string(known.size()) + " strategies available", out);
  text(lines, out);
  status("250 ok", out);
}

void DictSession::showInfo(std::string_view database, std::string* out) {
  std::string info;
  if (_library.isSuiteName(database)) {
    const DictDatabase& english = _library.databases()[*_library.englishSide()];
    const DictDatabase& japanese = _library.databases()[*_library.japaneseSide()];
    info = std::string(kSuiteDescription) + ".\nA word is looked up in " + english.name + " (" +
           english.description + "), or in " + japanese.name + " (" + japanese.description +
           ") when it holds a Japanese character;\nthe answers carry the name of the database that "
           "gave them.\n";
  } else {
    std::optional<size_t> found = _library.find(database, UString());
    if (!found) return status("550 invalid database, use SHOW DB for a list of databases", out);
    const DictDatabase& db = _library.databases()[*found];
    info = db.description + "\n\nfile: " + toUtf8(db.path) +
           "\nversion: " + formatVersion(db.dic->version()) + "\nencoding: " + encodingOf(*db.dic) +
           "\nentries: " + std::to_string(db.dic->nWord()) + "\n";
  }
  status("112 database information follows", out);
  text(info, out);
  status("250 ok", out);
}

}  // namespace lexor::dict
