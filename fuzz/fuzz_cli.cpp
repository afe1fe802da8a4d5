// libFuzzer target for kivrel-cli's command line, run in-process: the input's lines are the
// arguments, in a private folder that holds a small FITS image (a.fits), a PIC file (b.pic)
// and the colour tables (palettes/). Every command may run, outputs included, but no argument
// may name anything outside the folder (no "/"), and numbers above 2048 are left out so that
// one input stays quick. Nothing may crash, hang or throw out of RunCommandLine; the exit
// status is one of those the commands define; a bad command line prints nothing on stdout.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Fixture {
  std::string folder;
  std::string fits;
  std::string pic;
};

const Fixture& Shared() {
  static const Fixture* fixture = [] {
    auto* f = new Fixture;
    char name[] = "/tmp/kivrel_fuzz_cli_XXXXXX";
    if (::mkdtemp(name) == nullptr) std::abort();
    f->folder = name;
    f->fits = ReadWhole(KIVREL_SOURCE_DIR "/samples/m51_tan16.fits");
    f->pic = ReadWhole(KIVREL_SOURCE_DIR "/samples/stars16.pic");
    fs::create_directory_symlink(KIVREL_SOURCE_DIR "/palettes", f->folder + "/palettes");
    return f;
  }();
  return *fixture;
}

// The folder as each input finds it: the two images and the tables, nothing else.
void Reset(const Fixture& f) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(f.folder, ec)) {
    if (entry.path().filename() != "palettes") fs::remove_all(entry.path(), ec);
  }
  std::ofstream(f.folder + "/a.fits", std::ios::binary) << f.fits;
  std::ofstream(f.folder + "/b.pic", std::ios::binary) << f.pic;
}

bool Acceptable(const std::string& arg) {
  if (arg.find('/') != std::string::npos) return false;
  uint64_t number = 0;
  for (char c : arg) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + static_cast<uint64_t>(c - '0');
      if (number > 2048) return false;
    } else {
      number = 0;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const Fixture& f = Shared();
  std::vector<std::string> args = {"kivrel-cli"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  args.push_back(current);
  if (args.size() > 24) return 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!Acceptable(args[i])) return 0;
  }
  Reset(f);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out;
  std::ostringstream err;
  // The command runs in the folder; the fuzzer's own paths (corpus, crashes) may be relative
  // to where it was started, so that is where it goes back to.
  const fs::path started = fs::current_path();
  fs::current_path(f.folder);
  const int status =
      kivrel::cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  fs::current_path(started);
  if (status != 0 && status != 1 && status != 2 && status != kivrel::cli::kExitUsage)
    __builtin_trap();
  if (status == kivrel::cli::kExitUsage && !out.str().empty()) __builtin_trap();
  return 0;
}
