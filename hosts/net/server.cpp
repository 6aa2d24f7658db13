#include "hosts/net/server.h"

// GCC 12 in C++20 needs <utility> ahead of Asio's headers.
#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <cstdlib>
#include <list>
#include <utility>

#include "hosts/net/work_pool.h"

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
// On a stop, running work is asked to end and given this long; the process must be gone within
// two seconds of the signal whatever runs.
constexpr std::chrono::milliseconds kStopGrace{1000};

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
  Impl(ServerLimits l, ProtocolFactory f)
      : limits(std::move(l)), factory(std::move(f)), pool(std::max<size_t>(1, limits.workers)) {}

  void accept();
  void admit(tcp::socket socket);
  // Closes the connection that has waited longest for its client, among those that may make room;
  // false when none may.
  bool evictOne();
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
  std::atomic<size_t> connectionCount{0};
  std::atomic<size_t> unsentBytes{0};
  std::atomic<size_t> largestUnsent{0};
  WorkPool pool;  // last: its workers are stopped before anything they answer to goes
};

// One client. Its single timer always holds the deadline of what the connection waits for: a
// request, the next request after an answer, or the client's taking of an answer. While its work
// runs there is no deadline: the work is bounded by its own limits.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  enum class Phase { kRequest, kIdle, kWorking, kWriting, kDraining };

  Connection(Server::Impl& server, tcp::socket socket, asio::ip::address peer)
      : _server(server),
        _socket(std::move(socket)),
        _timer(server.io),
        _protocol(server.factory()),
        _peer(std::move(peer)) {}

  void start(std::list<std::shared_ptr<Connection>>::iterator self) {
    _self = self;
    error_code ignored;
    _socket.set_option(tcp::no_delay(true), ignored);  // small answers must not wait for acks
    _waitingSince = Clock::now();
    armTimer(_server.limits.requestTimeout);
    _protocol->opened(_queued);
    advance();
  }

  // Waiting for its client: silent, sending a request, or idle after an answer.
  bool waitsForClient() const { return _phase == Phase::kRequest || _phase == Phase::kIdle; }
  bool midRequest() const { return _phase == Phase::kRequest; }
  Clock::time_point waitingSince() const { return _waitingSince; }
  const asio::ip::address& peer() const { return _peer; }

  void close() {
    if (_closed) return;
    _closed = true;
    const auto keepAlive = shared_from_this();  // erasing below may drop the last other owner
    error_code ignored;
    _socket.close(ignored);
    _timer.cancel();
    _sending.clear();
    _sent = 0;
    _queued.clear();
    count();
    --_server.connectionCount;
    _server.connections.erase(_self);  // the handlers still pending hold the object
  }

 private:
  size_t unsent() const { return _sending.size() - _sent + _queued.size(); }

  void armTimer(std::chrono::milliseconds timeout) {
    _timer.expires_after(timeout);
    _timer.async_wait([self = shared_from_this()](error_code ec) {
      // A wait that ended just before the deadline moved on is queued without an error; the
      // deadline itself says whether it passed.
      if (!ec && self->_timer.expiry() <= asio::steady_timer::clock_type::now()) self->close();
    });
  }

  // Moves the connection on as far as it can: more answers from what the protocol holds while
  // the client keeps up, the writing of answers, then the reading of more requests.
  void advance() {
    if (_phase == Phase::kDraining) return;
    while (!_closed && !_working && !_needInput && _keepOpen &&
           unsent() < _server.limits.maxUnsentBytes) {
      take(_protocol->received({}, _queued));
    }
    if (_closed) return;
    write();
    count();
    if (_working) {
      if (_phase != Phase::kWorking) _timer.cancel();
      _phase = Phase::kWorking;
    } else if (unsent() > 0) {
      if (_phase != Phase::kWriting) armTimer(_server.limits.requestTimeout);
      _phase = Phase::kWriting;
    } else if (!_keepOpen) {
      drainThenClose();
    } else if (_needInput) {
      if (_phase == Phase::kWorking || _phase == Phase::kWriting) answered();
      if (!_reading) read();
    }
  }

  // Everything asked so far is answered: the next request's clock starts now if part of it is
  // already here, else at its first byte, after the idle wait.
  void answered() {
    _waitingSince = Clock::now();
    if (_protocol->midRequest()) {
      _phase = Phase::kRequest;
      armTimer(_server.limits.requestTimeout);
    } else {
      _phase = Phase::kIdle;
      armTimer(_server.limits.idleTimeout);
    }
  }

  void take(Step step) {
    _keepOpen = _keepOpen && step.keepOpen;
    _needInput = !step.work;
    if (step.work) startWork(std::move(*step.work));
  }

  void startWork(Work work) {
    _working = true;
    Server::Impl& server = _server;
    server.pool.post(work.lane, [self = shared_from_this(), &server,
                                 run = std::move(work.run)](std::stop_token stop) {
      std::string out;
      bool keepOpen = false;
      try {
        keepOpen = run(out, stop);
      } catch (const std::exception&) {
        // A protocol answers its own faults; one that escapes ends the connection.
      }
      asio::post(server.io, [self, out = std::move(out), keepOpen]() mutable {
        self->workDone(std::move(out), keepOpen);
      });
    });
  }

  void workDone(std::string out, bool keepOpen) {
    _working = false;
    if (_closed) return;
    if (_queued.empty()) {
      _queued = std::move(out);  // an answer of megabytes is not copied
    } else {
      _queued += out;
    }
    _keepOpen = _keepOpen && keepOpen;
    _needInput = false;  // the protocol may hold more
    advance();
  }

  void read() {
    _reading = true;
    _socket.async_read_some(asio::buffer(_in),
                            [self = shared_from_this()](error_code ec, size_t n) {
                              self->_reading = false;
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
    take(_protocol->received(bytes, _queued));
    advance();
  }

  void write() {
    if (_writing) return;
    if (_sent == _sending.size()) {
      if (_queued.empty()) return;
      _sending = std::exchange(_queued, std::string());
      _sent = 0;
    }
    _writing = true;
    _socket.async_write_some(
        asio::buffer(_sending.data() + _sent, _sending.size() - _sent),
        [self = shared_from_this()](error_code ec, size_t n) {
          self->_writing = false;
          if (self->_closed) return;
          if (ec) return self->close();
          self->_sent += n;
          if (self->_sent == self->_sending.size()) {
            self->_sending = std::string();  // an answer of megabytes is not kept for the next
            self->_sent = 0;
          }
          // The client takes the answer: the deadline runs from what it took last.
          if (n > 0) self->armTimer(self->_server.limits.requestTimeout);
          self->advance();
        });
  }

  // Keeps the server's counters of unsent answers in step with this connection.
  void count() {
    const size_t now = unsent();
    _server.unsentBytes += now;
    _server.unsentBytes -= _counted;
    _counted = now;
    size_t largest = _server.largestUnsent.load();
    while (now > largest && !_server.largestUnsent.compare_exchange_weak(largest, now)) {
    }
  }

  void drainThenClose() {
    _phase = Phase::kDraining;
    error_code ignored;
    _socket.shutdown(tcp::socket::shutdown_send, ignored);
    armTimer(std::min(kDrainTime, _server.limits.requestTimeout));
    if (!_reading) drain();
  }

  void drain() {
    _reading = true;
    _socket.async_read_some(asio::buffer(_in),
                            [self = shared_from_this()](error_code ec, size_t n) {
                              self->_reading = false;
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
  asio::ip::address _peer;
  std::list<std::shared_ptr<Connection>>::iterator _self;
  std::array<char, kReadChunk> _in{};
  std::string _sending;  // the answers being written, from _sent on
  size_t _sent = 0;
  std::string _queued;  // answers that wait for the write under way
  size_t _counted = 0;  // of unsent(), in the server's counters
  Phase _phase = Phase::kRequest;
  Clock::time_point _waitingSince{};
  size_t _drained = 0;
  bool _keepOpen = true;
  bool _needInput = true;  // the protocol has taken all it was given and waits for bytes
  bool _working = false;
  bool _reading = false;
  bool _writing = false;
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

bool Server::Impl::evictOne() {
  // A protocol whose clients keep connections between look-ups gives up only one caught in the
  // middle of a request; else an idle one goes too.
  const bool keepIdle = !limits.refusal.empty();
  std::shared_ptr<Connection> longest;
  for (const auto& connection : connections) {
    if (!connection->waitsForClient() || (keepIdle && !connection->midRequest())) continue;
    if (!longest || connection->waitingSince() < longest->waitingSince()) longest = connection;
  }
  if (!longest) return false;
  longest->close();
  return true;
}

void Server::Impl::admit(tcp::socket socket) {
  error_code ec;
  const tcp::endpoint remote = socket.remote_endpoint(ec);
  if (ec) return;
  const asio::ip::address peer = remote.address();
  const bool overAddressBound =
      limits.maxPerAddress > 0 &&
      static_cast<size_t>(std::count_if(connections.begin(), connections.end(), [&](const auto& c) {
        return c->peer() == peer;
      })) >= limits.maxPerAddress;
  if (overAddressBound || (connections.size() >= limits.maxConnections && !evictOne())) {
    if (!limits.refusal.empty()) {
      // Sent without waiting: a newcomer that does not read must not hold the server's thread.
      error_code ignored;
      socket.non_blocking(true, ignored);
      socket.write_some(asio::buffer(limits.refusal), ignored);
      socket.shutdown(tcp::socket::shutdown_both, ignored);
    }
    error_code ignored;
    socket.close(ignored);
    return;
  }
  auto connection = std::make_shared<Connection>(*this, std::move(socket), peer);
  connections.push_front(connection);
  ++connectionCount;
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

bool Server::runUntilSignal() {
  _impl->signals.async_wait([this](error_code, int) { _impl->stop(); });
  _impl->accept();
  _impl->io.run();
  return _impl->pool.stop(kStopGrace);
}

Server::Counters Server::counters() const {
  return Counters{_impl->connectionCount.load(), _impl->unsentBytes.load(),
                  _impl->largestUnsent.load()};
}

}  // namespace lexor::net
