#include "cli/file_walk.h"

#include <algorithm>
#include <filesystem>

#include "browser/base/text.h"
#include "browser/dialog/browser_controller.h"

namespace kivrel::cli {
namespace {

namespace fs = std::filesystem;

// The image files of one folder, by relative path (generic form, "/" between parts).
std::vector<std::string> FolderImages(const fs::path& folder, bool recursive) {
  std::vector<std::string> found;
  std::error_code ec;
  const auto consider = [&](const fs::directory_entry& entry) {
    std::error_code entry_ec;
    if (!entry.is_regular_file(entry_ec)) return;
    if (!IsImageFile(entry.path().string())) return;
    found.push_back(entry.path().lexically_relative(folder).generic_string());
  };
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    fs::recursive_directory_iterator it(folder, options, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      consider(*it);
  } else {
    fs::directory_iterator it(folder, options, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
      consider(*it);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<FoundFile> FindImageFiles(const std::vector<std::string>& paths, bool recursive) {
  std::vector<FoundFile> files;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
      files.push_back({path, FileNameOf(path)});
      continue;
    }
    for (std::string& relative : FolderImages(path, recursive)) {
      std::string joined = (fs::path(path) / relative).string();
      files.push_back({std::move(joined), std::move(relative)});
    }
  }
  return files;
}

}  // namespace kivrel::cli
