// `lexorpeek serve`: the widget page and its script calls over HTTP on loopback. Each page served
// gets a session of its own; one thread runs every connection, so the calls of a session reach
// its object one at a time, as a page's calls do in a browser.
#include "hosts/web/web_server.h"

#include <signal.h>

#include <charconv>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

#include "hosts/net/server.h"
#include "hosts/web/http_connection.h"
#include "hosts/web/web_host.h"
#include "hosts/web/widget_files.h"
#include "plugin/page_sessions.h"

#ifndef LEXOR_WEB_ROOT
#error "LEXOR_WEB_ROOT must name the folder of the widget's files"
#endif

namespace lexor::web {
namespace {

constexpr uint16_t kDefaultPort = 8737;
constexpr const char* kLoopback = "127.0.0.1";
// Sessions idle past their expiry are ended this often, releasing their dictionaries.
constexpr std::chrono::seconds kSessionSweep{60};

constexpr const char* kUsage =
    "usage: lexorpeek serve [--port N]\n"
    "\n"
    "Serves the widget page on http://127.0.0.1:N/ (default port 8737; 0 picks a free port)\n"
    "and prints its address. Ctrl-C stops the server.\n";

struct ServeOptions {
  uint16_t port = kDefaultPort;
  bool help = false;
};

std::optional<ServeOptions> parseArguments(const std::vector<std::string>& args,
                                           std::string* error) {
  ServeOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--port") {
      if (i + 1 == args.size()) {
        *error = "--port needs a number";
        return std::nullopt;
      }
      const std::string& value = args[++i];
      unsigned port = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (ec != std::errc() || end != value.data() + value.size() || port > 65535) {
        *error = "invalid port: " + value;
        return std::nullopt;
      }
      options.port = static_cast<uint16_t>(port);
    } else {
      *error = "unknown argument: " + arg;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace

int runServeCommand(const std::vector<std::string>& args) {
  std::string error;
  std::optional<ServeOptions> options = parseArguments(args, &error);
  if (!options) {
    std::cerr << "lexorpeek serve: " << error << "\n" << kUsage;
    return 2;
  }
  if (options->help) {
    std::cout << kUsage;
    return 0;
  }
  std::optional<WidgetFiles> files = WidgetFiles::load(LEXOR_WEB_ROOT, &error);
  if (!files) {
    std::cerr << "lexorpeek serve: " << error << "\n";
    return 1;
  }

  signal(SIGPIPE, SIG_IGN);  // a browser closing a connection early must not end the server
  WebHost host(std::move(*files), PageSessions::Limits{});
  net::Server server(net::ServerLimits::fromEnvironment(),
                     [&host] { return std::make_unique<HttpConnection>(host); });
  const std::optional<uint16_t> port = server.listen(options->port, &error);
  if (!port) {
    std::cerr << "lexorpeek serve: " << error << "\n";
    return 1;
  }
  host.setPort(*port);
  server.every(kSessionSweep, [&host] { host.sessions().expire(PageSessions::Clock::now()); });
  std::cout << "http://" << kLoopback << ":" << *port << "/" << std::endl;
  server.runUntilSignal();
  return 0;
}

}  // namespace lexor::web
