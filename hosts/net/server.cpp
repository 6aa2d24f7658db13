#include "hosts/net/server.h"

// GCC 12 in C++20 needs <utility> ahead of Asio's headers.
#include <signal.h>

#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <cstdlib>
#include <list>
#include <utility>

namespace lexor::net {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

constexpr size_t kReadChunk = 16 * 1024;
// After a refusal that closes the connection, what the client still sends is read and dropped
// for a while, so that its unread bytes do not make the kernel reset the connection before the
// client has read the answer.
constexpr size_t kMaxDrainedBytes = 1 << 20;
constexpr std::chrono::milliseconds kDrainTime{2000};
constexpr std::chrono::milliseconds kAcceptPause{100};

std::chrono::milliseconds environmentMillis(const char* name, std::chrono::milliseconds fallback) {
  const char* value = std::getenv(name);
  if (!value) return fallback;
  char* end = nullptr;
  const long long n = std::strtoll(value, &end, 10);
  return (end != value && *end == '\0' && n > 0) ? std::chrono::milliseconds(n) : fallback;
}

}  // namespace

ServerLimits ServerLimits::fromEnvironment(ServerLimits defaults) {
  ServerLimits limits = std::move(defaults);
  limits.requestTimeout = environmentMillis("LEXOR_NET_REQUEST_TIMEOUT_MS", limits.requestTimeout);
  limits.idleTimeout = environmentMillis("LEXOR_NET_IDLE_TIMEOUT_MS", limits.idleTimeout);
  limits.maxConnections =
      static_cast<size_t>(environmentMillis("LEXOR_NET_MAX_CONNECTIONS",
                                            std::chrono::milliseconds(limits.maxConnections))
                              .count());
  return limits;
}

class Connection;

struct Periodic {
  Periodic(asio::io_context& io, std::chrono::milliseconds p, std::function<void()> t)
      : timer(io), period(p), task(std::move(t)) {}
  void arm() {
    timer.expires_after(period);
    timer.async_wait([this](error_code ec) {
      if (ec) return;
      task();
      arm();
    });
  }
  asio::steady_timer timer;
  std::chrono::milliseconds period;
  std::function<void()> task;
};

struct Server::Impl {
  Impl(ServerLimits l, ProtocolFactory f) : limits(l), factory(std::move(f)) {}

  void accept();
  void admit(tcp::socket socket);
  void stop();

  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::signal_set signals{io, SIGINT, SIGTERM};
  asio::steady_timer acceptPause{io};
  std::list<std::shared_ptr<Connection>> connections;
  std::list<std::unique_ptr<Periodic>> periodic;
  ServerLimits limits;
  ProtocolFactory factory;
  bool stopping = false;
};

// One client. Its single timer always holds the deadline of what the connection waits for: a
// request, the next request after an answer, or the client's taking of an answer.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  enum class Phase { kRequest, kIdle, kWriting, kDraining };

  Connection(Server::Impl& server, tcp::socket socket)
      : _server(server),
        _socket(std::move(socket)),
        _timer(server.io),
        _protocol(server.factory()) {}

  void start(std::list<std::shared_ptr<Connection>>::iterator self) {
    _self = self;
    error_code ignored;
    _socket.set_option(tcp::no_delay(true), ignored);  // small answers must not wait for acks
    armTimer(_server.limits.requestTimeout);
    std::string greeting;
    _protocol->opened(greeting);
    if (greeting.empty()) {
      read();
    } else {
      _out = std::move(greeting);
      write();
    }
  }

  bool isIdle() const { return _phase == Phase::kIdle; }
  Clock::time_point idleSince() const { return _idleSince; }

  void close() {
    if (_closed) return;
    _closed = true;
    const auto keepAlive = shared_from_this();  // erasing below may drop the last other owner
    error_code ignored;
    _socket.close(ignored);
    _timer.cancel();
    _server.connections.erase(_self);  // the handlers still pending hold the object
  }

 private:
  void armTimer(std::chrono::milliseconds timeout) {
    _timer.expires_after(timeout);
    _timer.async_wait([self = shared_from_this()](error_code ec) {
      // A wait that ended just before the deadline moved on is queued without an error; the
      // deadline itself says whether it passed.
      if (!ec && self->_timer.expiry() <= asio::steady_timer::clock_type::now()) self->close();
    });
  }

  void read() {
    _socket.async_read_some(asio::buffer(_in),
                            [self = shared_from_this()](error_code ec, size_t n) {
                              if (self->_closed) return;
                              if (ec) return self->close();
                              self->onReceived(std::string_view(self->_in.data(), n));
                            });
  }

  void onReceived(std::string_view bytes) {
    if (_phase == Phase::kIdle) {  // the first byte of a new request starts its clock
      _phase = Phase::kRequest;
      armTimer(_server.limits.requestTimeout);
    }
    _keepOpen = _protocol->received(bytes, _out);
    if (!_out.empty()) return write();
    if (!_keepOpen) return drainThenClose();
    read();
  }

  void write() {
    _phase = Phase::kWriting;
    armTimer(_server.limits.requestTimeout);
    asio::async_write(_socket, asio::buffer(_out),
                      [self = shared_from_this()](error_code ec, size_t) {
                        if (self->_closed) return;
                        if (ec) return self->close();
                        self->_out.clear();
                        if (!self->_keepOpen) return self->drainThenClose();
                        if (self->_protocol->midRequest()) {
                          self->_phase = Phase::kRequest;
                          self->armTimer(self->_server.limits.requestTimeout);
                        } else {
                          self->_phase = Phase::kIdle;
                          self->_idleSince = Clock::now();
                          self->armTimer(self->_server.limits.idleTimeout);
                        }
                        self->read();
                      });
  }

  void drainThenClose() {
    _phase = Phase::kDraining;
    error_code ignored;
    _socket.shutdown(tcp::socket::shutdown_send, ignored);
    armTimer(std::min(kDrainTime, _server.limits.requestTimeout));
    drain();
  }

  void drain() {
    _socket.async_read_some(asio::buffer(_in),
                            [self = shared_from_this()](error_code ec, size_t n) {
                              if (self->_closed) return;
                              self->_drained += n;
                              if (ec || self->_drained > kMaxDrainedBytes) return self->close();
                              self->drain();
                            });
  }

  Server::Impl& _server;
  tcp::socket _socket;
  asio::steady_timer _timer;
  std::unique_ptr<ConnectionProtocol> _protocol;
  std::list<std::shared_ptr<Connection>>::iterator _self;
  std::array<char, kReadChunk> _in{};
  std::string _out;
  Phase _phase = Phase::kRequest;
  Clock::time_point _idleSince{};
  size_t _drained = 0;
  bool _keepOpen = true;
  bool _closed = false;
};

void Server::Impl::accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket socket) {
    if (stopping) return;
    if (!ec) {
      admit(std::move(socket));
      return accept();
    }
    // Out of descriptors or memory: accepting again at once would spin; the connections that
    // end meanwhile make room.
    acceptPause.expires_after(kAcceptPause);
    acceptPause.async_wait([this](error_code waitError) {
      if (!waitError && !stopping) accept();
    });
  });
}

void Server::Impl::admit(tcp::socket socket) {
  if (connections.size() >= limits.maxConnections && !limits.refusal.empty()) {
    // Sent without waiting: a newcomer that does not read must not hold the server's thread.
    error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(limits.refusal), ignored);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    return;
  }
  if (connections.size() >= limits.maxConnections) {
    std::shared_ptr<Connection> idlest;
    for (const auto& connection : connections) {
      if (connection->isIdle() && (!idlest || connection->idleSince() < idlest->idleSince()))
        idlest = connection;
    }
    if (!idlest) {
      error_code ignored;
      socket.close(ignored);
      return;
    }
    idlest->close();
  }
  auto connection = std::make_shared<Connection>(*this, std::move(socket));
  connections.push_front(connection);
  connection->start(connections.begin());
}

void Server::Impl::stop() {
  stopping = true;
  error_code ignored;
  acceptor.close(ignored);
  acceptPause.cancel();
  while (!connections.empty()) connections.front()->close();
  for (auto& task : periodic) task->timer.cancel();
  io.stop();
}

Server::Server(ServerLimits limits, ProtocolFactory factory)
    : _impl(std::make_unique<Impl>(limits, std::move(factory))) {}

Server::~Server() = default;

bool isLoopbackAddress(const std::string& address) {
  error_code ec;
  const asio::ip::address parsed = asio::ip::make_address(address, ec);
  return !ec && parsed.is_loopback();
}

std::optional<uint16_t> Server::listen(uint16_t port, std::string* error) {
  return listen("127.0.0.1", port, error);
}

std::optional<uint16_t> Server::listen(const std::string& address, uint16_t port,
                                       std::string* error) {
  error_code ec;
  const asio::ip::address ip = asio::ip::make_address(address, ec);
  if (ec) {
    *error = "'" + address + "' is not an IP address";
    return std::nullopt;
  }
  const tcp::endpoint endpoint(ip, port);
  tcp::acceptor& acceptor = _impl->acceptor;
  // Address reuse lets a restarted server take its port back from connections still in
  // TIME_WAIT; it never lets two listening sockets share a port (that would be SO_REUSEPORT).
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (!ec) return acceptor.local_endpoint().port();
  if (ec == asio::error::address_in_use) {
    *error = "port " + std::to_string(port) + " is in use";
  } else {
    *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
  }
  return std::nullopt;
}

bool Server::adopt(int descriptor, bool ipv6, std::string* error) {
  error_code ec;
  _impl->acceptor.assign(ipv6 ? tcp::v6() : tcp::v4(), descriptor, ec);
  if (ec) *error = "cannot serve on the socket handed over: " + ec.message();
  return !ec;
}

void Server::every(std::chrono::milliseconds period, std::function<void()> task) {
  auto& periodic =
      _impl->periodic.emplace_back(std::make_unique<Periodic>(_impl->io, period, std::move(task)));
  periodic->arm();
}

void Server::stop() {
  asio::post(_impl->io, [this] { _impl->stop(); });
}

void Server::runUntilSignal() {
  _impl->signals.async_wait([this](error_code, int) { _impl->stop(); });
  _impl->accept();
  _impl->io.run();
}

}  // namespace lexor::net
