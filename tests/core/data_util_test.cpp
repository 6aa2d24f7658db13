#include "core/data_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lexor {
namespace {

// Every field may stand at any address: each value is read at an even and an odd offset.
TEST(DataUtilTest, LittleEndianAtAnyAlignment) {
  struct Case {
    uint8_t bytes[4];
    uint32_t byte;
    int32_t shortValue;
    uint32_t ushortValue;
    int32_t longValue;
    uint32_t ulongValue;
  };
  const Case cases[] = {
      {{0xFE, 0xFF, 0xFF, 0xFF}, 0xFE, -2, 65534, -2, 0xFFFFFFFE},
      {{0x01, 0x00, 0x00, 0x80}, 0x01, 1, 1, -2147483647, 2147483649u},
      {{0x34, 0x12, 0x78, 0x56}, 0x34, 0x1234, 0x1234, 0x56781234, 0x56781234},
      {{0x00, 0x80, 0x00, 0x00}, 0x00, -32768, 32768, 32768, 32768},
      {{0xFF, 0x7F, 0xFF, 0x7F}, 0xFF, 32767, 32767, 0x7FFF7FFF, 0x7FFF7FFF},
  };
  for (const Case& c : cases) {
    for (size_t offset : {0u, 1u, 3u}) {
      uint8_t buffer[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
      std::memcpy(buffer + offset, c.bytes, 4);
      const uint8_t* p = buffer + offset;
      SCOPED_TRACE(testing::Message() << "offset " << offset << " value " << c.ulongValue);
      EXPECT_EQ(getByteAt(p), c.byte);
      EXPECT_EQ(getShortAt(p), c.shortValue);
      EXPECT_EQ(getUShortAt(p), c.ushortValue);
      EXPECT_EQ(getLongAt(p), c.longValue);
      EXPECT_EQ(getULongAt(p), c.ulongValue);
      EXPECT_EQ(getUIntOfWidth(p, 2), c.ushortValue);
      EXPECT_EQ(getUIntOfWidth(p, 4), c.ulongValue);
    }
  }
}

TEST(DataUtilTest, GetStringAtCopiesAndTerminates) {
  const uint8_t bytes[] = {'a', 'b', 0, 'c', 'd'};
  auto copy = getStringAt(bytes, 5);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy.get(), bytes, 5), 0) << "an inner NUL is copied too";
  EXPECT_EQ(copy[5], 0);

  auto empty = getStringAt(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], 0);

  EXPECT_EQ(getStringAt(bytes, SIZE_MAX), nullptr) << "a size that cannot be held";
}

}  // namespace
}  // namespace lexor
