// The session table of a host that serves many pages: each session its own object, expiry,
// the bound and which session a full table gives up.
#include "plugin/page_sessions.h"

#include <gtest/gtest.h>

#include "platform/log.h"
#include "plugin/lexor_peek.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

using namespace std::chrono_literals;
using testing::entry;
using Opened = PageSessions::Opened;

class PageSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.writeDictionary("one1.dic", {entry("go", "行く"), entry("going", "行くこと")});
    home_.writeDictionary("two1.dic", {entry("gehen", "to go")});
  }
  testing::PeekTestHome home_;
  CapturingLogSink log_;
  const PageSessions::Clock::time_point t0_{};
};

TEST_F(PageSessionsTest, EachSessionKeepsItsOwnChoiceAndCursor) {
  PageSessions sessions;
  ASSERT_EQ(sessions.open("aa", t0_), Opened::kOpened);
  ASSERT_EQ(sessions.open("bb", t0_), Opened::kOpened);
  LexorPeek* a = sessions.find("aa", t0_);
  LexorPeek* b = sessions.find("bb", t0_);
  ASSERT_TRUE(a && b && a != b);
  a->_useNthDic(0);
  b->_useNthDic(1);
  ASSERT_TRUE(a->_queryWithWord(u"go"));
  ASSERT_TRUE(b->_queryWithWord(u"ge"));
  a->_moveNext();
  EXPECT_EQ(a->_getRecordAsText(), u"going<br>行くこと");
  EXPECT_EQ(b->_getRecordAsText(), u"gehen<br>to go");
  for (const char* unknown : {"", "a", "aaa", "ab", "AA"})
    EXPECT_EQ(sessions.find(unknown, t0_), nullptr) << unknown;
}

TEST_F(PageSessionsTest, IdleSessionsExpireAndUseKeepsThemAlive) {
  PageSessions sessions;
  sessions.open("kept", t0_);
  sessions.open("left", t0_);
  EXPECT_NE(sessions.find("kept", t0_ + 29min), nullptr);
  EXPECT_NE(sessions.find("kept", t0_ + 58min), nullptr);
  EXPECT_EQ(sessions.find("left", t0_ + 30min), nullptr);
  EXPECT_EQ(sessions.size(), 1u);
  sessions.expire(t0_ + 88min);
  EXPECT_EQ(sessions.size(), 0u);
}

TEST_F(PageSessionsTest, AFullTableGivesUpTheIdlestSessionOnlyAfterAMinute) {
  PageSessions sessions({.maxSessions = 3});
  sessions.open("s0", t0_);
  sessions.open("s1", t0_ + 1s);
  sessions.open("s2", t0_ + 2s);
  sessions.find("s0", t0_ + 3s);  // now s1 is the idlest
  EXPECT_EQ(sessions.open("s3", t0_ + 60s), Opened::kFull);
  EXPECT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions.open("s3", t0_ + 61s), Opened::kOpened);
  EXPECT_EQ(sessions.find("s1", t0_ + 61s), nullptr);
  for (const char* live : {"s0", "s2", "s3"})
    EXPECT_NE(sessions.find(live, t0_ + 61s), nullptr) << live;
}

}  // namespace
}  // namespace lexor
