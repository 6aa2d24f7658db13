// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lexor::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return _path; }
  // path() / relative, as a string.
  std::string file(std::string_view relative) const;
  // Writes the bytes (creating parent folders) and returns the full path.
  std::string write(std::string_view relative, const std::vector<uint8_t>& bytes) const;
  std::string write(std::string_view relative, std::string_view text) const;

 private:
  std::filesystem::path _path;
};

}  // namespace lexor::testing
