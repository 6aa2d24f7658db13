#include "platform/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
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
  const std::string path(5000, 'x');
  logFormat("cannot get filehandle for path %s\n", path.c_str());
  EXPECT_EQ(outer.lines(), (Lines{"resolveAlias(/home/\xC3\xA9/Library/Lexor)",
                                  "cannot get filehandle for path " + path + "\n"}));
  silenceLog();
  logLine("dropped");
  EXPECT_EQ(outer.lines().size(), 2u);
}

TEST(Log, DefaultSinkEndsEveryLineWithOneLineFeed) {
  setLogSink(nullptr);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  FILE* file = std::tmpfile();
  dup2(fileno(file), STDERR_FILENO);
  logFormat(": bResult=%s", "f");
  logFormat("needle too long, maybe.\n");
  logLine("");
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::string written(64, '\0');
  std::rewind(file);
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::fclose(file);
  EXPECT_EQ(written, ": bResult=f\nneedle too long, maybe.\n\n");
}

}  // namespace
}  // namespace lexor
