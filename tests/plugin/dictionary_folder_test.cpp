// Finding ~/Library/Lexor and listing its dictionaries, with the suite's positions and versions.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "platform/log.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::PeekTestHome;
using testing::utf8;
using Lines = std::vector<std::string>;

TEST(DiscoveryTest, MissingFolderOrDanglingLinkLogsTheAliasAttemptThenBothFailures) {
  for (bool dangling : {false, true}) {
    PeekTestHome home;
    if (dangling) {
      fs::create_directories(home.home() + "/Library");
      fs::create_symlink(home.home() + "/nowhere", home.folder());
    }
    CapturingLogSink log;
    std::shared_ptr<LexorPeek> peek = home.construct();
    EXPECT_EQ(log.lines(),
              (Lines{"resolveAlias(" + home.folder() + ")", ": resolvedPath = " + home.folder(),
                     ": bResult=f", ": isDir=f"}));
    EXPECT_EQ(peek->_getDicDir(), std::nullopt);
    EXPECT_EQ(peek->_dicCount(), 0);
    EXPECT_EQ(peek->_isAmboraAvailable(), 0);
  }
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
  EXPECT_EQ(utf8(peek->_dicPathsInDir()), Lines{"german.dic"});
}

TEST(ResolveAliasTest, LinkResolvesToItsTargetAndAnythingElseToItself) {
  PeekTestHome home;
  const std::string target = home.dir().write("target.dic", "");
  const std::string link = home.home() + "/link.dic";
  fs::create_symlink(target, link);
  const std::string plain = home.dir().write("plain.dic", "");
  const std::string missing = home.home() + "/missing.dic";
  for (const auto& [path, resolved] :
       {std::pair{link, target}, {plain, plain}, {missing, missing}}) {
    CapturingLogSink log;
    EXPECT_EQ(resolveAlias(fromUtf8(path)), fromUtf8(resolved));
    EXPECT_EQ(log.lines(), (Lines{"resolveAlias(" + path + ")", ": resolvedPath = " + resolved}));
  }
  CapturingLogSink log;
  EXPECT_EQ(resolveAlias(std::nullopt), std::nullopt);
  EXPECT_TRUE(log.lines().empty());
}

struct ScanCase {
  const char* what;
  std::vector<const char*> files;
  Lines listed;
  std::array<int32_t, 4> positions;  // of abbora, ambora, exora, revora in the list
  std::array<int32_t, 3> versions;   // ambora's, revora's, and the suite's
};

TEST(ScanTest, ListsFiveOrdinaryDictionariesAndTheSuiteWithItsVersions) {
  const ScanCase cases[] = {
      {"five ordinary files in any case of extension, every suite file, no other files",
       {"b1.dic", "b2.dic", "b3.DIC", "b4.Dic", "b5.dic", "b6.dic", "b7.dic", "abbora1.dic",
        "ambora52.dic", "exora1.dic", "revora48.dic", "a.txt", "a.dicx", "a.dic.bak", "adic"},
       {"abbora1.dic", "ambora52.dic", "b1.dic", "b2.dic", "b3.DIC", "b4.Dic", "b5.dic",
        "exora1.dic", "revora48.dic"},
       {0, 1, 7, 8},
       {52, 48, 48}},
      {"suite files in sub-folders keep their versions",
       {"sub/ambora52.dic", "s/revora48.dic"},
       {"s/revora48.dic", "sub/ambora52.dic"},
       {-1, 1, -1, 0},
       {52, 48, 48}},
      {"the later of two ambora files wins",
       {"ambora50.dic", "ambora52.dic", "sub/ambora3.dic", "revora60.dic"},
       {"ambora50.dic", "ambora52.dic", "revora60.dic", "sub/ambora3.dic"},
       {-1, 3, -1, 2},
       {3, 60, 3}},
      {"versions are read at the seventh character",
       {"AMBORA07.DIC", "revora123.dic"},
       {"AMBORA07.DIC", "revora123.dic"},
       {-1, 0, -1, 1},
       {7, 12, 7}},
      {"a version ends at its first non-digit",
       {"ambora9x.dic", "revora5.dic"},
       {"ambora9x.dic", "revora5.dic"},
       {-1, 0, -1, 1},
       {9, 5, 5}},
      {"the suite needs both versions",
       {"ambora52.dic", "revora.dic"},
       {"ambora52.dic", "revora.dic"},
       {-1, 0, -1, 1},
       {52, 0, 0}},
      {"and both main files",
       {"ambora52.dic", "exora1.dic"},
       {"ambora52.dic", "exora1.dic"},
       {-1, 0, 1, -1},
       {52, 0, 0}},
      {"a folder named like a dictionary is listed, and what it holds",
       {"sub/deeper/german.dic", "x.dic/inner.dic", "sub/notes.txt"},
       {"sub/deeper/german.dic", "x.dic", "x.dic/inner.dic"},
       {-1, -1, -1, -1},
       {0, 0, 0}},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.what);
    PeekTestHome home;
    for (const char* file : c.files) home.touch(file);
    CapturingLogSink log;
    std::shared_ptr<LexorPeek> peek = home.construct();
    EXPECT_EQ(utf8(peek->_dicPathsInDir()), c.listed);
    EXPECT_EQ(peek->_dicCount(), static_cast<int32_t>(c.listed.size()));
    EXPECT_EQ((std::array{peek->abboraDicID(), peek->amboraDicID(), peek->exoraDicID(),
                          peek->revoraDicID()}),
              c.positions);
    EXPECT_EQ((std::array{peek->amboraVer(), peek->revoraVer(), peek->_isAmboraAvailable()}),
              c.versions);
  }
}

TEST(ScanTest, NamesAreTheLastScansAndARescanForgetsRemovedFiles) {
  PeekTestHome home;
  const char* files[] = {"abbora1.dic", "ambora52.dic", "b.dic", "exora1.dic", "revora48.dic"};
  for (const char* name : files) home.touch(name);
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  std::vector<UString> names = peek->_dicNamesInDir();
  EXPECT_NE(names[1], u"ambora52.dic");  // a known file has its display name,
  EXPECT_EQ(names[2], u"b.dic");         // any other its path
  for (const char* name : files) fs::remove(home.inFolder(name));
  EXPECT_EQ(peek->_dicNamesInDir(), names);
  EXPECT_EQ(peek->_dicCount(), 0);
  EXPECT_TRUE(peek->_dicNamesInDir().empty());
  for (int32_t id :
       {peek->amboraDicID(), peek->revoraDicID(), peek->abboraDicID(), peek->exoraDicID()})
    EXPECT_EQ(id, -1);
  EXPECT_EQ(peek->amboraVer(), 0);
  EXPECT_EQ(peek->revoraVer(), 0);
}

}  // namespace
}  // namespace lexor
