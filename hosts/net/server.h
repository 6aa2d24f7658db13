// The network core every server of the program shares: listening on loopback, the bound on
// connections, the deadlines that keep slow or silent clients from holding them, and shutdown on
// SIGINT or SIGTERM. One thread runs every connection; each protocol plugs in per connection
// (connection_protocol.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "hosts/net/connection_protocol.h"

namespace lexor::net {

struct ServerLimits {
  // From the connection's start, from the first byte of a later request, or from the end of an
  // answer when a pipelined request is already waiting, a client has this long to send a whole
  // request; the taking of an answer is held to it too.
  std::chrono::milliseconds requestTimeout{10'000};
  // A kept-alive connection that has been answered and sends nothing is closed after this.
  std::chrono::milliseconds idleTimeout{30'000};
  // When more connections arrive, the one idle longest is closed; when none is idle, the newcomer.
  size_t maxConnections = 256;
  // When not empty, a newcomer beyond the bound is sent these bytes and closed instead, and no
  // idle connection is closed for it: for protocols whose clients hold a connection open
  // between look-ups.
  std::string refusal;

  // `defaults`, with the values of LEXOR_NET_REQUEST_TIMEOUT_MS, LEXOR_NET_IDLE_TIMEOUT_MS and
  // LEXOR_NET_MAX_CONNECTIONS where set to a positive number (tests shorten them).
  static ServerLimits fromEnvironment(ServerLimits defaults);
  static ServerLimits fromEnvironment() { return fromEnvironment(ServerLimits()); }
};

// Whether an address is a loopback address (127.0.0.0/8, ::1); false for one that does not parse.
bool isLoopbackAddress(const std::string& address);

class Server {
 public:
  Server(ServerLimits limits, ProtocolFactory factory);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Listens on 127.0.0.1:port (0 picks a free port) and gives the port; on failure says why in
  // `error` ("port N is in use" when another socket holds it).
  std::optional<uint16_t> listen(uint16_t port, std::string* error);
  // The same on another address, IPv4 or IPv6.
  std::optional<uint16_t> listen(const std::string& address, uint16_t port, std::string* error);
  // Serves on a socket that already listens (one the service manager handed over), which the
  // server then owns; false, with the reason in `error`, when Asio cannot take it.
  bool adopt(int descriptor, bool ipv6, std::string* error);

  // Runs `task` on the server's thread every `period` while the server runs.
  void every(std::chrono::milliseconds period, std::function<void()> task);

  // Serves until SIGINT or SIGTERM, then closes every connection and returns.
  void runUntilSignal();
  // Stops a running server as the signal does; from any thread.
  void stop();

  struct Impl;  // the Asio side, kept out of this header

 private:
  std::unique_ptr<Impl> _impl;
};

}  // namespace lexor::net
