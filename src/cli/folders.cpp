#include "cli/folders.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <utility>

#include "browser/display/png_writer.h"
#include "cli/file_walk.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/sheet.h"
#include "cli/worker_pool.h"
#include "skylib/run_time_error.h"

namespace kivrel::cli {
namespace {

constexpr int kExitFailedFile = 2;
constexpr int kExitOutput = 1;

// Whether the run's settings are sound: made once before any worker starts, so that a table
// that cannot be read or is not there stops the run at once rather than failing every file.
void CheckSetup(const DialogSetup& setup) {
  NewDialog(setup, false);
}

// Runs `file` through a fresh dialog and hands it to `take`, which returns the item's result.
// A failure of the dialog's own making (out of memory) comes back as a thrown RunTimeError, as
// every other reason a file fails does.
template <typename Take>
auto WithLoadedFile(const DialogSetup& setup, const FoundFile& file, Take&& take) {
  try {
    std::unique_ptr<BrowserController> dialog = NewDialog(setup, NeedsDecoder(file.path));
    std::optional<std::string> error;
    try {
      OpenFile(*dialog, file.path);
    } catch (const RunTimeError& e) {
      error = e.what();
    }
    return take(*dialog, error);
  } catch (const std::bad_alloc&) {
    throw RunTimeError("Mémoire insuffisante.");
  }
}

// The files a run reads, by device and inode: no output may be written over one of them,
// under whatever name.
class InputFiles {
 public:
  explicit InputFiles(const std::vector<FoundFile>& files) {
    for (const FoundFile& f : files) {
      struct stat st {};
      if (::stat(f.path.c_str(), &st) == 0) ids_.insert({st.st_dev, st.st_ino});
    }
  }
  bool Holds(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && ids_.count({st.st_dev, st.st_ino}) != 0;
  }

 private:
  std::set<std::pair<dev_t, ino_t>> ids_;
};

void CheckNotInput(const InputFiles& inputs, const std::string& path) {
  if (inputs.Holds(path)) throw RunTimeError("Cannot write over " + path + ": it is a file being read");
}

}  // namespace

std::vector<std::string> HeaderKeywords(const std::vector<std::string>& given) {
  std::vector<std::string> keys;
  for (const std::string& key : given) {
    std::string upper;
    bool valid = !key.empty() && key.size() <= 8;
    for (char c : key) {
      const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      valid = valid && ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '_');
      upper += u;
    }
    if (!valid) {
      throw UsageError("--keys: '" + key + "' is not a FITS keyword (1 to 8 of A-Z 0-9 - _)");
    }
    keys.push_back(std::move(upper));
  }
  return keys;
}

int RunSurvey(const SurveyRequest& request, std::ostream& out, std::ostream& err) {
  CheckSetup(request.setup);
  const std::vector<FoundFile> files = FindImageFiles(request.paths, request.recursive);
  DialogSetup setup = request.setup;
  setup.draw_preview = false;  // a row holds figures only
  const std::vector<std::string>& keys = request.keys;

  std::vector<SurveyRow> table;
  bool any_failed = false;
  if (request.format == SurveyFormat::kCsv) out << SurveyCsvHeader(keys);
  ProgressBar bar;
  const auto work = [&](std::size_t i) {
    return WithLoadedFile(setup, files[i], [&](BrowserController& dialog,
                                               const std::optional<std::string>& error) {
      if (error) return FailedRow(files[i].path, *error);
      return SurveyRowOf(dialog, files[i].path, keys);
    });
  };
  const auto deliver = [&](std::size_t i, ItemOutcome<SurveyRow>&& outcome) {
    SurveyRow row = outcome.value ? std::move(*outcome.value) : FailedRow(files[i].path, outcome.failure);
    any_failed = any_failed || !row.failure.empty();
    switch (request.format) {
      case SurveyFormat::kTable: table.push_back(std::move(row)); break;
      case SurveyFormat::kCsv: out << SurveyCsvLine(row, keys) << std::flush; break;
      case SurveyFormat::kJsonLines: out << SurveyJsonLine(row, keys) << std::flush; break;
    }
  };
  const auto progress = [&](std::size_t done, std::size_t total, std::size_t item) {
    bar.Update(done, total, files[item].path);
  };
  RunOrdered<SurveyRow>(files.size(), WorkerCount(request.jobs), work, deliver,
                        bar.enabled() ? ProgressFn(progress) : ProgressFn());
  bar.Clear();
  if (request.format == SurveyFormat::kTable) out << SurveyTable(table, keys);
  out.flush();
  if (!out) {
    err << "kivrel-cli: survey: cannot write the output\n";
    return kExitOutput;
  }
  return any_failed ? kExitFailedFile : 0;
}

namespace {

// The PNG names of the thumbnails: the relative path with "/" as "_", then ".png"; a name
// already taken gets "-2", "-3", ... before ".png".
std::vector<std::string> ThumbnailNames(const std::vector<FoundFile>& files) {
  std::vector<std::string> names;
  std::map<std::string, int> taken;
  for (const FoundFile& f : files) {
    std::string base = f.relative;
    for (char& c : base) {
      if (c == '/' || c == '\\') c = '_';
    }
    if (base.empty() || base[0] == '.') base.insert(0, "_");
    std::string name = base + ".png";
    for (int n = 2; taken.count(name) != 0; ++n)
      name = base + "-" + std::to_string(n) + ".png";
    taken[name] = 1;
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

int RunThumbs(const ThumbsRequest& request, std::ostream& err) {
  CheckSetup(request.setup);
  const std::vector<FoundFile> files = FindImageFiles(request.paths, request.recursive);
  const InputFiles inputs(files);
  const SheetLayout layout{request.columns, request.size};
  if (!request.sheet.empty()) {
    const SheetSize size = SheetSizeFor(layout, files.size());
    if (size.width * size.height * 3 > static_cast<int64_t>(kMaxSheetBytes)) {
      err << "kivrel-cli: thumbs: a contact sheet of " << files.size() << " pictures of "
          << request.size << " pixels would be " << size.width << " x " << size.height
          << " pixels; give a smaller --size or fewer files\n";
      return kExitOutput;
    }
  }
  std::vector<std::string> names;
  if (!request.output_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(request.output_dir, ec);
    if (!std::filesystem::is_directory(request.output_dir)) {
      err << "kivrel-cli: thumbs: cannot create the folder " << request.output_dir << "\n";
      return kExitOutput;
    }
    names = ThumbnailNames(files);
  }
  const bool keep = !request.sheet.empty();
  std::vector<std::optional<Picture>> pictures(keep ? files.size() : 0);
  bool any_failed = false;
  ProgressBar bar;
  const auto work = [&](std::size_t i) {
    return WithLoadedFile(request.setup, files[i], [&](BrowserController& dialog,
                                                       const std::optional<std::string>& error) {
      if (error) throw RunTimeError(*error);
      if (!dialog.load.ImageLoaded) throw RunTimeError(SurveyRowOf(dialog, "", {}).failure);
      Picture picture = dialog.FittedPicture(request.size);
      if (!names.empty()) {
        const std::string png = (std::filesystem::path(request.output_dir) / names[i]).string();
        CheckNotInput(inputs, png);
        WritePng(picture, png, dialog.load.file_name);
      }
      return picture;
    });
  };
  const auto deliver = [&](std::size_t i, ItemOutcome<Picture>&& outcome) {
    if (!outcome.value) {
      any_failed = true;
      bar.Clear();
      err << "kivrel-cli: thumbs: " << files[i].path << ": " << outcome.failure << "\n";
      return;
    }
    if (keep) pictures[i] = std::move(*outcome.value);
  };
  const auto progress = [&](std::size_t done, std::size_t total, std::size_t item) {
    bar.Update(done, total, files[item].path);
  };
  RunOrdered<Picture>(files.size(), WorkerCount(request.jobs), work, deliver,
                      bar.enabled() ? ProgressFn(progress) : ProgressFn());
  bar.Clear();
  if (keep) {
    std::vector<SheetEntry> entries;
    for (std::size_t i = 0; i < files.size(); ++i)
      entries.push_back({files[i].relative, pictures[i] ? &*pictures[i] : nullptr});
    try {
      CheckNotInput(inputs, request.sheet);
      WritePng(ComposeSheet(entries, layout), request.sheet);
    } catch (const RunTimeError& e) {
      err << "kivrel-cli: thumbs: " << e.what() << "\n";
      return kExitOutput;
    }
  }
  return any_failed ? kExitFailedFile : 0;
}

}  // namespace kivrel::cli
