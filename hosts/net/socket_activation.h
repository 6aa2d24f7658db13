// A listening socket handed over by the service manager (socket activation): the service manager
// listens, starts the program at the first connection and passes the socket as descriptor 3,
// saying so in LISTEN_PID (the program's process id) and LISTEN_FDS (how many descriptors).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lexor::net {

// The first descriptor the service manager passes.
inline constexpr int kFirstActivatedDescriptor = 3;

// How many descriptors LISTEN_PID and LISTEN_FDS hand to the process `self`: 0 when the variables
// are absent or meant for another process (a parent's, inherited); std::nullopt with the reason
// in *error when they are meant for this process but malformed.
std::optional<int> activatedDescriptorCount(const char* listenPid, const char* listenFds, long self,
                                            std::string* error);

struct ActivatedSocket {
  int descriptor = -1;
  bool ipv6 = false;
  std::string address;  // numeric, as bound
  uint16_t port = 0;
};

// Takes the listening TCP socket this process was started with from the environment (whose
// LISTEN_ variables are then removed, so that no child takes them for its own): *activated holds
// it, or std::nullopt when none was handed over. False, with the reason in *error, when the
// variables are malformed or the descriptor is not a listening TCP socket.
bool takeActivatedSocket(std::optional<ActivatedSocket>* activated, std::string* error);

}  // namespace lexor::net
