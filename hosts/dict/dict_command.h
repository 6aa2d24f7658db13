// The DICT host's server: the dictionaries of ~/Library/Lexor to every DICT client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hosts/dict/dict_session.h"

namespace lexor::dict {

inline constexpr uint16_t kDefaultPort = 2628;
inline constexpr const char* kDefaultAddress = "127.0.0.1";

struct DictServerOptions {
  uint16_t port = kDefaultPort;  // 0 picks a free port
  std::string address = kDefaultAddress;
  size_t maxMatches = kDefaultMaxMatches;
};

// Prints the server's address (dict://ADDRESS:PORT/) on standard output, then serves until SIGINT
// or SIGTERM and returns true. False, with the reason in *error, when the server cannot start.
// A listening socket handed over by the service manager (LISTEN_PID, LISTEN_FDS) is served
// instead of options.address and options.port, and the first line says so.
bool runDictServer(const DictServerOptions& options, std::string* error);

}  // namespace lexor::dict
