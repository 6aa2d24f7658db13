#include "hosts/net/socket_activation.h"

#include <gtest/gtest.h>

namespace lexor::net {
namespace {

constexpr long kSelf = 4242;

TEST(SocketActivationTest, CountsOnlyDescriptorsMeantForThisProcess) {
  // Process id and descriptor count as set (null: unset); the count for us (nothing: malformed).
  const std::tuple<const char*, const char*, std::optional<int>> cases[] = {
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
  for (const auto& [pid, fds, expected] : cases) {
    std::string error;
    const std::optional<int> count = activatedDescriptorCount(pid, fds, kSelf, &error);
    EXPECT_EQ(count, expected) << (pid ? pid : "(unset)") << " " << (fds ? fds : "(unset)");
    EXPECT_EQ(error.empty(), count.has_value()) << error;
  }
}

}  // namespace
}  // namespace lexor::net
