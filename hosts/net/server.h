// The network core every server of the program shares: listening on loopback, the bound on
// connections, the deadlines that keep slow or silent clients from holding them, and shutdown on
// SIGINT or SIGTERM. One thread reads, writes and frames requests for every connection; the work
// requests ask for runs on a small pool of workers (work_pool.h). Each protocol plugs in per
// connection (connection_protocol.h).
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
  // request; and while an answer waits, this long to take some of it.
  std::chrono::milliseconds requestTimeout{10'000};
  // A kept-alive connection that has been answered and sends nothing is closed after this.
  std::chrono::milliseconds idleTimeout{30'000};
  // When more connections arrive, the one that has waited longest for its client (silent, slow
  // to send a whole request, or idle after an answer) is closed for the newcomer; when every
  // connection is working or writing, the newcomer.
  size_t maxConnections = 256;
  // When not empty, idle connections are kept (only one holding part of a request makes room),
  // and a newcomer that finds no room is sent these bytes and closed: for protocols whose clients
  // hold a connection open between look-ups.
  std::string refusal;
  // Connections one peer address may hold, 0 for no bound; a newcomer beyond is refused.
  size_t maxPerAddress = 0;
  // While a connection holds this much answer its client has not taken, nothing more of its
  // requests is answered or read: a client that does not read holds at most this (and one
  // answer).
  size_t maxUnsentBytes = 1 << 20;
  // The workers that run requests' work.
  size_t workers = 4;

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

  // Serves until SIGINT or SIGTERM, then closes every connection, asks running work to stop and
  // returns. True when every worker ended within a second; false when work still runs, and the
  // caller must end the process (std::_Exit) without destroying what that work uses.
  bool runUntilSignal();
  // Stops a running server as the signal does; from any thread.
  void stop();

  // The server's own view of what it holds, readable from any thread.
  struct Counters {
    size_t connections = 0;
    size_t unsentBytes = 0;    // answers not yet taken by their clients, all connections
    size_t largestUnsent = 0;  // the most one connection has held at once since the start
  };
  Counters counters() const;

  struct Impl;  // the Asio side, kept out of this header

 private:
  std::unique_ptr<Impl> _impl;
};

}  // namespace lexor::net
