// `lexorpeek repl`: the script-call protocol on standard input and output, one line each.
#include <cstdio>
#include <iostream>

#include "hosts/cli/commands.h"
#include "platform/command_args.h"
#include "plugin/lexor_peek.h"
#include "plugin/script_dispatcher.h"

namespace lexor::cli {
namespace {

constexpr const char* kReplUsage = R"(usage: lexorpeek repl

Reads script-call requests, one JSON object a line, from standard input and answers each
with one JSON line on standard output, e.g.
  {"op":"queryWithWord","args":["go"]}  ->  {"result":true}
A line may also be an array of up to 1000 requests, answered by the array of their answers.
A request that cannot be carried out answers {"error":"..."} and the session goes on.
The system log goes to standard error.
)";

// No request comes near this; a longer line is answered with an error and skipped, so that a
// runaway input cannot take memory without bound.
constexpr size_t kMaxRequestBytes = 1 << 20;

enum class LineRead { kLine, kTooLong, kEnd };

LineRead readLine(std::streambuf& in, std::string& line) {
  line.clear();
  bool any = false;
  bool tooLong = false;
  for (int c = in.sbumpc(); c != std::char_traits<char>::eof(); c = in.sbumpc()) {
    any = true;
    if (c == '\n') return tooLong ? LineRead::kTooLong : LineRead::kLine;
    if (tooLong) continue;
    if (line.size() >= kMaxRequestBytes) {
      tooLong = true;
      line.clear();
      continue;
    }
    line.push_back(static_cast<char>(c));
  }
  if (!any) return LineRead::kEnd;
  return tooLong ? LineRead::kTooLong : LineRead::kLine;
}

}  // namespace

int runRepl(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (std::optional<int> status = startWordlessCommand(args, {}, "repl", kReplUsage, &parsed))
    return *status;

  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(nullptr);
  std::string line;
  for (;;) {
    const LineRead read = readLine(*std::cin.rdbuf(), line);
    if (read == LineRead::kEnd) break;
    if (read == LineRead::kTooLong) {
      std::cout << R"({"error":"request longer than )" << kMaxRequestBytes << R"( bytes"})" << '\n'
                << std::flush;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::cout << handleScriptRequest(*peek, line) << '\n' << std::flush;
  }
  return kExitSuccess;
}

}  // namespace lexor::cli
