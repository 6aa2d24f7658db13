// The DICT protocol on the network core over real loopback sockets: greeting, pipelining, the
// connection bound with its refusal, the idle deadline and long lines.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "hosts/dict/dict_session.h"
#include "hosts/net/server.h"

namespace lexor::dict {
namespace {

class NoMatcher : public WordMatcher {
 public:
  const std::vector<StrategyInfo>& strategies() const override { return _strategies; }
  MatchOutcome match(size_t, std::string_view, const UString&, size_t,
                     std::vector<UString>*) override {
    return MatchOutcome::kMatched;
  }
  std::vector<Record> definitions(size_t, const UString&, size_t) override { return {}; }

 private:
  std::vector<StrategyInfo> _strategies = {{"exact", "Match head words exactly"}};
};

class Client {
 public:
  explicit Client(uint16_t port) : _fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~Client() { close(_fd); }
  void send(std::string_view bytes) const {
    EXPECT_EQ(::send(_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `count` CR LF lines have come, the peer closes, or 5 s pass.
  std::string lines(size_t count) {
    while (true) {
      size_t seen = 0;
      for (size_t at = _in.find("\r\n"); at != std::string::npos; at = _in.find("\r\n", at + 2))
        ++seen;
      if (seen >= count || !readSome()) break;
    }
    std::string out;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = _in.find("\r\n");
      if (at == std::string::npos) break;
      out += _in.substr(0, at + 2);
      _in.erase(0, at + 2);
    }
    return out;
  }
  // Whether the peer closes within 5 s (after whatever it still sends).
  bool closes() {
    while (readSome()) {
    }
    return _eof;
  }

 private:
  bool readSome() {
    pollfd p{_fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    char buffer[4096];
    const ssize_t n = recv(_fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      _eof = true;
      return false;
    }
    _in.append(buffer, static_cast<size_t>(n));
    return true;
  }
  int _fd;
  std::string _in;
  bool _eof = false;
};

class ServerTest : public ::testing::Test {
 protected:
  void start(net::ServerLimits limits) {
    _server = std::make_unique<net::Server>(limits, [this] {
      return std::make_unique<DictSession>(_library, _matcher, SessionOptions{}, "<1@test>");
    });
    std::string error;
    std::optional<uint16_t> port = _server->listen("127.0.0.1", 0, &error);
    ASSERT_TRUE(port) << error;
    _port = *port;
    _thread = std::thread([this] { _server->runUntilSignal(); });
  }
  void TearDown() override {
    if (!_server) return;
    _server->stop();
    _thread.join();
  }

  DictLibrary _library;
  NoMatcher _matcher;
  std::unique_ptr<net::Server> _server;
  std::thread _thread;
  uint16_t _port = 0;
};

TEST_F(ServerTest, AnswersPipelinedCommandsInOrderAndQuits) {
  start(net::ServerLimits{});
  Client client(_port);
  EXPECT_EQ(client.lines(1), "220 lexorpeek dict-server <mime> <1@test>\r\n");
  client.send("STATUS\r\nSHOW DB\r\n" + std::string(3000, 'x') +
              "\r\nMATCH * exact cat\r\nfoo\r\nst");
  client.send("atus\r\nQUIT\r\nSTATUS\r\n");
  EXPECT_EQ(client.lines(7),
            "210 status [d/m/c = 0/0/1]\r\n554 no databases present\r\n500 line too long\r\n552 no "
            "match\r\n"
            "500 unknown command\r\n210 status [d/m/c = 0/1/6]\r\n221 bye\r\n");
  EXPECT_TRUE(client.closes());
}

TEST_F(ServerTest, RefusesConnectionsBeyondTheBoundAndClosesIdleOnes) {
  net::ServerLimits limits = dictServerLimits();
  ASSERT_EQ(limits.maxConnections, 256u);
  limits.idleTimeout = std::chrono::milliseconds(1500);
  start(limits);
  std::vector<std::unique_ptr<Client>> clients;
  for (size_t i = 0; i < limits.maxConnections; ++i) {
    clients.push_back(std::make_unique<Client>(_port));
    ASSERT_TRUE(clients.back()->lines(1).starts_with("220 ")) << i;
  }
  Client refused(_port);
  EXPECT_EQ(refused.lines(1), "420 server temporarily unavailable\r\n");
  EXPECT_TRUE(refused.closes());
  clients[0]->send("QUIT\r\n");
  EXPECT_EQ(clients[0]->lines(1), "221 bye\r\n");
  EXPECT_TRUE(clients[0]->closes());
  // The others, silent since their greeting, are closed once idle for the limit.
  EXPECT_TRUE(clients[1]->closes());
  Client later(_port);
  EXPECT_TRUE(later.lines(1).starts_with("220 "));
}

TEST(LoopbackAddress, OnlyLoopbackAddressesCount) {
  for (const char* address : {"127.0.0.1", "127.1.2.3", "::1"})
    EXPECT_TRUE(net::isLoopbackAddress(address)) << address;
  for (const char* address : {"0.0.0.0", "192.168.1.2", "::", "localhost", ""}) {
    EXPECT_FALSE(net::isLoopbackAddress(address)) << address;
  }
}

}  // namespace
}  // namespace lexor::dict
