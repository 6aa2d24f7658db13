#include "platform/log.h"

#include <gtest/gtest.h>

#include <string>

namespace lexor {
namespace {

using Lines = std::vector<std::string>;

TEST(Log, CapturingSinksTakeLinesExactlyAndNest) {
  CapturingLogSink outer;
  logFormat("resolveAlias(%s)", "/home/\xC3\xA9/Library/Lexor");
  {
    CapturingLogSink inner;
    logFormat("needle too long, maybe.\n");
    EXPECT_EQ(inner.lines(), Lines{"needle too long, maybe.\n"});
  }
  const std::string path(5000, 'x');  // longer than any fixed buffer
  logFormat("cannot get filehandle for path %s\n", path.c_str());
  EXPECT_EQ(outer.lines(), (Lines{"resolveAlias(/home/\xC3\xA9/Library/Lexor)",
                                  "cannot get filehandle for path " + path + "\n"}));
  silenceLog();
  logLine("dropped");
  EXPECT_EQ(outer.lines().size(), 2u);
}

TEST(Log, DefaultSinkEndsEveryLineWithOneLineFeed) {
  setLogSink(nullptr);
  ::testing::internal::CaptureStderr();
  logFormat(": bResult=%s", "f");
  logFormat("needle too long, maybe.\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), ": bResult=f\nneedle too long, maybe.\n");
}

}  // namespace
}  // namespace lexor
