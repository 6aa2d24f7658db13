#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace lexor::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lexortest-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  _path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(_path, ignored);
}

std::string TempDir::file(std::string_view relative) const { return (_path / relative).string(); }

std::string TempDir::write(std::string_view relative, const std::vector<uint8_t>& bytes) const {
  auto full = _path / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return full.string();
}

std::string TempDir::write(std::string_view relative, std::string_view text) const {
  return write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace lexor::testing
