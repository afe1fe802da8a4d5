// Output files: only regular files are written, a refusal or a failure leaves everything as it
// was (the old file, the node, no temporary file), and a success replaces the target whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "browser/base/output_file.h"
#include "raster_test_support.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using raster_test::ScratchDir;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in a folder: a temporary file left behind would show here.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The message WriteOutputFile throws, or "" when it returns.
std::string ErrorOf(const std::string& target, const std::string& shown = {}) {
  try {
    WriteOutputFile(target, Bytes("new contents"), shown);
  } catch (const RunTimeError& e) {
    return e.what();
  }
  return "";
}

struct RefusalCase {
  std::string name;
  // Makes the target in the folder, returns its path.
  std::function<std::string(const ScratchDir&)> make;
  std::string why;
  mode_t type;  // what the target still is afterwards (0: nothing there)
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class OutputRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(OutputRefusal, RefusesUpFrontAndLeavesTheTargetAlone) {
  const RefusalCase& c = GetParam();
  ScratchDir dir;
  const std::string target = c.make(dir);
  const std::vector<std::string> before = Entries(dir.File(""));
  EXPECT_EQ(ErrorOf(target), "Cannot write to " + target + ": " + c.why);
  struct stat st {};
  ASSERT_EQ(::lstat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & S_IFMT, c.type);
  EXPECT_EQ(Entries(dir.File("")), before);
}

INSTANTIATE_TEST_SUITE_P(
    WriteOutputFile, OutputRefusal,
    testing::Values(
        // Opening a FIFO for writing would block until a reader comes: it must not be opened.
        RefusalCase{"Fifo",
                    [](const ScratchDir& d) {
                      const std::string p = d.File("pipe");
                      EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
                      return p;
                    },
                    "not a regular file", S_IFIFO},
        RefusalCase{"CharacterDevice", [](const ScratchDir&) { return std::string("/dev/null"); },
                    "not a regular file", S_IFCHR},
        RefusalCase{"Folder",
                    [](const ScratchDir& d) {
                      std::filesystem::create_directory(d.File("sub"));
                      return d.File("sub");
                    },
                    "it is a folder", S_IFDIR},
        RefusalCase{"BrokenLink",
                    [](const ScratchDir& d) {
                      std::filesystem::create_symlink(d.File("nowhere"), d.File("link"));
                      return d.File("link");
                    },
                    "not a regular file", S_IFLNK}),
    [](const auto& tp) { return tp.param.name; });

TEST(WriteOutputFile, ReplacesTheTargetWholeWithOrdinaryPermissions) {
  ScratchDir dir;
  const std::string target = dir.Write("out.bmp", Bytes("old"));
  struct stat old_st {};
  ASSERT_EQ(::stat(target.c_str(), &old_st), 0);
  const mode_t saved = ::umask(027);
  WriteOutputFile(target, Bytes("new contents"));
  ::umask(saved);
  EXPECT_EQ(Contents(target), "new contents");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_ino, old_st.st_ino);  // a new file renamed over the old one
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(dir.File("")), std::vector<std::string>{"out.bmp"});

  // Through a symbolic link: the file it points at is replaced and the link stays.
  std::filesystem::create_symlink(target, dir.File("alias.bmp"));
  WriteOutputFile(dir.File("alias.bmp"), Bytes("third"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("alias.bmp")));
  EXPECT_EQ(Contents(target), "third");
}

TEST(WriteOutputFile, RefusesTheShownFileUnderAnyOfItsNames) {
  ScratchDir dir;
  const std::string shown = dir.Write("in.fits", Bytes("SIMPLE"));
  ::link(shown.c_str(), dir.File("hard.fits").c_str());
  std::filesystem::create_symlink(shown, dir.File("soft.fits"));
  for (const std::string& name : {shown, dir.File("hard.fits"), dir.File("soft.fits")}) {
    EXPECT_EQ(ErrorOf(name, shown), "Cannot write over " + name + ": it is the file being shown");
  }
  EXPECT_EQ(Contents(shown), "SIMPLE");
  EXPECT_EQ(ErrorOf(dir.File("other.bmp"), shown), "");
}

TEST(WriteOutputFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  ScratchDir dir;
  const std::string target = dir.Write("out.bmp", Bytes("old"));
  // A file size limit makes the write itself fail, as a full disk would, even for root.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = ErrorOf(target);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(error, "Cannot create file " + target);
  EXPECT_EQ(Contents(target), "old");
  EXPECT_EQ(Entries(dir.File("")), std::vector<std::string>{"out.bmp"});

  const std::string missing = dir.File("no/such/folder.bmp");
  EXPECT_EQ(ErrorOf(missing), "Cannot create file " + missing);
}

}  // namespace
}  // namespace kivrel
