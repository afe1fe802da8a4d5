// kivrel-cli: the browser's engine without a window. Each run is a fresh dialog: created, the
// pre-load settings applied, a click on FILE, the post-load actions in command-line order, a
// pending redraw timer fired once, then the state printed as JSON (info, render) or the
// header listing (header).
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "browser/base/text.h"
#include "browser/dialog/app_dir.h"
#include "browser/dialog/browser_controller.h"
#include "cli/actions.h"
#include "cli/state_json.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

namespace {

using kivrel::BrowserController;
using kivrel::RunTimeError;

constexpr int kExitUsage = 64;

std::string AbsolutePath(const std::string& file) {
  std::error_code ec;
  const auto p = std::filesystem::absolute(file, ec);
  return ec ? file : p.lexically_normal().string();
}

// A file that the file list could show: it exists and opens for reading.
void CheckReadable(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || ::access(path.c_str(), R_OK) != 0) {
    kivrel::ThrowCannotOpen(path);
  }
}

bool NeedsDecoder(const std::string& file) {
  const std::string ext = kivrel::LowerExtension(file);
  return ext != ".bmp" &&
         kivrel::ExtensionOccursIn(ext, ".bmp .dib .gif .jif .jpg .jpeg .tga .rle .pcx");
}

struct Run {
  std::string file;
  std::string output;
  kivrel::cli::SettingValues settings;
  std::vector<kivrel::cli::OptionUse> actions;
};

int RunState(const Run& run, bool render) {
  kivrel::BrowserOptions options;
  options.app_dir = run.settings.app_dir ? *run.settings.app_dir : kivrel::ResolveAppDir();
  // The window loads the decoder library once per session; a run of the CLI is one click, and
  // only a raster file other than a bitmap can need the library, whose loading (a few
  // milliseconds for GraphicsMagick and its delegates) would otherwise dominate a small file.
  options.load_decoder = NeedsDecoder(run.file);
  std::optional<std::string> error;
  std::optional<BrowserController> dialog;
  try {
    dialog.emplace(options);
  } catch (const RunTimeError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  try {
    kivrel::cli::RunOptions(*dialog, kivrel::cli::CollectSettings(run.settings));
  } catch (const kivrel::cli::UsageError& e) {
    std::cerr << "kivrel-cli: " << e.what() << "\n";
    return kExitUsage;
  }
  try {
    const std::string path = AbsolutePath(run.file);
    CheckReadable(path);
    dialog->ChooseFile(path);
    kivrel::cli::RunOptions(*dialog, run.actions);
    if (dialog->thresholds.redraw_timer.armed) dialog->RedrawTimerElapsed();
    if (render) dialog->SaveBitmap(run.output);
  } catch (const RunTimeError& e) {
    error = e.what();
  }
  std::cout << kivrel::StateToJson(*dialog, error)
                   .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
            << "\n";
  if (error) return 1;
  return dialog->load.ImageLoaded ? 0 : 2;
}

int RunHeader(const std::string& file) {
  try {
    kivrel::BrowserOptions options;
    options.app_dir = kivrel::ResolveAppDir();
    options.load_decoder = false;
    BrowserController dialog(options);
    const std::string path = AbsolutePath(file);
    CheckReadable(path);
    const kivrel::HeaderListing listing = dialog.ListHeader(path);
    if (!listing.ok) {
      std::cerr << dialog.texts.status_line.caption << "\n";
      return 2;
    }
    for (const auto& line : listing.lines)
      std::cout << line << "\n";
    return 0;
  } catch (const RunTimeError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    kivrel::ConfigureFromEnvironment();
  } catch (const RunTimeError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }

  CLI::App app{"kivrel-cli: the Kivrel image browser without a window"};
  app.set_version_flag("--version", std::string("kivrel-cli ") + KIVREL_VERSION);
  app.require_subcommand(1);

  Run run;
  auto* info = app.add_subcommand("info", "Print the browser's state after a click on FILE");
  auto* render = app.add_subcommand("render", "As info, then save the preview bitmap to OUT");
  auto* header = app.add_subcommand("header", "Print the header listing of a FITS or PIC file");
  for (auto* sub : {info, render}) {
    sub->add_option("FILE", run.file, "Image file")->required();
    kivrel::cli::AddOptions(*sub, run.settings);
  }
  render->add_option("-o,--output", run.output, "Output bitmap file (.bmp)")->required();
  header->add_option("FILE", run.file, "FITS or PIC file")->required();

  try {
    app.parse(argc, argv);
    CLI::App* used = info->parsed() ? info : render->parsed() ? render : nullptr;
    if (used != nullptr) run.actions = kivrel::cli::CollectActions(*used);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  } catch (const kivrel::cli::UsageError& e) {
    std::cerr << "kivrel-cli: " << e.what() << "\n";
    return kExitUsage;
  }

  if (header->parsed()) return RunHeader(run.file);
  return RunState(run, render->parsed());
}
