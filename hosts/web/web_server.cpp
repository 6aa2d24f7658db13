// `lexorpeek serve`: the widget page and its script calls over HTTP on loopback. Each page served
// gets a session of its own; its calls run on the network core's workers, one at a time per
// session, so they reach its object in order, as a page's calls do in a browser.
#include "hosts/web/web_server.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "hosts/net/server.h"
#include "hosts/web/http_connection.h"
#include "hosts/web/web_host.h"
#include "hosts/web/widget_files.h"
#include "platform/install_location.h"
#include "plugin/page_sessions.h"

namespace lexor::web {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
// Sessions idle past their expiry are ended this often, releasing their dictionaries.
constexpr std::chrono::seconds kSessionSweep{60};

}  // namespace

bool runWebServer(const WebServerOptions& options, std::string* error) {
  // The widget's files are shared with the other hosts that show the page; the bridge is ours.
  const std::optional<std::string> data = installedDataFolder();
  if (!data) {
    *error = "cannot tell where this program is installed (/proc/self/exe)";
    return false;
  }
  std::optional<WidgetFiles> files = WidgetFiles::load(*data + "/widget", *data + "/web", error);
  if (!files) return false;

  signal(SIGPIPE, SIG_IGN);  // a browser closing a connection early must not end the server
  WebHost host(std::move(*files), PageSessions::Limits{});
  net::Server server(net::ServerLimits::fromEnvironment(),
                     [&host] { return std::make_unique<HttpConnection>(host); });
  const std::optional<uint16_t> port = server.listen(options.port, error);
  if (!port) return false;
  host.setPort(*port);
  server.every(kSessionSweep, [&host] { host.sessions().expire(PageSessions::Clock::now()); });
  std::cout << "http://" << kLoopback << ":" << *port << "/" << std::endl;
  if (!server.runUntilSignal()) {
    // A call still runs on a worker (an index build, say): the process ends without waiting for
    // it, and without tearing down the session it uses.
    std::cout.flush();
    std::_Exit(0);
  }
  return true;
}

}  // namespace lexor::web
