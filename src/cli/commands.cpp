#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "browser/dialog/app_dir.h"
#include "browser/display/levels.h"
#include "cli/actions.h"
#include "cli/folders.h"
#include "cli/one_file.h"
#include "cli/report.h"
#include "cli/state_json.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

#ifndef KIVREL_VERSION
#define KIVREL_VERSION "unknown"
#endif

namespace kivrel::cli {
namespace {

struct OneFileRun {
  std::string file;
  std::string output;
  bool json = false;
  int32_t size = 0;  // render: fit the whole image to size x size; 0 for the preview
  SettingValues settings;
  std::vector<OptionUse> actions;
};

DialogSetup SetupOf(const SettingValues& settings) {
  DialogSetup setup;
  setup.app_dir = settings.app_dir ? *settings.app_dir : ResolveAppDir();
  setup.settings = CollectSettings(settings);
  return setup;
}

// render's output: the dialog's own "Sauvegarde BMP" for the preview as a bitmap, else the
// picture asked for, written by its name.
void SaveOutput(BrowserController& dialog, const OneFileRun& run) {
  if (run.size == 0 && !IsPngName(run.output)) {
    dialog.SaveBitmap(run.output);
    return;
  }
  if (!dialog.load.ImageLoaded) return;
  if (run.size == 0) {
    WritePicture(dialog.preview_picture, run.output, dialog.load.file_name);
  } else {
    WritePicture(dialog.FittedPicture(run.size), run.output, dialog.load.file_name);
  }
}

int RunOneFile(const OneFileRun& run, bool render, std::ostream& out, std::ostream& err) {
  DialogSetup setup;
  std::optional<std::string> error;
  std::unique_ptr<BrowserController> dialog;
  try {
    setup = SetupOf(run.settings);
    dialog = NewDialog(DialogSetup{setup.app_dir, {}}, NeedsDecoder(run.file));
  } catch (const RunTimeError& e) {
    err << e.what() << "\n";
    return 1;
  }
  try {
    RunOptions(*dialog, setup.settings);
  } catch (const UsageError& e) {
    err << "kivrel-cli: " << e.what() << "\n";
    return kExitUsage;
  } catch (const RunTimeError& e) {
    // A table read while the settings were applied (a transfer table that is not numbers).
    error = e.what();
  }
  try {
    if (error) throw RunTimeError(*error);
    OpenFile(*dialog, run.file);
    RunOptions(*dialog, run.actions);
    if (dialog->thresholds.redraw_timer.armed) dialog->RedrawTimerElapsed();
    if (render) SaveOutput(*dialog, run);
  } catch (const RunTimeError& e) {
    error = e.what();
  }
  if (run.json) {
    out << StateToJson(*dialog, error)
               .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << "\n";
  } else {
    out << SummaryText(*dialog, run.file, error.value_or(""));
  }
  if (error) return 1;
  return dialog->load.ImageLoaded ? 0 : 2;
}

int RunHeader(const std::string& file, std::ostream& out, std::ostream& err) {
  try {
    auto dialog = NewDialog(DialogSetup{ResolveAppDir(), {}}, false);
    const HeaderListing listing = dialog->ListHeader(ReadablePath(file));
    if (!listing.ok) {
      const std::string& reason = dialog->texts.status_line.caption;
      err << (reason.empty() || reason == " "
                  ? "kivrel-cli: header: " + file + " is neither a FITS nor a PIC file"
                  : reason)
          << "\n";
      return 2;
    }
    for (const auto& line : listing.lines)
      out << line << "\n";
    return 0;
  } catch (const RunTimeError& e) {
    err << e.what() << "\n";
    return 1;
  }
}

SurveyFormat ParseSurveyFormat(const std::string& name) {
  if (name == "csv") return SurveyFormat::kCsv;
  if (name == "jsonl") return SurveyFormat::kJsonLines;
  return SurveyFormat::kTable;
}

// The settings a folder-wide command takes: those of the dialog applied before each click.
void AddFolderOptions(CLI::App& sub, std::vector<std::string>& paths, bool& recursive, int& jobs,
                      SettingValues& settings) {
  sub.add_option("PATH", paths, "Image files and folders")->required();
  sub.add_flag("-r,--recursive", recursive, "Go into sub-folders too");
  sub.add_option("-j,--jobs", jobs, "Worker threads (default: one per core)")
      ->check(CLI::Range(1, 256));
  AddSettings(sub, settings);
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  try {
    ConfigureFromEnvironment();
  } catch (const RunTimeError& e) {
    err << e.what() << "\n";
    return 1;
  }

  CLI::App app{"kivrel-cli: the Kivrel image browser without a window"};
  app.set_version_flag("--version", std::string("kivrel-cli ") + KIVREL_VERSION);
  app.require_subcommand(1);

  OneFileRun run;
  auto* info = app.add_subcommand("info", "Summarise FILE as the browser shows it");
  auto* render = app.add_subcommand("render", "As info, then save the picture to OUT (.png or .bmp)");
  auto* header = app.add_subcommand("header", "Print the header listing of a FITS or PIC file");
  for (auto* sub : {info, render}) {
    sub->add_option("FILE", run.file, "Image file")->required();
    sub->add_flag("--json", run.json, "Print the dialog's state as JSON instead of the summary");
    AddOptions(*sub, run.settings);
  }
  render->add_option("-o,--output", run.output, "Output picture: PNG when it ends in .png, else BMP")
      ->required();
  render->add_option("--size", run.size, "Fit the whole image to N x N pixels instead of the preview")
      ->check(CLI::Range(1, 8192));
  header->add_option("FILE", run.file, "FITS or PIC file")->required();

  SurveyRequest survey_request;
  std::vector<std::string> keys;
  std::string format = "table";
  SettingValues survey_settings;
  auto* survey = app.add_subcommand("survey", "One row per image file: size, type, statistics, sky");
  AddFolderOptions(*survey, survey_request.paths, survey_request.recursive, survey_request.jobs,
                   survey_settings);
  survey->add_option("--keys", keys, "Header keywords to show, as OBJECT,EXPTIME")->delimiter(',');
  survey->add_option("--format", format, "table, csv or jsonl")
      ->check(CLI::IsMember({"table", "csv", "jsonl"}));

  ThumbsRequest thumbs_request;
  SettingValues thumbs_settings;
  auto* thumbs = app.add_subcommand("thumbs", "One PNG per image file, or a contact sheet");
  AddFolderOptions(*thumbs, thumbs_request.paths, thumbs_request.recursive, thumbs_request.jobs,
                   thumbs_settings);
  thumbs->add_option("-o,--output", thumbs_request.output_dir, "Folder for the PNG thumbnails");
  thumbs->add_option("--sheet", thumbs_request.sheet, "Contact sheet (PNG) of every thumbnail");
  thumbs->add_option("--size", thumbs_request.size, "Thumbnails fit N x N pixels (default 256)")
      ->check(CLI::Range(16, 2048));
  thumbs->add_option("--columns", thumbs_request.columns, "Columns of the sheet (default 6)")
      ->check(CLI::Range(1, 100));

  try {
    app.parse(argc, argv);
    CLI::App* used = info->parsed() ? info : render->parsed() ? render : nullptr;
    if (used != nullptr) run.actions = CollectActions(*used);
    if (thumbs->parsed() && thumbs_request.output_dir.empty() && thumbs_request.sheet.empty())
      throw UsageError("thumbs: give -o DIR, --sheet SHEET.png, or both");
    if (survey->parsed()) survey_request.keys = HeaderKeywords(keys);
  } catch (const CLI::Success& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kExitUsage;
  } catch (const UsageError& e) {
    err << "kivrel-cli: " << e.what() << "\n";
    return kExitUsage;
  }

  if (header->parsed()) return RunHeader(run.file, out, err);
  if (info->parsed() || render->parsed()) return RunOneFile(run, render->parsed(), out, err);
  try {
    if (survey->parsed()) {
      survey_request.format = ParseSurveyFormat(format);
      survey_request.setup = SetupOf(survey_settings);
      return RunSurvey(survey_request, out, err);
    }
    // A quick-look of a whole folder reads best with the zscale cut unless another is asked.
    std::optional<int>& level_mode = thumbs_settings.integers["level-mode"];
    if (!level_mode) level_mode = kLevelZScale;
    thumbs_request.setup = SetupOf(thumbs_settings);
    return RunThumbs(thumbs_request, err);
  } catch (const UsageError& e) {
    err << "kivrel-cli: " << e.what() << "\n";
    return kExitUsage;
  } catch (const RunTimeError& e) {
    err << e.what() << "\n";
    return 1;
  }
}

}  // namespace kivrel::cli
