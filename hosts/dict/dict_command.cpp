#include "hosts/dict/dict_command.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>

#include "hosts/dict/dict_session.h"
#include "hosts/dict/engine_matcher.h"
#include "hosts/net/server.h"
#include "hosts/net/socket_activation.h"
#include "plugin/lexor_peek.h"

namespace lexor::dict {
namespace {

std::string urlHost(const std::string& address) {
  return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

}  // namespace

bool runDictServer(const DictServerOptions& options, std::string* error) {
  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(nullptr);
  if (!peek->_getDicDir())
    std::cerr << "lexorpeek dict-server: no dictionary folder (~/Library/Lexor)\n";
  const DictLibrary library = DictLibrary::fromPeek(*peek);
  std::unique_ptr<WordMatcher> matcher = makeEngineMatcher(library);

  SessionOptions sessionOptions;
  sessionOptions.maxMatches = options.maxMatches;
  size_t connectionNumber = 0;
  const long pid = static_cast<long>(getpid());
  net::Server server(dictServerLimits(!net::isLoopbackAddress(options.address)),
                     [&]() -> std::unique_ptr<net::ConnectionProtocol> {
                       // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on
                       // `"<" + std::string` at -O2.
                       std::string msgId = "<";
                       msgId += std::to_string(++connectionNumber) + "." + std::to_string(pid) +
                                "." + std::to_string(std::time(nullptr)) + "@lexorpeek>";
                       return std::make_unique<DictSession>(library, *matcher, sessionOptions,
                                                            msgId);
                     });

  signal(SIGPIPE, SIG_IGN);  // a client closing early must not end the server
  // Started by the service manager at a first connection, the server takes the socket it was
  // handed and leaves --port and --listen aside.
  std::optional<net::ActivatedSocket> activated;
  if (!net::takeActivatedSocket(&activated, error)) return false;
  std::string address = options.address;
  std::optional<uint16_t> port;
  if (activated) {
    if (!server.adopt(activated->descriptor, activated->ipv6, error)) return false;
    address = activated->address;
    port = activated->port;
  } else {
    port = server.listen(options.address, options.port, error);
  }
  if (!port) return false;
  const std::string where = urlHost(address) + ":" + std::to_string(*port);
  sessionOptions.serverInfo = "lexorpeek dict-server on " + where + "\n" +
                              std::to_string(library.databases().size()) + " databases from " +
                              toUtf8(peek->_getDicDir().value_or(u"(no folder)")) + "\n";
  std::cout << "dict://" << where << "/"
            << (activated ? " (a socket handed over by the service manager)" : "") << std::endl;
  if (!net::isLoopbackAddress(address)) {
    std::cerr << "lexorpeek dict-server: warning: listening on " << address
              << ", not a loopback address: other machines can reach these dictionaries\n";
  }
  if (!server.runUntilSignal()) {
    // A look-up still runs on a worker (a first index build, say): the process ends without
    // waiting for it, and without tearing down the dictionaries it reads.
    std::cout.flush();
    std::_Exit(0);
  }
  return true;
}

}  // namespace lexor::dict
