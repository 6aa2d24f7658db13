#include "platform/file_handle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

TEST(FileHandle, ReadsAtAbsoluteOffsetsAndShortAtTheEnd) {
  testing::TempDir dir;
  const auto file = FileHandle::openForReading(fromNativePath(dir.write("f.dic", "0123456789")));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size(), 10u);
  const struct {
    uint64_t offset;
    size_t n;
    std::string expected;
  } cases[] = {{6, 4, "6789"}, {8, 4, "89"}, {10, 4, ""}, {~uint64_t{0}, 4, ""}, {2, 1, "2"}};
  for (const auto& c : cases) {
    std::array<char, 16> buffer{};
    EXPECT_EQ(std::string(buffer.data(), file->readAt(c.offset, buffer.data(), c.n)), c.expected)
        << c.offset;
  }
}

TEST(FileHandle, RefusesWhatIsNotARegularFileAndTellsFilesApart) {
  testing::TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);  // opening it would block for ever
  for (const std::string& path : {dir.path().string(), dir.file("missing"), dir.file("fifo")}) {
    EXPECT_EQ(FileHandle::openForReading(fromNativePath(path)), nullptr) << path;
  }
  const UString path = fromNativePath(dir.write("f.dic", "first"));
  const auto first = FileHandle::openForReading(path);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->identity(), FileHandle::openForReading(path)->identity());
  std::filesystem::remove(dir.file("f.dic"));
  dir.write("f.dic", "replaced");
  EXPECT_NE(first->identity(), FileHandle::openForReading(path)->identity());
}

}  // namespace
}  // namespace lexor
