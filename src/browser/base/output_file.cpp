#include "browser/base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

[[noreturn]] void Refuse(const std::string& what, const std::string& file_name,
                         const std::string& why) {
  throw RunTimeError(what + " " + file_name + ": " + why);
}

// The target's state, from lstat and stat without opening it. A regular file reached through
// symbolic links is written at its resolved path, so the links keep pointing at it.
struct Target {
  std::string path;               // where the new file goes
  std::optional<struct stat> st;  // the existing file, if any
};

Target CheckTarget(const std::string& file_name) {
  struct stat link_st {};
  if (::lstat(file_name.c_str(), &link_st) != 0) {
    if (errno == ENOENT) return {file_name, std::nullopt};
    ThrowCannotCreate(file_name);
  }
  struct stat st = link_st;
  std::string path = file_name;
  if (S_ISLNK(link_st.st_mode)) {
    if (::stat(file_name.c_str(), &st) != 0)
      Refuse("Cannot write to", file_name, "not a regular file");
    if (S_ISREG(st.st_mode)) {
      char* resolved = ::realpath(file_name.c_str(), nullptr);
      if (resolved == nullptr) ThrowCannotCreate(file_name);
      path = resolved;
      std::free(resolved);
    }
  }
  if (S_ISDIR(st.st_mode)) Refuse("Cannot write to", file_name, "it is a folder");
  if (!S_ISREG(st.st_mode)) Refuse("Cannot write to", file_name, "not a regular file");
  return {path, st};
}

void RefuseIfShown(const Target& target, const std::string& file_name,
                   const std::string& shown_file) {
  struct stat shown {};
  if (target.st && !shown_file.empty() && ::stat(shown_file.c_str(), &shown) == 0 &&
      target.st->st_dev == shown.st_dev && target.st->st_ino == shown.st_ino) {
    Refuse("Cannot write over", file_name, "it is the file being shown");
  }
}

// The process's umask, read without changing it (umask() would change it for every thread).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

bool WriteAll(int fd, std::span<const uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A temporary file beside the target, filled, flushed and closed; false on any failure (the
// temporary file is removed then).
bool WriteTemporary(const std::string& target, std::span<const uint8_t> data, std::string& tmp) {
  namespace fs = std::filesystem;
  const fs::path p(target);
  const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  // A short prefix of the name, so the template stays within the file-name limit.
  tmp = (folder / ("." + p.filename().string().substr(0, 64) + ".XXXXXX")).string();
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok =
      ::fchmod(fd, 0666 & ~CurrentUmask()) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

// Flushes the folder's entry of the renamed file; a folder that cannot be flushed changes
// nothing for the user, so failures are ignored.
void SyncFolder(const std::string& target) {
  const std::filesystem::path p(target);
  const std::string folder = p.has_parent_path() ? p.parent_path().string() : ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

void WriteOutputFile(const std::string& file_name, std::span<const uint8_t> data,
                     const std::string& shown_file) {
  if (file_name.empty()) ThrowCannotCreate(file_name);
  const Target target = CheckTarget(file_name);
  RefuseIfShown(target, file_name, shown_file);
  std::string tmp;
  if (!WriteTemporary(target.path, data, tmp)) ThrowCannotCreate(file_name);
  try {
    // The target may have changed while the file was written: a folder, a device or a FIFO
    // put there meanwhile is refused all the same.
    RefuseIfShown(CheckTarget(target.path), file_name, shown_file);
    if (::rename(tmp.c_str(), target.path.c_str()) != 0) ThrowCannotCreate(file_name);
  } catch (...) {
    ::unlink(tmp.c_str());
    throw;
  }
  SyncFolder(target.path);
}

}  // namespace kivrel
