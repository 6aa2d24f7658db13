#include "hosts/dict/dict_command.h"

#include <unistd.h>

#include <charconv>
#include <csignal>
#include <ctime>
#include <iostream>
#include <optional>

#include "hosts/dict/dict_session.h"
#include "hosts/dict/engine_matcher.h"
#include "hosts/net/server.h"
#include "plugin/lexor_peek.h"

namespace lexor::dict {
namespace {

constexpr const char* kUsage =
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
SIGINT or SIGTERM stops the server.
)";

constexpr uint16_t kDefaultPort = 2628;
constexpr const char* kDefaultAddress = "127.0.0.1";

struct Options {
  uint16_t port = kDefaultPort;
  std::string address = kDefaultAddress;
  size_t maxMatches = kDefaultMaxMatches;
  bool help = false;
};

template <typename Number>
std::optional<Number> parseNumber(const std::string& text) {
  Number value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--help" || word == "-h") {
      options.help = true;
      continue;
    }
    if (word != "--port" && word != "--listen" && word != "--max-matches") {
      *error = "unknown option '" + word + "'";
      return std::nullopt;
    }
    if (i + 1 == args.size()) {
      *error = word + " wants a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (word == "--port") {
      std::optional<uint16_t> port = parseNumber<uint16_t>(value);
      if (!port) {
        *error = "--port wants a number from 0 to 65535, not '" + value + "'";
        return std::nullopt;
      }
      options.port = *port;
    } else if (word == "--listen") {
      options.address = value;
    } else {
      std::optional<size_t> most = parseNumber<size_t>(value);
      if (!most || *most == 0) {
        *error = "--max-matches wants a positive number, not '" + value + "'";
        return std::nullopt;
      }
      options.maxMatches = *most;
    }
  }
  return options;
}

std::string urlHost(const std::string& address) {
  return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

}  // namespace

int runDictServerCommand(const std::vector<std::string>& args) {
  std::string error;
  std::optional<Options> options = parseOptions(args, &error);
  if (!options) {
    std::cerr << "lexorpeek dict-server: " << error << "\n" << kUsage;
    return 2;
  }
  if (options->help) {
    std::cout << kUsage;
    return 0;
  }

  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(nullptr);
  if (!peek->_getDicDir())
    std::cerr << "lexorpeek dict-server: no dictionary folder (~/Library/Lexor)\n";
  const DictLibrary library = DictLibrary::fromPeek(*peek);
  std::unique_ptr<WordMatcher> matcher = makeEngineMatcher(library);

  SessionOptions sessionOptions;
  sessionOptions.maxMatches = options->maxMatches;
  size_t connectionNumber = 0;
  const long pid = static_cast<long>(getpid());
  net::Server server(dictServerLimits(), [&]() -> std::unique_ptr<net::ConnectionProtocol> {
    const std::string msgId = "<" + std::to_string(++connectionNumber) + "." + std::to_string(pid) +
                              "." + std::to_string(std::time(nullptr)) + "@lexorpeek>";
    return std::make_unique<DictSession>(library, *matcher, sessionOptions, msgId);
  });

  signal(SIGPIPE, SIG_IGN);  // a client closing early must not end the server
  std::optional<uint16_t> port = server.listen(options->address, options->port, &error);
  if (!port) {
    std::cerr << "lexorpeek dict-server: " << error << "\n";
    return 1;
  }
  const std::string where = urlHost(options->address) + ":" + std::to_string(*port);
  sessionOptions.serverInfo = "lexorpeek dict-server on " + where + "\n" +
                              std::to_string(library.databases().size()) + " databases from " +
                              toUtf8(peek->_getDicDir().value_or(u"(no folder)")) + "\n";
  std::cout << "dict://" << where << "/" << std::endl;
  if (!net::isLoopbackAddress(options->address)) {
    std::cerr << "lexorpeek dict-server: warning: listening on " << options->address
              << ", not a loopback address: other machines can reach these dictionaries\n";
  }
  server.runUntilSignal();
  return 0;
}

}  // namespace lexor::dict
