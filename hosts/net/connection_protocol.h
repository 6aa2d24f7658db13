// What a protocol plugs into the network core: one object per connection that turns the bytes a
// client sent into the bytes of its answers. It knows nothing of sockets or timers, so it can be
// tested and fuzzed by feeding it bytes.
//
// Framing a request is cheap and happens on the network thread; what a request asks for that may
// take long (a script call, a DICT look-up) is handed back as Work, which the core runs on a worker
// so that every other connection goes on being served meanwhile.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace lexor::net {

struct Work {
  // Work of one lane runs one at a time, in the order it was given, whichever connection gave it
  // (the lane of a page's session, say); nullptr for none beyond the connection's own order.
  const void* lane = nullptr;
  // Runs on a worker and appends the answer to `out`; false when the connection is to close once
  // the answer is sent. `stop` is asked when the server stops: long work checks it between steps.
  std::function<bool(std::string& out, std::stop_token stop)> run = nullptr;
};

struct Step {
  bool keepOpen = true;  // false: close once the answers are sent
  // Work to run before anything more is taken; once it is done and its answer mostly sent, the
  // core calls received() again with no bytes, to go on with what the protocol still holds.
  std::optional<Work> work = std::nullopt;
};

class ConnectionProtocol {
 public:
  virtual ~ConnectionProtocol() = default;

  // Called once when the connection is accepted; a greeting, if the protocol has one, goes to
  // `out`.
  virtual void opened(std::string& out) {}

  // Takes the bytes just received (none when going on after work) and appends the answers it can
  // give at once to `out`, in order. It stops at the first request that needs work and holds the
  // rest. Never called while this connection's work runs.
  virtual Step received(std::string_view bytes, std::string& out) = 0;

  // Whether part of a request has come and is not answered yet.
  virtual bool midRequest() const = 0;
};

using ProtocolFactory = std::function<std::unique_ptr<ConnectionProtocol>()>;

// Feeds `bytes` and runs every piece of work at once on this thread: what a test, a fuzzer or a
// one-thread host does. Returns false when the connection is to close.
inline bool receiveWhole(ConnectionProtocol& protocol, std::string_view bytes, std::string& out) {
  bool keepOpen = true;
  for (Step step = protocol.received(bytes, out);; step = protocol.received({}, out)) {
    keepOpen = keepOpen && step.keepOpen;
    if (!step.work) return keepOpen;
    keepOpen = step.work->run(out, std::stop_token()) && keepOpen;
    if (!keepOpen) return false;
  }
}

}  // namespace lexor::net
