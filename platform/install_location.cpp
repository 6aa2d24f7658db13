#include "platform/install_location.h"

#include <filesystem>
#include <system_error>

namespace lexor {

std::optional<std::string> executableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !self.has_parent_path()) return std::nullopt;
  return self.parent_path().string();
}

std::optional<std::string> installedDataFolder() {
  const std::optional<std::string> bin = executableFolder();
  if (!bin) return std::nullopt;
  return (std::filesystem::path(*bin).parent_path() / "share" / "lexorpeek").string();
}

}  // namespace lexor
