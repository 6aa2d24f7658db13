#include "hosts/net/socket_activation.h"

#include <gtest/gtest.h>

namespace lexor::net {
namespace {

constexpr long kSelf = 4242;

TEST(SocketActivationTest, CountsOnlyDescriptorsMeantForThisProcess) {
  struct Case {
    const char* pid;
    const char* fds;
    std::optional<int> count;  // std::nullopt: malformed
  };
  const Case cases[] = {
      {nullptr, nullptr, 0},  // started by hand
      {"4242", nullptr, 0},
      {"4242", "1", 1},
      {"4242", "2", 2},
      {"4242", "0", 0},
      {"17", "1", 0},  // inherited from a parent the manager started
      {"4242x", "1", std::nullopt},
      {"", "1", std::nullopt},
      {"4242", "one", std::nullopt},
      {"4242", "-1", std::nullopt},
      {"4242", "99999999999999999999", std::nullopt},
      {"4242", "70000", std::nullopt},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::optional<int> count = activatedDescriptorCount(c.pid, c.fds, kSelf, &error);
    EXPECT_EQ(count, c.count) << (c.pid ? c.pid : "(unset)") << " " << (c.fds ? c.fds : "(unset)");
    EXPECT_EQ(error.empty(), count.has_value()) << error;
  }
}

}  // namespace
}  // namespace lexor::net
