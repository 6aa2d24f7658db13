// The web host's server: the widget page and each page's script calls on loopback.
#pragma once

#include <cstdint>
#include <string>

namespace lexor::web {

inline constexpr uint16_t kDefaultPort = 8737;

struct WebServerOptions {
  uint16_t port = kDefaultPort;  // 0 picks a free port
};

// Prints the page's address on standard output, then serves until SIGINT or SIGTERM and returns
// true. False, with the reason in *error, when the server cannot start (a port in use).
bool runWebServer(const WebServerOptions& options, std::string* error);

}  // namespace lexor::web
