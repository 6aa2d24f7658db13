#include "hosts/web/request_guard.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace lexor::web {
namespace {

constexpr size_t kTokenBytes = 32;  // 256 bits

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// "NAME:PORT" with NAME one of the loopback names this server answers to. The port must be
// written exactly as the server's own (no leading zeros, no missing port): a browser always
// sends it so for a non-default port.
bool isOwnAuthority(std::string_view authority, uint16_t port) {
  const std::string portSuffix = ":" + std::to_string(port);
  if (authority.size() <= portSuffix.size() ||
      authority.substr(authority.size() - portSuffix.size()) != portSuffix) {
    return false;
  }
  const std::string_view name = authority.substr(0, authority.size() - portSuffix.size());
  return name == "127.0.0.1" || equalsIgnoringCase(name, "localhost");
}

}  // namespace

std::optional<std::string> makeToken() {
  std::ifstream random("/dev/urandom", std::ios::binary);
  std::array<unsigned char, kTokenBytes> bytes{};
  if (!random.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  token.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    token.push_back(kHex[byte >> 4]);
    token.push_back(kHex[byte & 0x0F]);
  }
  return token;
}

bool isOwnHost(std::string_view hostHeader, uint16_t port) {
  return isOwnAuthority(hostHeader, port);
}

bool isOwnOrigin(std::string_view originHeader, uint16_t port) {
  constexpr std::string_view kScheme = "http://";
  if (originHeader.substr(0, kScheme.size()) != kScheme) return false;
  return isOwnAuthority(originHeader.substr(kScheme.size()), port);
}

}  // namespace lexor::web
