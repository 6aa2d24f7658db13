#include "platform/file_handle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

TEST(FileHandle, ReadsShortAtTheEndRefusesNonFilesAndTellsFilesApart) {
  testing::TempDir dir;
  const UString path = fromNativePath(dir.write("f.dic", "0123456789"));
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
    EXPECT_EQ(FileHandle::openForReading(fromNativePath(other)), nullptr) << other;
  EXPECT_EQ(file->identity(), FileHandle::openForReading(path)->identity());
  std::filesystem::remove(dir.file("f.dic"));
  dir.write("f.dic", "replaced");
  EXPECT_NE(file->identity(), FileHandle::openForReading(path)->identity());
}

}  // namespace
}  // namespace lexor
