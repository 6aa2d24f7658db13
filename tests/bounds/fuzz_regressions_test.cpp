// Inputs the fuzz targets found to break a property, kept as they were found.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/string_bridge.h"

namespace lexor {
namespace {

// Text decoded from BOCU-1 must survive encoding and decoding again. A single-byte difference
// of -64 from the initial reference (0x50) decodes to U+0000, which the encoder writes as the
// terminating byte, so the text used to come back cut at it. The decoder drops U+0000 as it
// drops surrogate code points.
TEST(FuzzRegressions, Bocu1DecodedTextSurvivesAnotherRoundTrip) {
  const uint8_t found[] = {0x50, 0x50, 0x01, 0x00};  // two U+0000, then U+0001
  const std::optional<UString> text = CreateNSStringWithBOCU1(found, 0);
  ASSERT_EQ(text, UString(u"\x01"));
  std::vector<uint8_t> encoded(4 * text->size() + 1);
  CreateBOCU1StringWithNSString(*text, encoded.data(), static_cast<int32_t>(encoded.size()));
  EXPECT_EQ(CreateNSStringWithBOCU1(encoded.data(), 0), text);
}

}  // namespace
}  // namespace lexor
