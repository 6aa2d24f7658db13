// The DICT server's transport: listening, one session per connection, the bound on connections,
// the idle deadline and shutdown on SIGINT or SIGTERM. One thread runs every connection, so
// sessions, the library and the matcher are never used by two at once. Nothing here knows the
// protocol beyond the refusal line and the shutdown line it sends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lexor::dict {

// One connection's protocol: bytes in, answers out.
class ConnectionProtocol {
 public:
  virtual ~ConnectionProtocol() = default;
  // The greeting sent when the connection opens.
  virtual void opened(std::string& out) = 0;
  // Appends the answers to what the bytes complete; false when the connection is to close once
  // `out` is sent.
  virtual bool received(std::string_view bytes, std::string& out) = 0;
};

using ProtocolFactory = std::function<std::unique_ptr<ConnectionProtocol>()>;

struct ServerLimits {
  size_t maxConnections = 256;
  // A connection that neither sends nor takes anything for this long is closed.
  std::chrono::milliseconds idleTimeout{10 * 60 * 1000};
  // The defaults, or LEXOR_NET_IDLE_TIMEOUT_MS and LEXOR_NET_MAX_CONNECTIONS where set to a
  // positive number (tests shorten them).
  static ServerLimits fromEnvironment();
};

class DictServer {
 public:
  // `refusal` goes to a connection beyond the limit, `farewell` to every open one on shutdown.
  DictServer(ServerLimits limits, ProtocolFactory factory, std::string refusal,
             std::string farewell);
  ~DictServer();
  DictServer(const DictServer&) = delete;
  DictServer& operator=(const DictServer&) = delete;

  // Listens on the address (IPv4 or IPv6) and port (0 picks a free one); the port, or
  // std::nullopt with the reason in *error.
  std::optional<uint16_t> listen(const std::string& address, uint16_t port, std::string* error);
  // Serves until SIGINT, SIGTERM or stop(), then closes every connection and returns.
  void run();
  // From any thread.
  void stop();
  size_t connections() const;

  struct Impl;  // the server's state, in the source file

 private:
  std::unique_ptr<Impl> _impl;
};

// Whether an address is a loopback address (127.0.0.0/8, ::1); false for one that does not parse.
bool isLoopbackAddress(const std::string& address);

}  // namespace lexor::dict
