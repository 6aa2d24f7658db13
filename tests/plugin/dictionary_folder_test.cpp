// Finding ~/Library/Lexor and listing its dictionaries, with the suite's positions and versions.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/log.h"
#include "tests/plugin/peek_test_home.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::PeekTestHome;
using testing::utf8;

std::vector<std::string> discoveryLog(const PeekTestHome& home) {
  CapturingLogSink log;
  home.construct();
  return log.lines();
}

TEST(DiscoveryTest, MissingFolderLogsAliasAttemptThenBothFailures) {
  PeekTestHome home;
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  const std::vector<std::string> expected = {
      "resolveAlias(" + home.folder() + ")",
      ": resolvedPath = " + home.folder(),
      ": bResult=f",
      ": isDir=f",
  };
  EXPECT_EQ(log.lines(), expected);
  EXPECT_EQ(peek->_getDicDir(), std::nullopt);
  EXPECT_EQ(peek->_dicCount(), 0);
  EXPECT_TRUE(peek->_dicPathsInDir().empty());
  EXPECT_EQ(peek->_isAmboraAvailable(), 0);
}

TEST(DiscoveryTest, DanglingLinkCountsAsNothing) {
  PeekTestHome home;
  fs::create_directories(home.home() + "/Library");
  fs::create_symlink(home.home() + "/nowhere", home.folder());
  EXPECT_EQ(discoveryLog(home).size(), 4u);
}

TEST(DiscoveryTest, OrdinaryFileIsNoFolder) {
  PeekTestHome home;
  home.dir().write("Library/Lexor", "not a folder");
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_EQ(log.lines(), std::vector<std::string>{": isDir=f"});
  EXPECT_EQ(peek->_getDicDir(), std::nullopt);
  EXPECT_EQ(peek->_dicCount(), 0);
}

TEST(DiscoveryTest, LinkToAFolderIsUsedUnderItsOwnPath) {
  PeekTestHome home;
  fs::create_directories(home.home() + "/real");
  home.dir().write("real/german.dic", "");
  fs::create_directories(home.home() + "/Library");
  fs::create_symlink(home.home() + "/real", home.folder());
  CapturingLogSink log;
  std::shared_ptr<LexorPeek> peek = home.construct();
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(peek->_getDicDir(), fromUtf8(home.folder()));
  EXPECT_EQ(utf8(peek->_dicPathsInDir()), std::vector<std::string>{"german.dic"});
}

TEST(ResolveAliasTest, NoneGivesNoneWithoutLog) {
  CapturingLogSink log;
  EXPECT_EQ(resolveAlias(std::nullopt), std::nullopt);
  EXPECT_TRUE(log.lines().empty());
}

TEST(ResolveAliasTest, LinkResolvesToItsTargetAndAnythingElseToItself) {
  PeekTestHome home;
  const std::string target = home.dir().write("target.dic", "");
  const std::string link = home.home() + "/link.dic";
  fs::create_symlink(target, link);
  const std::string plain = home.dir().write("plain.dic", "");
  const std::string missing = home.home() + "/missing.dic";

  for (const auto& [path, resolved] : {std::pair{link, target}, std::pair{plain, plain}, std::pair{missing, missing}}) {
    CapturingLogSink log;
    EXPECT_EQ(resolveAlias(fromUtf8(path)), fromUtf8(resolved));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"resolveAlias(" + path + ")", ": resolvedPath = " + resolved}));
  }
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override { home_.makeFolder(); }
  std::shared_ptr<LexorPeek> scan() {
    std::shared_ptr<LexorPeek> peek = home_.construct();
    peek->_dicCount();
    return peek;
  }
  PeekTestHome home_;
  CapturingLogSink log_;  // keeps expected log lines of opening out of the test output
};

TEST_F(ScanTest, FiveOtherDictionariesAndEverySuiteFile) {
  for (const char* name : {"b1.dic", "b2.dic", "b3.dic", "b4.dic", "b5.dic", "b6.dic", "b7.dic", "abbora1.dic",
                           "ambora52.dic", "exora1.dic", "revora48.dic"}) {
    home_.touch(name);
  }
  std::shared_ptr<LexorPeek> peek = scan();
  // Listed in byte order; exora and revora come after the fifth other file and still count.
  const std::vector<std::string> expected = {"abbora1.dic", "ambora52.dic", "b1.dic", "b2.dic", "b3.dic",
                                             "b4.dic",      "b5.dic",       "exora1.dic", "revora48.dic"};
  EXPECT_EQ(utf8(peek->_dicPathsInDir()), expected);
  EXPECT_EQ(peek->_dicCount(), 9);
  EXPECT_EQ(peek->abboraDicID(), 0);
  EXPECT_EQ(peek->amboraDicID(), 1);
  EXPECT_EQ(peek->exoraDicID(), 7);
  EXPECT_EQ(peek->revoraDicID(), 8);
  EXPECT_EQ(peek->amboraVer(), 52);
  EXPECT_EQ(peek->revoraVer(), 48);
  EXPECT_EQ(peek->_isAmboraAvailable(), 48);

  const std::vector<UString> names = peek->_dicNamesInDir();
  ASSERT_EQ(names.size(), 9u);
  EXPECT_EQ(names[2], u"b1.dic");  // unknown to the file key table: its path is its name
  EXPECT_NE(names[1], u"ambora52.dic");
  EXPECT_NE(names[8], u"revora48.dic");
}

TEST_F(ScanTest, ExtensionInAnyCaseAndOtherFilesDoNotCount) {
  for (const char* name : {"a.txt", "a.dicx", "a.dic.bak", "adic", "c1.DIC", "c2.Dic", "c3.dIc", "c4.dic",
                           "c5.dic", "c6.dic"}) {
    home_.touch(name);
  }
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(utf8(peek->_dicPathsInDir()),
            (std::vector<std::string>{"c1.DIC", "c2.Dic", "c3.dIc", "c4.dic", "c5.dic"}));
}

TEST_F(ScanTest, SubFoldersAndFoldersNamedLikeDictionaries) {
  home_.touch("sub/deeper/german.dic");
  home_.touch("x.dic/inner.dic");
  home_.touch("sub/notes.txt");
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(utf8(peek->_dicPathsInDir()),
            (std::vector<std::string>{"sub/deeper/german.dic", "x.dic", "x.dic/inner.dic"}));
  const std::vector<UString> names = peek->_dicNamesInDir();
  EXPECT_NE(names[0], u"sub/deeper/german.dic");  // a known dictionary keeps its display name
  EXPECT_EQ(names[1], u"x.dic");
  EXPECT_EQ(names[2], u"x.dic/inner.dic");
}

// Versions come from the file name alone: a suite file in a sub-folder keeps its version.
TEST_F(ScanTest, SuiteFileInSubFolderKeepsItsVersion) {
  home_.touch("sub/ambora52.dic");
  home_.touch("s/revora48.dic");
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(utf8(peek->_dicPathsInDir()), (std::vector<std::string>{"s/revora48.dic", "sub/ambora52.dic"}));
  EXPECT_EQ(peek->amboraVer(), 52);
  EXPECT_EQ(peek->revoraVer(), 48);
  EXPECT_EQ(peek->amboraDicID(), 1);
  EXPECT_EQ(peek->revoraDicID(), 0);
  EXPECT_EQ(peek->_isAmboraAvailable(), 48);
}

TEST(ScanVersionTest, VersionIsTheNumberAtTheSeventhAndEighthCharacters) {
  struct Case {
    const char* name;
    int32_t version;
  };
  for (const Case& c : {Case{"ambora52.dic", 52}, Case{"AMBORA07.DIC", 7}, Case{"ambora5.dic", 5},
                        Case{"ambora.dic", 0}, Case{"ambora123.dic", 12}, Case{"ambora9x.dic", 9}}) {
    PeekTestHome home;
    home.touch(c.name);
    std::shared_ptr<LexorPeek> peek = home.construct();
    EXPECT_EQ(peek->amboraDicID(), 0) << c.name;
    EXPECT_EQ(peek->amboraVer(), c.version) << c.name;
  }
}

TEST_F(ScanTest, LaterOfTwoAmboraFilesWins) {
  home_.touch("ambora50.dic");
  home_.touch("ambora52.dic");
  home_.touch("sub/ambora3.dic");
  home_.touch("revora60.dic");
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(peek->_dicCount(), 4);
  EXPECT_EQ(peek->amboraDicID(), 3);  // sub/ambora3.dic is listed last
  EXPECT_EQ(peek->amboraVer(), 3);
  EXPECT_EQ(peek->_isAmboraAvailable(), 3);
}

TEST_F(ScanTest, SuiteNeedsBothMainFilesWithAVersion) {
  home_.touch("ambora52.dic");
  home_.touch("revora.dic");
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(peek->revoraDicID(), 1);
  EXPECT_EQ(peek->revoraVer(), 0);
  EXPECT_EQ(peek->_isAmboraAvailable(), 0);

  fs::remove(home_.inFolder("revora.dic"));
  EXPECT_EQ(peek->_dicCount(), 1);
  EXPECT_EQ(peek->revoraDicID(), -1);
  EXPECT_EQ(peek->_isAmboraAvailable(), 0);
}

TEST_F(ScanTest, RescanForgetsRemovedSuiteFiles) {
  for (const char* name : {"abbora1.dic", "ambora52.dic", "exora1.dic", "revora48.dic"}) home_.touch(name);
  std::shared_ptr<LexorPeek> peek = scan();
  EXPECT_EQ(peek->_isAmboraAvailable(), 48);
  for (const char* name : {"abbora1.dic", "ambora52.dic", "exora1.dic", "revora48.dic"}) {
    fs::remove(home_.inFolder(name));
  }
  EXPECT_TRUE(peek->_dicPathsInDir().empty());
  EXPECT_EQ(peek->amboraDicID(), -1);
  EXPECT_EQ(peek->revoraDicID(), -1);
  EXPECT_EQ(peek->abboraDicID(), -1);
  EXPECT_EQ(peek->exoraDicID(), -1);
  EXPECT_EQ(peek->amboraVer(), 0);
  EXPECT_EQ(peek->revoraVer(), 0);
  EXPECT_TRUE(peek->_dicNamesInDir().empty());
}

TEST_F(ScanTest, NamesListIsTheLastScansAndDoesNotScan) {
  home_.touch("b1.dic");
  std::shared_ptr<LexorPeek> peek = scan();
  home_.touch("b2.dic");
  EXPECT_EQ(peek->_dicNamesInDir().size(), 1u);
  EXPECT_EQ(peek->_dicCount(), 2);
  EXPECT_EQ(peek->_dicNamesInDir().size(), 2u);
}

}  // namespace
}  // namespace lexor
