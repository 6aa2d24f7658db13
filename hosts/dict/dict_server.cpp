#include "hosts/dict/dict_server.h"

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
#include <mutex>
#include <utility>

namespace lexor::dict {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

constexpr size_t kReadChunk = 16 * 1024;

long long positiveEnvironmentNumber(const char* name, long long fallback) {
  const char* value = std::getenv(name);
  if (!value) return fallback;
  char* end = nullptr;
  const long long n = std::strtoll(value, &end, 10);
  return (end != value && *end == '\0' && n > 0) ? n : fallback;
}

// Sends what fits without waiting and closes: for the refusal and farewell lines, which must
// never hold the server's one thread on a client that does not read.
void sayAndClose(tcp::socket& socket, std::string_view line) {
  error_code ignored;
  socket.non_blocking(true, ignored);
  socket.write_some(asio::buffer(line.data(), line.size()), ignored);
  socket.shutdown(tcp::socket::shutdown_both, ignored);
  socket.close(ignored);
}

}  // namespace

ServerLimits ServerLimits::fromEnvironment() {
  ServerLimits limits;
  limits.idleTimeout = std::chrono::milliseconds(
      positiveEnvironmentNumber("LEXOR_NET_IDLE_TIMEOUT_MS", limits.idleTimeout.count()));
  limits.maxConnections = static_cast<size_t>(positiveEnvironmentNumber(
      "LEXOR_NET_MAX_CONNECTIONS", static_cast<long long>(limits.maxConnections)));
  return limits;
}

bool isLoopbackAddress(const std::string& address) {
  error_code ec;
  const asio::ip::address parsed = asio::ip::make_address(address, ec);
  return !ec && parsed.is_loopback();
}

class Connection;

struct DictServer::Impl {
  Impl(ServerLimits l, ProtocolFactory f, std::string r, std::string g)
      : limits(l), factory(std::move(f)), refusal(std::move(r)), farewell(std::move(g)) {}

  void accept();
  void shutdown();

  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::signal_set signals{io};
  std::list<std::shared_ptr<Connection>> connections;
  mutable std::mutex countMutex;  // guards `open` for connections() from other threads
  size_t open = 0;
  ServerLimits limits;
  ProtocolFactory factory;
  std::string refusal;
  std::string farewell;
  bool stopping = false;
};

// One client: reads, hands the bytes to its protocol, writes the answers, and reads again only
// when they are sent, so a client that sends without reading holds at most one read's answers.
// Its timer holds the idle deadline of whatever it waits for.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(DictServer::Impl& server, tcp::socket socket)
      : _server(server),
        _socket(std::move(socket)),
        _timer(server.io),
        _protocol(server.factory()) {}

  void start(std::list<std::shared_ptr<Connection>>::iterator self) {
    _self = self;
    error_code ignored;
    _socket.set_option(tcp::no_delay(true), ignored);  // answers must not wait for acks
    _protocol->opened(_out);
    write();
  }

  void close() {
    if (_closed) return;
    _closed = true;
    const auto keepAlive = shared_from_this();  // erasing below may drop the last other owner
    error_code ignored;
    _socket.shutdown(tcp::socket::shutdown_both, ignored);
    _socket.close(ignored);
    _timer.cancel();
    _server.connections.erase(_self);
    std::lock_guard<std::mutex> lock(_server.countMutex);
    --_server.open;
  }

  void sayFarewell() {
    if (_closed) return;
    const auto keepAlive = shared_from_this();
    sayAndClose(_socket, _server.farewell);
    close();
  }

 private:
  void armTimer() {
    _timer.expires_after(_server.limits.idleTimeout);
    _timer.async_wait([self = shared_from_this()](error_code ec) {
      if (!ec) self->close();
    });
  }

  void read() {
    if (_closed) return;
    armTimer();
    _socket.async_read_some(
        asio::buffer(_buffer), [self = shared_from_this()](error_code ec, size_t n) {
          if (ec || self->_closed) return self->close();
          self->_closing =
              !self->_protocol->received(std::string_view(self->_buffer.data(), n), self->_out);
          self->write();
        });
  }

  void write() {
    if (_closed) return;
    if (_out.empty()) {
      if (_closing) return close();
      return read();
    }
    armTimer();
    asio::async_write(_socket, asio::buffer(_out),
                      [self = shared_from_this()](error_code ec, size_t) {
                        if (ec || self->_closed) return self->close();
                        self->_out.clear();
                        self->write();
                      });
  }

  DictServer::Impl& _server;
  tcp::socket _socket;
  asio::steady_timer _timer;
  std::unique_ptr<ConnectionProtocol> _protocol;
  std::list<std::shared_ptr<Connection>>::iterator _self;
  std::array<char, kReadChunk> _buffer{};
  std::string _out;
  bool _closing = false;
  bool _closed = false;
};

void DictServer::Impl::accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket socket) {
    if (stopping) return;
    if (!ec) {
      if (connections.size() >= limits.maxConnections) {
        sayAndClose(socket, refusal);
      } else {
        {
          std::lock_guard<std::mutex> lock(countMutex);
          ++open;
        }
        auto connection = std::make_shared<Connection>(*this, std::move(socket));
        connections.push_front(connection);
        connection->start(connections.begin());
      }
    }
    accept();
  });
}

void DictServer::Impl::shutdown() {
  if (stopping) return;
  stopping = true;
  error_code ignored;
  acceptor.close(ignored);
  signals.cancel(ignored);
  while (!connections.empty()) connections.front()->sayFarewell();
}

DictServer::DictServer(ServerLimits limits, ProtocolFactory factory, std::string refusal,
                       std::string farewell)
    : _impl(std::make_unique<Impl>(limits, std::move(factory), std::move(refusal),
                                   std::move(farewell))) {}

DictServer::~DictServer() = default;

std::optional<uint16_t> DictServer::listen(const std::string& address, uint16_t port,
                                           std::string* error) {
  error_code ec;
  const asio::ip::address ip = asio::ip::make_address(address, ec);
  if (ec) {
    *error = "'" + address + "' is not an IP address";
    return std::nullopt;
  }
  const tcp::endpoint endpoint(ip, port);
  tcp::acceptor& acceptor = _impl->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    *error = ec == asio::error::address_in_use
                 ? "port " + std::to_string(port) + " is in use"
                 : "cannot listen on " + address + ": " + ec.message();
    error_code ignored;
    acceptor.close(ignored);
    return std::nullopt;
  }
  return acceptor.local_endpoint().port();
}

void DictServer::run() {
  _impl->signals.add(SIGINT);
  _impl->signals.add(SIGTERM);
  _impl->signals.async_wait([this](error_code ec, int) {
    if (!ec) _impl->shutdown();
  });
  _impl->accept();
  _impl->io.run();
}

void DictServer::stop() {
  asio::post(_impl->io, [this] { _impl->shutdown(); });
}

size_t DictServer::connections() const {
  std::lock_guard<std::mutex> lock(_impl->countMutex);
  return _impl->open;
}

}  // namespace lexor::dict
