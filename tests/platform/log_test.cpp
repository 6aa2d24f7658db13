#include "platform/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

using Lines = std::vector<std::string>;

TEST(Log, CapturesLinesExactlyAsFormatted) {
  CapturingLogSink log;
  logFormat("resolveAlias(%s)", "/home/\xC3\xA9/Library/Lexor");
  logFormat("needle too long, maybe.\n");
  logFormat(": isDir=%s", "f");
  logLine("plain");
  EXPECT_EQ(log.lines(), (Lines{"resolveAlias(/home/\xC3\xA9/Library/Lexor)",
                                "needle too long, maybe.\n", ": isDir=f", "plain"}));
  log.clear();
  EXPECT_TRUE(log.lines().empty());
}

TEST(Log, FormatsLinesOfAnyLength) {
  CapturingLogSink log;
  const std::string path(5000, 'x');
  logFormat("cannot get filehandle for path %s\n", path.c_str());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "cannot get filehandle for path " + path + "\n");
}

TEST(Log, CapturingSinksNest) {
  CapturingLogSink outer;
  logLine("one");
  {
    CapturingLogSink inner;
    logLine("two");
    EXPECT_EQ(inner.lines(), Lines{"two"});
  }
  logLine("three");
  EXPECT_EQ(outer.lines(), (Lines{"one", "three"}));
}

TEST(Log, SilenceDropsLinesUntilTheSinkIsReplaced) {
  CapturingLogSink outer;
  silenceLog();
  logLine("dropped");
  EXPECT_TRUE(outer.lines().empty());
}

TEST(Log, ASinkMayLogItself) {
  CapturingLogSink outer;
  Lines seen;
  bool inside = false;
  setLogSink([&](const std::string& line) {
    if (inside) {
      seen.push_back(line);
      return;
    }
    inside = true;
    logLine("again: " + line);
    inside = false;
  });
  logLine("x");
  EXPECT_EQ(seen, Lines{"again: x"});
}

// Runs `body` with standard error sent to a file, and returns what was written.
template <typename Body>
std::string standardErrorOf(Body body) {
  testing::TempDir dir;
  const std::string path = dir.file("stderr");
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  FILE* file = std::fopen(path.c_str(), "w");
  dup2(fileno(file), STDERR_FILENO);
  body();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::fclose(file);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Log, DefaultSinkEndsEveryLineWithOneLineFeed) {
  setLogSink(nullptr);
  const std::string written = standardErrorOf([] {
    logFormat(": bResult=%s", "f");
    logFormat("needle too long, maybe.\n");
    logLine("");
  });
  EXPECT_EQ(written, ": bResult=f\nneedle too long, maybe.\n\n");
}

}  // namespace
}  // namespace lexor
