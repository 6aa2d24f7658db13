// `lexorpeek serve`: one LexorPeek object behind a loopback HTTP server. The server hands out the
// widget page and its assets and answers POST /LexorPeek with the script-call protocol, one call
// at a time, as a page's calls reach the object one at a time in a browser.
#include "hosts/web/web_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "hosts/web/host_window.h"
#include "hosts/web/request_guard.h"
#include "hosts/web/widget_files.h"
#include "plugin/lexor_peek.h"
#include "plugin/script_dispatcher.h"

#ifndef LEXOR_WEB_ROOT
#error "LEXOR_WEB_ROOT must name the folder of the widget's files"
#endif

namespace lexor::web {
namespace {

constexpr uint16_t kDefaultPort = 8737;
constexpr size_t kMaxRequestBody = 64 * 1024;  // a script call is a word or a path, never more
constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kScriptPath = "/LexorPeek";

// No inline script, no eval, no plug-ins, nothing from elsewhere: even if a dictionary's text got
// past the page's sanitizer, the browser would refuse to run it.
constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'; "
    "object-src 'none'";

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

std::string jsonError(std::string_view message) {
  // The messages are this file's own ASCII texts, so they need no escaping.
  return "{\"error\":\"" + std::string(message) + "\"}";
}

const char* statusText(int status) {
  switch (status) {
    case 404: return "not found";
    case 411: return "length required";
    case 413: return "request too large";
    case 500: return "internal error";
    default: return "bad request";
  }
}

void refuse(httplib::Response& res, int status, std::string_view why) {
  res.status = status;
  res.set_content(jsonError(why), "application/json");
}

// Everything the request handlers share.
class WebHost {
 public:
  WebHost(std::shared_ptr<LexorPeek> peek, std::string token, WidgetFiles files)
      : peek_(std::move(peek)), token_(std::move(token)), files_(std::move(files)) {
    peek_->windowScriptObjectAvailable(&window_);
  }

  void install(httplib::Server& server) {
    server.set_payload_max_length(kMaxRequestBody);
    // A page call is a small request and a small answer; without this every answer would wait
    // for the delayed acknowledgement of its headers.
    server.set_socket_options([](socket_t sock) {
      httplib::default_socket_options(sock);
      int yes = 1;
      setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    });
    server.set_default_headers({
        {"Content-Security-Policy", kContentSecurityPolicy},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
        {"Cache-Control", "no-store"},
    });
    // The library would read a chunked body whole, past any limit. The page's calls always state
    // their length, so a body of unstated length is refused before it is read. (Such a client
    // then finds the rest of its body read as further requests, each refused in turn.)
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
      if (!req.has_header("Transfer-Encoding")) return httplib::Server::HandlerResponse::Unhandled;
      refuse(res, 411, "length required");
      return httplib::Server::HandlerResponse::Handled;
    });
    // The sender is checked once the library has read the body (at most kMaxRequestBody bytes;
    // larger ones it skips and answers 413), so that a refusal leaves the connection in step.
    server.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      if (checkSender(req, res)) serveFile(req, res);
    });
    server.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      if (checkSender(req, res)) answerScriptCall(req, res);
    });
    // Errors the library produces itself (413, 400, unrouted methods) get a short body too.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) {
          if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
          res.set_content(jsonError(statusText(res.status)), "application/json");
          return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
          refuse(res, 500, "internal error");
        });
  }

  void setPort(uint16_t port) { port_ = port; }

 private:
  // Host and Origin name this very server, or the request comes from a page that does not.
  bool checkSender(const httplib::Request& req, httplib::Response& res) const {
    if (!isOwnHost(req.get_header_value("Host"), port_)) {
      refuse(res, 403, "forbidden: unknown host");
      return false;
    }
    if (req.has_header("Origin") && !isOwnOrigin(req.get_header_value("Origin"), port_)) {
      refuse(res, 403, "forbidden: foreign origin");
      return false;
    }
    return true;
  }

  void serveFile(const httplib::Request& req, httplib::Response& res) const {
    const WidgetFile* file = files_.find(req.path);
    if (!file) {
      refuse(res, 404, "not found");
      return;
    }
    res.set_content(file->body, file->contentType.c_str());
  }

  void answerScriptCall(const httplib::Request& req, httplib::Response& res) {
    if (req.path != kScriptPath) {
      refuse(res, 404, "not found");
      return;
    }
    if (!constantTimeEquals(req.get_header_value(std::string(kTokenHeader).c_str()), token_)) {
      refuse(res, 403, "forbidden: missing or wrong token");
      return;
    }
    // The page reaches the object under the name it registered itself with.
    auto* peek = dynamic_cast<LexorPeek*>(window_.valueForKey(u"LexorPeek"));
    if (!peek) {
      refuse(res, 503, "no plug-in object registered");
      return;
    }
    std::string response;
    {
      std::lock_guard<std::mutex> oneCallAtATime(callMutex_);
      response = handleScriptRequest(*peek, req.body);
    }
    res.set_content(response, "application/json");
  }

  std::shared_ptr<LexorPeek> peek_;
  const std::string token_;
  const WidgetFiles files_;
  HostWindow window_;
  uint16_t port_ = 0;
  std::mutex callMutex_;
};

// SIGINT and SIGTERM are blocked in every thread of the server and taken by one waiting thread,
// which stops the server from outside a signal handler (stopping is not async-signal-safe).
class StopOnSignal {
 public:
  explicit StopOnSignal(httplib::Server& server) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    waiter_ = std::thread([this, &server] {
      int signal = 0;
      sigwait(&signals_, &signal);
      // A signal may come before the server has started listening, when stop() has nothing to
      // stop yet: keep asking until the listening loop has returned.
      while (!listenReturned_.load()) {
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }

  ~StopOnSignal() {
    listenReturned_.store(true);
    pthread_kill(waiter_.native_handle(), SIGTERM);  // wakes the waiter if no signal came
    waiter_.join();
    // Drop what our own wake-up left pending before the mask is lifted.
    timespec none{};
    while (sigtimedwait(&signals_, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t signals_{};
  sigset_t previous_{};
  std::atomic<bool> listenReturned_{false};
  std::thread waiter_;
};

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

  std::optional<std::string> token = makeToken();
  if (!token) {
    std::cerr << "lexorpeek serve: cannot read random bytes for the page token\n";
    return 1;
  }
  std::optional<WidgetFiles> files = WidgetFiles::load(LEXOR_WEB_ROOT, *token, &error);
  if (!files) {
    std::cerr << "lexorpeek serve: " << error << "\n";
    return 1;
  }

  static HostView view;  // outlives the object, which keeps a reference to it
  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(&view);
  if (!peek) {
    std::cerr << "lexorpeek serve: cannot create the plug-in object\n";
    return 1;
  }
  WebHost host(std::move(peek), std::move(*token), std::move(*files));

  signal(SIGPIPE, SIG_IGN);  // a browser closing a connection early must not end the server
  httplib::Server server;
  host.install(server);
  StopOnSignal stopOnSignal(server);

  int port = options->port;
  if (port == 0) {
    port = server.bind_to_any_port(kLoopback);
  } else if (!server.bind_to_port(kLoopback, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::cerr << "lexorpeek serve: cannot listen on " << kLoopback << ":" << options->port << "\n";
    return 1;
  }
  host.setPort(static_cast<uint16_t>(port));
  std::cout << "http://" << kLoopback << ":" << port << "/" << std::endl;

  if (!server.listen_after_bind()) {
    std::cerr << "lexorpeek serve: the server stopped unexpectedly\n";
    return 1;
  }
  return 0;
}

}  // namespace lexor::web
