// The DICT protocol on the network core over real loopback sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "hosts/dict/dict_session.h"
#include "hosts/net/server.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::dict {
namespace {

// Matches "5000" with that many long head words, and nothing else; the word "wait" holds its
// worker until released.
class TestMatcher : public WordMatcher {
 public:
  const std::vector<StrategyInfo>& strategies() const override { return _strategies; }
  bool match(size_t, std::string_view, const UString& word, size_t limit,
             std::vector<UString>* headWords, std::string*) override {
    if (word == u"wait") {
      std::unique_lock lock(_mutex);
      _waiting = true;
      _changed.notify_all();
      _changed.wait(lock, [this] { return _released; });
    } else if (word == u"5000") {
      headWords->assign(std::min<size_t>(limit, 5000), UString(40, u'w'));
    }
    return true;
  }
  std::vector<Record> definitions(size_t, const UString&, size_t) override { return {}; }
  void awaitWaiting() {
    std::unique_lock lock(_mutex);
    _changed.wait(lock, [this] { return _waiting; });
  }
  void release() {
    std::lock_guard lock(_mutex);
    _released = true;
    _changed.notify_all();
  }

 private:
  std::vector<StrategyInfo> _strategies = {{"exact", "Match head words exactly"}};
  std::mutex _mutex;
  std::condition_variable _changed;
  bool _waiting = false;
  bool _released = false;
};

class Client {
 public:
  explicit Client(uint16_t port) : _fd(socket(AF_INET, SOCK_STREAM, 0)) {
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(connect(_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  }
  ~Client() { close(_fd); }
  void send(std::string_view bytes) const {
    EXPECT_EQ(::send(_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `count` CR LF lines have come, the peer closes, or 5 s pass.
  std::string lines(size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
      size_t at = 0;
      while ((at = _in.find("\r\n")) == std::string::npos)
        if (!readSome()) return out;
      out += _in.substr(0, at + 2);
      _in.erase(0, at + 2);
    }
    return out;
  }
  // Reads and drops what comes until `needle` has come `count` times (or the peer stops for 5 s);
  // gives how many times it came.
  size_t skipPast(std::string_view needle, size_t count) {
    size_t seen = 0;
    while (seen < count) {
      const size_t at = _in.find(needle);
      if (at != std::string::npos) {
        ++seen;
        _in.erase(0, at + needle.size());
      } else if (!readSome()) {
        break;
      }
    }
    return seen;
  }
  // Whether the peer closes within 5 s (dropping whatever it still sends).
  bool closes() {
    while (readSome()) _in.clear();
    return _eof;
  }

 private:
  bool readSome() {
    pollfd p{_fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    char buffer[65536];
    const ssize_t n = recv(_fd, buffer, sizeof buffer, 0);
    _eof = n <= 0;
    if (n > 0) _in.append(buffer, static_cast<size_t>(n));
    return n > 0;
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
    _thread = std::thread([this] { _workersEnded = _server->runUntilSignal(); });
  }
  void stop() {
    if (!_server) return;
    _server->stop();
    _thread.join();
    _server.reset();
  }
  void TearDown() override { stop(); }
  std::unique_ptr<Client> greeted() {
    auto client = std::make_unique<Client>(_port);
    EXPECT_TRUE(client->lines(1).starts_with("220 "));
    return client;
  }

  // Starts with one database, so that MATCH * has somewhere to look; gives a client that has sent
  // `count` look-ups of 5000 head words each in one write and read only the greeting.
  std::unique_ptr<Client> startPipelining(net::ServerLimits limits, size_t count) {
    const std::string path = _dir.file("en.dic");
    EXPECT_TRUE(writer::writeDictionary(path, {testing::entry("cat", "neko")}, {.bocu = true}));
    _library = DictLibrary::fromFiles({{fromUtf8(path), "English"}});
    start(limits);
    auto client = greeted();
    std::string commands;
    for (size_t i = 0; i < count; ++i) commands += "MATCH * exact 5000\r\n";
    client->send(commands);
    return client;
  }

  testing::TempDir _dir;
  DictLibrary _library;
  TestMatcher _matcher;
  bool _workersEnded = true;
  std::unique_ptr<net::Server> _server;
  std::thread _thread;
  uint16_t _port = 0;
};

// Without databases too, every command is answered, in order, however its bytes are cut.
TEST_F(ServerTest, AnswersPipelinedCommandsInOrderAndQuits) {
  start(net::ServerLimits{});
  Client client(_port);
  EXPECT_EQ(client.lines(1), "220 lexorpeek dict-server <mime> <1@test>\r\n");
  client.send("STATUS\r\nSHOW DB\r\n" + std::string(3000, 'x') +
              "\r\nMATCH * exact cat\r\nDEFINE * cat\r\nDEFINE ambora cat\r\nfoo\r\nst");
  client.send("atus\r\nQUIT\r\nSTATUS\r\n");
  EXPECT_EQ(client.lines(9),
            "210 status [d/m/c = 0/0/1]\r\n554 no databases present\r\n500 line too long\r\n"
            "552 no match\r\n552 no match\r\n"
            "550 invalid database, use SHOW DB for a list of databases\r\n"
            "500 unknown command\r\n210 status [d/m/c = 2/1/8]\r\n221 bye\r\n");
  EXPECT_TRUE(client.closes());
}

// Each command a client sends is answered only as far as it reads: a client that sends a long
// pipeline and reads nothing holds one connection's bound of answers, never the pipeline's, while
// other clients are answered; what it reads later is every answer, in order.
TEST_F(ServerTest, AClientThatDoesNotReadHoldsAtMostTheUnsentBound) {
  constexpr size_t kCommands = 200;  // of about 250 KB each: some 50 MB in all
  const std::unique_ptr<Client> pipeline = startPipelining(dictServerLimits(), kCommands);
  for (int i = 0; i < 500 && _server->counters().unsentBytes < kMaxUnsentBytes; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::unique_ptr<Client> other = greeted();
  other->send("STATUS\r\n");
  EXPECT_EQ(other->lines(1), "210 status [d/m/c = 0/0/1]\r\n");
  EXPECT_GE(_server->counters().largestUnsent, kMaxUnsentBytes);
  EXPECT_LE(_server->counters().largestUnsent, kMaxUnsentBytes + 5000 * 53);  // and one answer
  // Every answer comes, one after the other: each one's end, then the next one's start.
  EXPECT_EQ(pipeline->skipPast("\r\n.\r\n250 ok\r\n152 5000 matches found\r\n", kCommands - 1),
            kCommands - 1);
}

// A client that takes none of its answers for the deadline is closed, and what it held goes.
TEST_F(ServerTest, AClientThatReadsNothingIsClosedAtTheDeadline) {
  net::ServerLimits limits = dictServerLimits();
  limits.requestTimeout = std::chrono::milliseconds(1500);
  const std::unique_ptr<Client> stalled = startPipelining(limits, 100);
  for (int i = 0; i < 500 && _server->counters().connections > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(_server->counters().connections, 0u);
  EXPECT_EQ(_server->counters().unsentBytes, 0u);
}

// A command that runs long holds one worker, not the server: other clients are answered, and a
// stop returns without waiting for it, saying so.
TEST_F(ServerTest, LongWorkHoldsNeitherOtherClientsNorTheStop) {
  const std::unique_ptr<Client> busy = startPipelining(dictServerLimits(), 0);
  busy->send("MATCH * exact wait\r\n");
  _matcher.awaitWaiting();
  const std::unique_ptr<Client> other = greeted();
  other->send("STATUS\r\n");  // look-ups take turns (they share dictionary objects); this is none
  EXPECT_EQ(other->lines(1), "210 status [d/m/c = 0/0/1]\r\n");
  _server->stop();
  _thread.join();
  EXPECT_FALSE(_workersEnded);
  _matcher.release();  // destroying the server waits for the worker left running
  _server.reset();
}

// At the bound a connection holding half a command line makes room for a newcomer; idle ones,
// whose clients keep them between look-ups, do not, and beyond it a newcomer is refused. One
// address holds at most its share; a connection idle past the limit is closed.
TEST_F(ServerTest, ANewcomerDisplacesAnUnfinishedCommandLineNotAnIdleConnection) {
  net::ServerLimits limits = dictServerLimits();
  ASSERT_EQ(limits.maxConnections, 256u);
  limits.maxConnections = 3;
  start(limits);
  const std::unique_ptr<Client> clients[] = {greeted(), greeted(), greeted()};
  clients[1]->send("DEFINE * ca");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the server has read it
  const std::unique_ptr<Client> newcomer = greeted();
  EXPECT_TRUE(clients[1]->closes());
  Client refused(_port);
  EXPECT_EQ(refused.lines(1), "420 server temporarily unavailable\r\n");
  EXPECT_TRUE(refused.closes());
  for (Client* client : {clients[0].get(), clients[2].get(), newcomer.get()}) {
    client->send("STATUS\r\n");
    EXPECT_EQ(client->lines(1), "210 status [d/m/c = 0/0/1]\r\n");
  }
  stop();

  limits = dictServerLimits(true);
  ASSERT_EQ(limits.maxPerAddress, kMaxConnectionsPerAddress);
  limits.maxPerAddress = 2;
  limits.idleTimeout = std::chrono::milliseconds(1500);
  start(limits);
  Client first(_port), second(_port), third(_port);
  EXPECT_TRUE(second.lines(1).starts_with("220 "));
  EXPECT_EQ(third.lines(1), "420 server temporarily unavailable\r\n");
  EXPECT_TRUE(first.closes());
  greeted();  // in the place of the one closed
}

TEST(LoopbackAddress, OnlyLoopbackAddressesCount) {
  for (const char* address : {"127.0.0.1", "127.1.2.3", "::1"})
    EXPECT_TRUE(net::isLoopbackAddress(address)) << address;
  for (const char* address : {"0.0.0.0", "192.168.1.2", "::", "localhost", ""})
    EXPECT_FALSE(net::isLoopbackAddress(address)) << address;
}

}  // namespace
}  // namespace lexor::dict
