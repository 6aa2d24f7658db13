// Finding ~/Library/Lexor and listing its dictionaries, with the suite's positions and versions.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "platform/log.h"
#include "tests/support/peek_test_home.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::PeekTestHome;
using Lines = std::vector<std::string>;
using Names = std::vector<UString>;

TEST(DiscoveryTest, MissingFolderLogsTheAliasAttemptThenBothFailures) {
  PeekTestHome home;
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_EQ(log.lines(), (Lines{"resolveAlias(" + home.folder() + ")",
                                ": resolvedPath = " + home.folder(), ": bResult=f", ": isDir=f"}));
  EXPECT_EQ(peek->_getDicDir(), std::nullopt);
  EXPECT_EQ(peek->_dicCount(), 0);
}

TEST(DiscoveryTest, OrdinaryFileIsNoFolderAndALinkToOneIsUsedUnderItsOwnPath) {
  PeekTestHome file;
  file.dir().write("Library/Lexor", "not a folder");
  CapturingLogSink log;
  EXPECT_EQ(file.construct()->_getDicDir(), std::nullopt);
  EXPECT_EQ(log.lines(), Lines{": isDir=f"});

  PeekTestHome linked;
  linked.dir().write("real/german.dic", "");
  fs::create_directories(linked.home() + "/Library");
  fs::create_symlink(linked.home() + "/real", linked.folder());
  log.clear();
  std::shared_ptr<LexorPeek> peek = linked.construct();
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(peek->_getDicDir(), fromUtf8(linked.folder()));
  EXPECT_EQ(peek->_dicPathsInDir(), Names{u"german.dic"});
}

TEST(ScanTest, ListsFiveOrdinaryDictionariesAndTheSuiteWithItsVersions) {
  using Files = std::vector<const char*>;
  // Positions of abbora, ambora, exora, revora in the list; versions of ambora, revora, suite.
  using Ids = std::array<int32_t, 7>;
  const struct {
    const char* what;
    Files files;
    Names listed;
    Ids ids;
  } cases[] = {
      {"five ordinary files in any case of extension, every suite file, no other files",
       Files{"b1.dic", "b2.dic", "b3.DIC", "b4.Dic", "b5.dic", "b6.dic", "b7.dic", "abbora1.dic",
             "ambora52.dic", "exora1.dic", "revora48.dic", "a.txt", "a.dicx", "a.dic.bak", "adic"},
       Names{u"abbora1.dic", u"ambora52.dic", u"b1.dic", u"b2.dic", u"b3.DIC", u"b4.Dic", u"b5.dic",
             u"exora1.dic", u"revora48.dic"},
       Ids{0, 1, 7, 8, 52, 48, 48}},
      {"suite files in sub-folders keep their versions, which are two characters long",
       Files{"sub/ambora52.dic", "s/revora123.dic"}, Names{u"s/revora123.dic", u"sub/ambora52.dic"},
       Ids{-1, 1, -1, 0, 52, 12, 12}},
      {"the later of two ambora files wins; a version ends at its first non-digit",
       Files{"ambora50.dic", "ambora52.dic", "sub/ambora9x.dic", "revora60.dic"},
       Names{u"ambora50.dic", u"ambora52.dic", u"revora60.dic", u"sub/ambora9x.dic"},
       Ids{-1, 3, -1, 2, 9, 60, 9}},
      {"the suite needs both versions", Files{"AMBORA52.DIC", "revora.dic"},
       Names{u"AMBORA52.DIC", u"revora.dic"}, Ids{-1, 0, -1, 1, 52, 0, 0}},
      {"and both main files", Files{"ambora52.dic", "exora1.dic"},
       Names{u"ambora52.dic", u"exora1.dic"}, Ids{-1, 0, 1, -1, 52, 0, 0}},
      {"a folder named like a dictionary is not listed, what it holds is",
       Files{"sub/deeper/german.dic", "x.dic/inner.dic", "sub/notes.txt"},
       Names{u"sub/deeper/german.dic", u"x.dic/inner.dic"}, Ids{-1, -1, -1, -1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeekTestHome home;
    for (const char* file : c.files) home.touch(file);
    std::shared_ptr<LexorPeek> peek = home.construct();
    EXPECT_EQ(peek->_dicPathsInDir(), c.listed);
    EXPECT_EQ(peek->_dicCount(), static_cast<int32_t>(c.listed.size()));
    EXPECT_EQ((std::array{peek->abboraDicID(), peek->amboraDicID(), peek->exoraDicID(),
                          peek->revoraDicID(), peek->amboraVer(), peek->revoraVer(),
                          peek->_isAmboraAvailable()}),
              c.ids);
  }
}

// Only regular files are dictionaries: anything else named like one would take a place (or be
// the default) and fail every look-up. Each is skipped with a line saying so.
TEST(ScanTest, OnlyRegularFilesAreListedLinksFollowed) {
  PeekTestHome home;
  for (const char* name : {"good.dic", "zz/real.bin"}) home.touch(name);
  fs::create_directories(home.folder() + "/folder.dic");
  ASSERT_EQ(mkfifo((home.folder() + "/fifo.dic").c_str(), 0600), 0);
  fs::create_symlink(home.folder() + "/missing", home.folder() + "/dangling.dic");
  fs::create_symlink(home.folder() + "/zz/real.bin", home.folder() + "/linked.dic");
  fs::create_symlink("/dev/null", home.folder() + "/device.dic");
  std::shared_ptr<LexorPeek> peek = home.construct();
  CapturingLogSink log;
  EXPECT_EQ(peek->_dicPathsInDir(), (Names{u"good.dic", u"linked.dic"}));
  EXPECT_EQ(log.lines(), (Lines{"; skipped dangling.dic: not a regular file",
                                "; skipped device.dic: not a regular file",
                                "; skipped fifo.dic: not a regular file",
                                "; skipped folder.dic: not a regular file"}));
}

// The page has five places beside the suite; hosts without a page list every dictionary, the
// page's places first and unchanged.
TEST(ScanTest, EveryDictionaryComesAfterThePagesPlaces) {
  PeekTestHome home;
  for (const char* name : {"b1", "b2", "b3", "b4", "b5", "b6", "b7", "revora48"})
    home.touch(name + std::string(".dic"));
  std::shared_ptr<LexorPeek> peek = home.construct();
  Names listed = {u"b1.dic", u"b2.dic", u"b3.dic", u"b4.dic", u"b5.dic", u"revora48.dic"};
  EXPECT_EQ(peek->_dicPathsInDir(), listed);
  peek->setListsEveryDictionary(true);
  listed.insert(listed.end(), {u"b6.dic", u"b7.dic"});
  EXPECT_EQ(peek->_dicPathsInDir(), listed);
  EXPECT_EQ(peek->revoraDicID(), 5);
  EXPECT_EQ(peek->_dicNamesInDir().back(), u"b7.dic");
}

TEST(ScanTest, NamesAreTheLastScansAndARescanForgetsRemovedFiles) {
  PeekTestHome home;
  for (const char* name : {"ambora52.dic", "b.dic", "revora48.dic"}) home.touch(name);
  std::shared_ptr<LexorPeek> peek = home.construct();
  const std::vector<UString> names = peek->_dicNamesInDir();
  EXPECT_NE(names[0], u"ambora52.dic");  // a known file has its display name,
  EXPECT_EQ(names[1], u"b.dic");         // any other its path
  fs::remove_all(home.folder());
  fs::create_directories(home.folder());
  EXPECT_EQ(peek->_dicNamesInDir(), names);
  EXPECT_EQ(peek->_dicCount(), 0);
  EXPECT_TRUE(peek->_dicNamesInDir().empty());
  EXPECT_EQ((std::array{peek->amboraDicID(), peek->revoraDicID(), peek->amboraVer()}),
            (std::array{-1, -1, 0}));
}

}  // namespace
}  // namespace lexor
