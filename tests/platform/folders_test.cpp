#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

UString native(const std::string& path) { return fromNativePath(path); }

TEST(Folders, HomeDirectoryComesFromTheEnvironment) {
  const char* saved = std::getenv("HOME");
  const std::string original = saved ? saved : "";
  setenv("HOME", "/some/where/\xC3\xA9", 1);
  EXPECT_EQ(homeDirectory(), u"/some/where/\u00E9");
  unsetenv("HOME");
  EXPECT_FALSE(homeDirectory().empty());  // from the password database
  if (saved) setenv("HOME", original.c_str(), 1);
}

TEST(Folders, ExistenceFollowsLinksAndReportsFolders) {
  TempDir dir;
  dir.write("file.dic", "x");
  fs::create_directory(dir.file("folder"));
  fs::create_directory_symlink(dir.file("folder"), dir.file("folder-link"));
  fs::create_symlink(dir.file("file.dic"), dir.file("file-link"));
  fs::create_symlink(dir.file("missing"), dir.file("broken-link"));
  const struct {
    std::string name;
    bool exists, isDirectory;
  } cases[] = {
      {"file.dic", true, false},  {"folder", true, true},        {"folder-link", true, true},
      {"file-link", true, false}, {"broken-link", false, false}, {"missing", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool isDirectory = !c.isDirectory;  // must be overwritten either way
    EXPECT_EQ(fileExistsAtPath(native(dir.file(c.name)), &isDirectory), c.exists);
    EXPECT_EQ(isDirectory, c.isDirectory);
    EXPECT_EQ(fileExistsAtPath(native(dir.file(c.name)), nullptr), c.exists);
  }
  bool isDirectory = true;
  EXPECT_FALSE(fileExistsAtPath(u"", &isDirectory));
  EXPECT_FALSE(isDirectory);
  // An embedded NUL must not quietly shorten the path to an existing one.
  EXPECT_FALSE(fileExistsAtPath(native(dir.file("folder")) + UString(1, u'\0') + u"x", nullptr));
}

TEST(Folders, SubpathsAreDepthFirstInByteOrder) {
  TempDir dir;
  dir.write("b.dic", "x");
  dir.write("Z.dic", "x");
  dir.write("a/x.dic", "x");
  dir.write("a/sub/deep.txt", "x");
  dir.write("a-b", "x");  // '-' sorts before '/', but a folder's contents follow it at once
  dir.write("\xC3\xA9.dic", "x");
  fs::create_directory(dir.file("empty"));
  fs::create_directory_symlink(dir.path(), dir.file("loop"));
  fs::create_directory_symlink(dir.file("a"), dir.file("link-to-a"));
  const std::vector<UString> expected = {
      u"Z.dic", u"a",     u"a/sub",     u"a/sub/deep.txt", u"a/x.dic",    u"a-b",
      u"b.dic", u"empty", u"link-to-a", u"loop",           u"\u00E9.dic",
  };
  EXPECT_EQ(subpathsAtPath(native(dir.path().string())), expected);
  // Reached through a link, the folder lists the same.
  EXPECT_EQ(subpathsAtPath(native(dir.file("loop"))), expected);
}

TEST(Folders, SubpathsOfWhatCannotBeListed) {
  TempDir dir;
  dir.write("file", "x");
  EXPECT_EQ(subpathsAtPath(native(dir.file("missing"))), std::nullopt);
  EXPECT_EQ(subpathsAtPath(native(dir.file("file"))), std::nullopt);
  EXPECT_EQ(subpathsAtPath(u""), std::nullopt);
  fs::create_directory(dir.file("empty"));
  EXPECT_EQ(subpathsAtPath(native(dir.file("empty"))), std::vector<UString>{});
}

TEST(Folders, UnreadableSubfolderIsListedButNotEntered) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempDir dir;
  dir.write("closed/inner.dic", "x");
  dir.write("open/inner.dic", "x");
  chmod(dir.file("closed").c_str(), 0);
  const auto listed = subpathsAtPath(native(dir.path().string()));
  chmod(dir.file("closed").c_str(), 0755);
  EXPECT_EQ(listed, (std::vector<UString>{u"closed", u"open", u"open/inner.dic"}));
}

TEST(Folders, AliasesAreChainsOfSymbolicLinks) {
  TempDir dir;
  fs::create_directory(dir.file("Lexor"));
  dir.write("file.dic", "x");
  fs::create_directory_symlink("Lexor", dir.file("hop2"));  // relative to the link's folder
  fs::create_symlink(dir.file("hop2"), dir.file("hop1"));
  fs::create_symlink(dir.file("file.dic"), dir.file("to-file"));
  fs::create_symlink(dir.file("nowhere"), dir.file("broken"));
  fs::create_symlink(dir.file("cycle2"), dir.file("cycle1"));
  fs::create_symlink(dir.file("cycle1"), dir.file("cycle2"));
  const std::string folder = fs::canonical(dir.file("Lexor")).string();
  const std::string file = fs::canonical(dir.file("file.dic")).string();
  const struct {
    std::string name;
    bool resolves;
    std::string target;
  } cases[] = {
      {"hop1", true, folder},  {"hop2", true, folder}, {"to-file", true, file},
      {"broken", false, ""},   {"cycle1", false, ""},  {"Lexor", false, ""},
      {"file.dic", false, ""}, {"missing", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UString target;
    EXPECT_EQ(resolveAliasFile(native(dir.file(c.name)), &target), c.resolves);
    if (c.resolves) EXPECT_EQ(target, native(c.target));
  }
}

}  // namespace
}  // namespace lexor
