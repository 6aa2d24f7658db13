// `lexorpeek serve` and `lexorpeek dict-server`: the command lines of the two servers. The servers
// themselves live with their protocols; here their options are read like every other command's.
#include <limits>
#include <optional>
#include <string>

#include "hosts/cli/commands.h"
#include "hosts/dict/dict_command.h"
#include "hosts/web/web_server.h"
#include "platform/command_args.h"

namespace lexor::cli {
namespace {

constexpr const char* kServeUsage = R"(usage: lexorpeek serve [--port N]

Serves the widget page on http://127.0.0.1:N/ (default port 8737; 0 picks a free port)
and prints its address. Ctrl-C stops the server.
)";

constexpr const char* kDictServerUsage =
    R"(usage: lexorpeek dict-server [--port N] [--listen ADDRESS] [--max-matches N]

Serves the dictionaries of ~/Library/Lexor over the DICT protocol (RFC 2229), to the `dict`
client and every other DICT client. Each dictionary that `lexorpeek list` shows is a
database named after its file (`dict -D` lists them); `ambora` looks a word up in the
Ambora suite, on its Japanese-English side when the word holds Japanese characters.
The first line printed is the server's address, dict://ADDRESS:PORT/.
  --port N         the port (default 2628); 0 picks a free one
  --listen ADDRESS the address to listen on (default 127.0.0.1); any other than a
                   loopback address makes the dictionaries reachable from other machines
  --max-matches N  the most lines one MATCH answers (default 10000)
Started by systemd with a listening socket (socket activation: LISTEN_PID, LISTEN_FDS), it
serves that socket, leaves --port and --listen aside, and its first line says so.
SIGINT or SIGTERM stops the server.
)";

constexpr OptionSpec kServeOptions[] = {{"--port", true}};
constexpr OptionSpec kDictServerOptions[] = {
    {"--port", true}, {"--listen", true}, {"--max-matches", true}};

// Options, --help and no positional words: what both servers' command lines share. Leaves *args
// set, or returns an exit status.
std::optional<int> parseServerArgs(const std::vector<std::string>& words,
                                   std::span<const OptionSpec> specs, std::string_view command,
                                   const char* usage, ParsedArgs* args) {
  if (std::optional<int> status = startCommand(words, specs, command, usage, args)) return status;
  if (!args->positionals.empty()) {
    return usageError(
        command, std::string(command) + " takes no word, not '" + args->positionals.front() + "'");
  }
  return std::nullopt;
}

std::optional<uint16_t> parsePort(const ParsedArgs& args, uint16_t fallback, bool* valid) {
  const std::optional<std::string> text = args.value("--port");
  *valid = true;
  if (!text) return fallback;
  const std::optional<int32_t> port = parseInt32(*text);
  if (!port || *port < 0 || *port > std::numeric_limits<uint16_t>::max()) {
    *valid = false;
    return std::nullopt;
  }
  return static_cast<uint16_t>(*port);
}

}  // namespace

int runServe(const std::vector<std::string>& words) {
  ParsedArgs args;
  if (std::optional<int> status =
          parseServerArgs(words, kServeOptions, "serve", kServeUsage, &args))
    return *status;
  bool valid = false;
  web::WebServerOptions options;
  const std::optional<uint16_t> port = parsePort(args, options.port, &valid);
  if (!valid)
    return usageError("serve",
                      "--port wants a number from 0 to 65535, not '" + *args.value("--port") + "'");
  options.port = *port;
  std::string error;
  if (!web::runWebServer(options, &error)) {
    printError(error);
    return kExitNoMatch;
  }
  return kExitSuccess;
}

int runDictServer(const std::vector<std::string>& words) {
  ParsedArgs args;
  if (std::optional<int> status =
          parseServerArgs(words, kDictServerOptions, "dict-server", kDictServerUsage, &args)) {
    return *status;
  }
  bool valid = false;
  dict::DictServerOptions options;
  const std::optional<uint16_t> port = parsePort(args, options.port, &valid);
  if (!valid) {
    return usageError("dict-server",
                      "--port wants a number from 0 to 65535, not '" + *args.value("--port") + "'");
  }
  options.port = *port;
  if (std::optional<std::string> address = args.value("--listen")) options.address = *address;
  if (std::optional<std::string> most = args.value("--max-matches")) {
    const std::optional<int32_t> count = parseInt32(*most);
    if (!count || *count <= 0) {
      return usageError("dict-server",
                        "--max-matches wants a positive number, not '" + *most + "'");
    }
    options.maxMatches = static_cast<size_t>(*count);
  }
  std::string error;
  if (!dict::runDictServer(options, &error)) {
    printError(error);
    return kExitNoMatch;
  }
  return kExitSuccess;
}

}  // namespace lexor::cli
