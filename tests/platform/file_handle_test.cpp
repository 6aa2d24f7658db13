#include "platform/file_handle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

using testing::TempDir;

TEST(FileHandle, ReadsAtAbsoluteOffsetsAndShortAtTheEnd) {
  TempDir dir;
  const auto file = FileHandle::openForReading(fromNativePath(dir.write("f.dic", "0123456789")));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size(), 10u);
  const struct {
    uint64_t offset;
    size_t n;
    std::string expected;
  } cases[] = {
      {0, 4, "0123"}, {6, 4, "6789"},        {8, 4, "89"}, {10, 4, ""}, {4, 0, ""},
      {1000, 4, ""},  {~uint64_t{0}, 4, ""}, {2, 1, "2"},  // reads do not depend on earlier ones
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    std::array<char, 16> buffer{};
    const size_t got = file->readAt(c.offset, buffer.data(), c.n);
    EXPECT_EQ(std::string(buffer.data(), got), c.expected);
  }
}

TEST(FileHandle, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  EXPECT_EQ(FileHandle::openForReading(fromNativePath(dir.path().string())), nullptr);
  EXPECT_EQ(FileHandle::openForReading(fromNativePath(dir.file("missing"))), nullptr);
  EXPECT_EQ(FileHandle::openForReading(u""), nullptr);
  // Opening a FIFO without a writer would block for ever.
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(FileHandle::openForReading(fromNativePath(dir.file("fifo"))), nullptr);
}

TEST(FileHandle, IdentityTellsTheSameFileFromAChangedOne) {
  TempDir dir;
  const UString path = fromNativePath(dir.write("f.dic", "first"));
  const auto first = FileHandle::openForReading(path);
  const auto again = FileHandle::openForReading(path);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(first->identity(), again->identity());
  EXPECT_NE(first->identity().inode, 0u);

  std::filesystem::remove(dir.file("f.dic"));
  dir.write("f.dic", "replaced");
  const auto replaced = FileHandle::openForReading(path);
  ASSERT_NE(replaced, nullptr);
  EXPECT_NE(first->identity(), replaced->identity());
  EXPECT_EQ(replaced->size(), 8u);
}

}  // namespace
}  // namespace lexor
