#include "hosts/net/socket_activation.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace lexor::net {
namespace {

std::optional<long> parseDecimal(std::string_view text) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

bool intOption(int descriptor, int level, int name, int* value) {
  socklen_t length = sizeof(*value);
  return getsockopt(descriptor, level, name, value, &length) == 0;
}

}  // namespace

std::optional<int> activatedDescriptorCount(const char* listenPid, const char* listenFds, long self,
                                            std::string* error) {
  if (!listenPid || !listenFds) return 0;
  const std::optional<long> pid = parseDecimal(listenPid);
  if (!pid) {
    *error = "LISTEN_PID is not a process id: '" + std::string(listenPid) + "'";
    return std::nullopt;
  }
  if (*pid != self) return 0;
  const std::optional<long> count = parseDecimal(listenFds);
  // Far more descriptors than a process may hold would be a corrupt variable, not a hand-over.
  if (!count || *count > 65536) {
    *error = "LISTEN_FDS is not a count of descriptors: '" + std::string(listenFds) + "'";
    return std::nullopt;
  }
  return static_cast<int>(*count);
}

bool takeActivatedSocket(std::optional<ActivatedSocket>* activated, std::string* error) {
  activated->reset();
  const std::optional<int> count = activatedDescriptorCount(
      std::getenv("LISTEN_PID"), std::getenv("LISTEN_FDS"), static_cast<long>(getpid()), error);
  unsetenv("LISTEN_PID");
  unsetenv("LISTEN_FDS");
  unsetenv("LISTEN_FDNAMES");
  if (!count) return false;
  if (*count == 0) return true;

  const int descriptor = kFirstActivatedDescriptor;
  // The manager's descriptors survive exec; ours should not reach any program we might start.
  for (int extra = descriptor; extra < descriptor + *count; ++extra)
    fcntl(extra, F_SETFD, FD_CLOEXEC);

  int type = 0;
  int listening = 0;
  sockaddr_storage bound{};
  socklen_t length = sizeof(bound);
  if (!intOption(descriptor, SOL_SOCKET, SO_TYPE, &type) || type != SOCK_STREAM ||
      !intOption(descriptor, SOL_SOCKET, SO_ACCEPTCONN, &listening) || !listening ||
      getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length) != 0 ||
      (bound.ss_family != AF_INET && bound.ss_family != AF_INET6)) {
    *error = "descriptor " + std::to_string(descriptor) +
             " handed over by the service manager is not a listening TCP socket";
    return false;
  }

  ActivatedSocket& taken = activated->emplace();
  taken.descriptor = descriptor;
  taken.ipv6 = bound.ss_family == AF_INET6;
  char text[INET6_ADDRSTRLEN] = {};
  if (taken.ipv6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&bound);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
    taken.port = ntohs(in6->sin6_port);
  } else {
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(&bound);
    inet_ntop(AF_INET, &in4->sin_addr, text, sizeof(text));
    taken.port = ntohs(in4->sin_port);
  }
  taken.address = text;
  return true;
}

}  // namespace lexor::net
