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

class PageSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _home.writeDictionary("one1.dic", {entry("go", "行く"), entry("going", "行くこと")});
    _home.writeDictionary("two1.dic", {entry("gehen", "to go")});
  }
  testing::PeekTestHome _home;
  CapturingLogSink _log;
  const PageSessions::Clock::time_point _t0{};
};

TEST_F(PageSessionsTest, EachSessionKeepsItsOwnChoiceAndCursor) {
  PageSessions sessions;
  ASSERT_TRUE(sessions.open("aa", _t0));
  ASSERT_TRUE(sessions.open("bb", _t0));
  LexorPeek* a = sessions.find("aa", _t0);
  LexorPeek* b = sessions.find("bb", _t0);
  ASSERT_TRUE(a && b && a != b);
  a->_useNthDic(0);
  b->_useNthDic(1);
  ASSERT_TRUE(a->_queryWithWord(u"go"));
  ASSERT_TRUE(b->_queryWithWord(u"ge"));
  a->_moveNext();
  EXPECT_EQ(a->_getRecordAsText(), u"going<br>行くこと");
  EXPECT_EQ(b->_getRecordAsText(), u"gehen<br>to go");
  for (const char* unknown : {"", "a", "aaa", "ab", "AA"})
    EXPECT_EQ(sessions.find(unknown, _t0), nullptr) << unknown;
}

TEST_F(PageSessionsTest, IdleSessionsExpireAndUseKeepsThemAlive) {
  PageSessions sessions;
  sessions.open("kept", _t0);
  sessions.open("left", _t0);
  EXPECT_NE(sessions.find("kept", _t0 + 29min), nullptr);
  EXPECT_NE(sessions.find("kept", _t0 + 58min), nullptr);
  EXPECT_EQ(sessions.find("left", _t0 + 30min), nullptr);
  EXPECT_EQ(sessions.size(), 1u);
  sessions.expire(_t0 + 88min);
  EXPECT_EQ(sessions.size(), 0u);
}

// Pages that keep their sessions busy cannot lock a new page out: it takes the place of the one
// used least recently, however recently that was.
TEST_F(PageSessionsTest, AFullTableGivesUpTheLeastRecentlyUsedSession) {
  PageSessions sessions({.maxSessions = 3});
  sessions.open("s0", _t0);
  sessions.open("s1", _t0 + 1s);
  sessions.open("s2", _t0 + 2s);
  std::shared_ptr<LexorPeek> held = sessions.hold("s1", _t0 + 2s);
  sessions.find("s2", _t0 + 3s);
  sessions.find("s0", _t0 + 3s);  // now s1 is the least recently used
  EXPECT_TRUE(sessions.open("s3", _t0 + 4s));
  EXPECT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions.find("s1", _t0 + 4s), nullptr);
  for (const char* live : {"s0", "s2", "s3"})
    EXPECT_NE(sessions.find(live, _t0 + 4s), nullptr) << live;
  // A call that was running on the session given up still has its object.
  EXPECT_EQ(held->_dicCount(), 2);
}

}  // namespace
}  // namespace lexor
