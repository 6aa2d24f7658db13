// A scratch folder for one fuzzing process, removed when it exits. Targets that need a file on
// disk (the system opens dictionaries by path) write their input here.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace lexor::fuzz {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lexor-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    _path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return _path; }

  std::string write(const std::string& relative, std::span<const uint8_t> bytes) const {
    const std::filesystem::path file = _path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
    return file.string();
  }

 private:
  std::filesystem::path _path;
};

// One per process; a static object, so that it is removed at exit.
inline ScratchFolder& scratch() {
  static ScratchFolder folder;
  return folder;
}

}  // namespace lexor::fuzz
