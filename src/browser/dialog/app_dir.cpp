#include "browser/dialog/app_dir.h"

#include <filesystem>
#include <system_error>

namespace kivrel {
namespace fs = std::filesystem;

namespace {

bool HasPalettes(const fs::path& dir) {
  std::error_code ec;
  return !dir.empty() && fs::is_directory(dir / "palettes", ec);
}

}  // namespace

std::string ExecutableDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string ResolveAppDir() {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  if (HasPalettes(cwd)) return cwd.string();
  const fs::path exe_dir = ExecutableDir();
  if (!exe_dir.empty()) {
    const fs::path installed = exe_dir.parent_path() / KIVREL_INSTALL_DATA_SUBDIR;
    if (HasPalettes(installed)) return installed.string();
  }
  if (HasPalettes(KIVREL_SOURCE_DATA_DIR)) return KIVREL_SOURCE_DATA_DIR;
  return cwd.string();
}

}  // namespace kivrel
