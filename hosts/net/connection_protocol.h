// What a protocol plugs into the network core: one object per connection that turns the bytes a
// client sent into the bytes of its answers. It knows nothing of sockets or timers, so it can be
// tested and fuzzed by feeding it bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lexor::net {

class ConnectionProtocol {
 public:
  virtual ~ConnectionProtocol() = default;

  // Called once when the connection is accepted; a greeting, if the protocol has one, goes to
  // `out`.
  virtual void opened(std::string& out) {}

  // Takes the bytes just received and appends the answers of every request they complete to
  // `out`, in order. Returns false when the connection is to close once `out` is sent.
  virtual bool received(std::string_view bytes, std::string& out) = 0;

  // Whether part of a request has come and is not answered yet.
  virtual bool midRequest() const = 0;
};

using ProtocolFactory = std::function<std::unique_ptr<ConnectionProtocol>()>;

}  // namespace lexor::net
