// Files in the platform layer: paths, reading handles, folders and links.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file_handle.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

UString native(const std::string& path) { return fromNativePath(path); }

TEST(Path, ComponentsAndNativeForm) {
  const std::tuple<UString, UString, UString> cases[] = {
      {u"///", u"/", u""},
      {u"/x//", u"x", u""},
      {u".dic", u".dic", u"dic"},
      {u"sub.d/Old.Folder.DIC/", u"Old.Folder.DIC", u"DIC"},
      {u"\u8F9E\u66F8/\u00C0MBORA.dic", u"\u00C0MBORA.dic", u"dic"},
  };
  for (const auto& [path, last, extension] : cases) {
    SCOPED_TRACE(toUtf8(path));
    EXPECT_EQ(lastPathComponent(path), last);
    EXPECT_EQ(pathExtension(path), extension);
  }
  EXPECT_EQ(toNativePath(u"/\u8F9E/\u00C0.dic"), "/\xE8\xBE\x9E/\xC3\x80.dic");
}

TEST(FileHandle, ReadsShortAtTheEndRefusesNonFilesAndTellsFilesApart) {
  TempDir dir;
  const UString path = native(dir.write("f.dic", "0123456789"));
  const auto file = FileHandle::openForReading(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size(), 10u);
  for (const auto& [offset, expected] :
       {std::pair<uint64_t, std::string>{6, "6789"}, {8, "89"}, {10, ""}, {~uint64_t{0}, ""}}) {
    char buffer[4];
    EXPECT_EQ(std::string(buffer, file->readAt(offset, buffer, 4)), expected) << offset;
  }
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);  // opening it would block for ever
  for (const std::string& other : {dir.path().string(), dir.file("missing"), dir.file("fifo")})
    EXPECT_EQ(FileHandle::openForReading(native(other)), nullptr) << other;
  EXPECT_EQ(file->identity(), FileHandle::openForReading(path)->identity());
  fs::remove(dir.file("f.dic"));
  dir.write("f.dic", "replaced");
  EXPECT_NE(file->identity(), FileHandle::openForReading(path)->identity());
}

TEST(Folders, HomeDirectoryUnsetOrEmptyFallsBackToThePasswordDatabase) {
  const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("HOME");
  EXPECT_FALSE(homeDirectory().empty());
  setenv("HOME", "", 1);
  EXPECT_FALSE(homeDirectory().empty());
  setenv("HOME", saved.c_str(), 1);
}

// Existence follows links; an alias is a chain of symbolic links that ends at something real.
TEST(Folders, ExistenceAndAliasesFollowLinks) {
  TempDir dir;
  dir.write("file.dic", "x");
  fs::create_directory(dir.file("folder"));
  fs::create_directory_symlink("folder", dir.file("hop2"));  // relative to the link's folder
  fs::create_symlink(dir.file("hop2"), dir.file("hop1"));
  fs::create_symlink(dir.file("nowhere"), dir.file("broken"));
  fs::create_symlink(dir.file("cycle2"), dir.file("cycle1"));
  fs::create_symlink(dir.file("cycle1"), dir.file("cycle2"));
  const std::tuple<std::string, bool, bool, bool> cases[] = {
      {"file.dic", true, false, false}, {"folder", true, true, false},
      {"hop1", true, true, true},       {"hop2", true, true, true},
      {"broken", false, false, false},  {"cycle1", false, false, false},
      {"missing", false, false, false}};
  for (const auto& [name, exists, folder, alias] : cases) {
    SCOPED_TRACE(name);
    bool isDirectory = !folder;  // must be overwritten either way
    EXPECT_EQ(fileExistsAtPath(native(dir.file(name)), &isDirectory), exists);
    EXPECT_EQ(isDirectory, folder);
    UString target;
    EXPECT_EQ(resolveAliasFile(native(dir.file(name)), &target), alias);
    if (alias) {
      EXPECT_EQ(target, native(fs::canonical(dir.file("folder")).string()));
    }
  }
  // An embedded NUL must not quietly shorten the path to an existing one.
  EXPECT_FALSE(fileExistsAtPath(native(dir.file("folder")) + UString(1, u'\0') + u"x", nullptr));
}

TEST(Folders, SubpathsAreDepthFirstInByteOrderAndSurviveLoops) {
  TempDir dir;
  dir.write("b.dic", "x");
  dir.write("Z.dic", "x");
  dir.write("a/sub/deep.txt", "x");
  dir.write("a/x.dic", "x");
  dir.write("a-b", "x");  // '-' sorts before '/', but a folder's contents follow it at once
  dir.write("\xC3\xA9.dic", "x");
  fs::create_directory_symlink(dir.path(), dir.file("loop"));
  const std::vector<UString> expected = {u"Z.dic",          u"a",       u"a/sub",
                                         u"a/sub/deep.txt", u"a/x.dic", u"a-b",
                                         u"b.dic",          u"loop",    u"\u00E9.dic"};
  EXPECT_EQ(subpathsAtPath(native(dir.path().string())), expected);
  EXPECT_EQ(subpathsAtPath(native(dir.file("loop"))), expected);
  EXPECT_EQ(subpathsAtPath(native(dir.file("missing"))), std::nullopt);
  EXPECT_EQ(subpathsAtPath(native(dir.file("b.dic"))), std::nullopt);
}

}  // namespace
}  // namespace lexor
