#include "cli/one_file.h"

#include <unistd.h>

#include <filesystem>

#include "browser/base/text.h"
#include "browser/display/bmp_writer.h"
#include "browser/display/png_writer.h"
#include "skylib/run_time_error.h"

namespace kivrel::cli {
namespace {

std::string AbsolutePath(const std::string& file) {
  std::error_code ec;
  const auto p = std::filesystem::absolute(file, ec);
  return ec ? file : p.lexically_normal().string();
}

}  // namespace

bool NeedsDecoder(const std::string& file) {
  const std::string ext = LowerExtension(file);
  return ext != ".bmp" && ExtensionOccursIn(ext, ".bmp .dib .gif .jif .jpg .jpeg .tga .rle .pcx");
}

std::unique_ptr<BrowserController> NewDialog(const DialogSetup& setup, bool load_decoder) {
  BrowserOptions options;
  options.app_dir = setup.app_dir;
  options.load_decoder = load_decoder;
  options.draw_preview = setup.draw_preview;
  auto dialog = std::make_unique<BrowserController>(options);
  RunOptions(*dialog, setup.settings);
  return dialog;
}

std::string ReadablePath(const std::string& file) {
  const std::string path = AbsolutePath(file);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || ::access(path.c_str(), R_OK) != 0) {
    ThrowCannotOpen(path);
  }
  return path;
}

void OpenFile(BrowserController& dialog, const std::string& file) {
  dialog.ChooseFile(ReadablePath(file));
}

bool IsPngName(const std::string& file) {
  return LowerExtension(file) == ".png";
}

void WritePicture(const Picture& picture, const std::string& file, const std::string& shown_file) {
  if (IsPngName(file)) {
    WritePng(picture, file, shown_file);
  } else {
    WriteBmp(picture, file, shown_file);
  }
}

}  // namespace kivrel::cli
