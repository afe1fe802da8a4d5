// Loading: a file chosen in the list (or a new layer number) becomes a shown image, or a
// "Format non supporté." failure; the header view and "Sauvegarde BMP".
#include <exception>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_controller.h"
#include "browser/dialog/control_table.h"
#include "browser/display/bmp_writer.h"
#include "browser/display/zoom.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_reader.h"
#include "browser/readers/pic_reader.h"
#include "browser/readers/raster_reader.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

constexpr const char* kFitsExtensions = ".fit .fts .fits .fz";
constexpr const char* kPicExtensions = ".pic";

// A FITS file by its name: the FITS extensions (as substrings of the list, as the file list's
// extensions always matched), or one of them followed by ".gz".
bool IsFitsName(const std::string& name) {
  const std::string ext = LowerExtension(name);
  if (ext == ".gz") {
    const std::string inner = LowerExtension(name.substr(0, name.size() - 3));
    return inner == ".fit" || inner == ".fts" || inner == ".fits";
  }
  return ExtensionOccursIn(ext, kFitsExtensions);
}

// A file that starts as every FITS file does.
bool StartsLikeFits(const std::string& name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return false;
  std::ifstream in(name, std::ios::binary);
  char head[9] = {};
  in.read(head, sizeof head);
  return in.gcount() == sizeof head && std::string_view(head, sizeof head) == "SIMPLE  =";
}

}  // namespace

bool IsImageFile(const std::string& path) {
  const std::string ext = LowerExtension(path);
  return IsFitsName(path) || ExtensionOccursIn(ext, kPicExtensions) ||
         ExtensionOccursIn(ext, kRasterExtensions) || StartsLikeFits(path);
}

LoadOutcome ReadForLoad(LoadJob job, const DecoderLibrary* decoder) {
  LoadOutcome outcome;
  outcome.file_name = job.file_name;
  outcome.layer = job.request.layer;
  const std::string& name = job.file_name;
  const std::string ext = LowerExtension(name);
  try {
    // Each reader whose extensions hold `ext` reads the file; a later one overrides. A file of
    // no known extension that starts as a FITS file is read as one.
    const bool pic = ExtensionOccursIn(ext, kPicExtensions);
    const bool raster = ExtensionOccursIn(ext, kRasterExtensions);
    if (IsFitsName(name) || (!pic && !raster && StartsLikeFits(name))) {
      LoadStep& step = outcome.steps.emplace_back();
      step.reader = ImageFormat::kFits;
      step.read = ReadFits(name, ReadRequest{job.request.layer, std::move(job.request.reuse)});
      step.celestial = std::make_shared<CelestialWcs>(step.read.origin.header_cards);
    }
    if (pic) {
      LoadStep& step = outcome.steps.emplace_back();
      step.reader = ImageFormat::kPic;
      step.read = ReadPic(name, ReadRequest{job.request.layer, std::move(job.request.reuse)});
    }
    if (raster) {
      RasterResult r = ReadRaster(
          name, ReadRequest{job.request.layer, std::move(job.request.reuse)}, job.own_colours,
          decoder);
      LoadStep& step = outcome.steps.emplace_back();
      step.reader = ImageFormat::kRaster;
      step.read = std::move(r.read);
      step.own_colours = r.own_colours;
      step.picture = std::move(r.picture);
    }
  } catch (...) {
    outcome.error = std::current_exception();
  }
  return outcome;
}

void BrowserController::ChooseFile(const std::string& full_path) {
  LoadJob job = PlanChoice(full_path);
  job.request.reuse = TakePlaneMemory();
  FinishLoad(ReadForLoad(std::move(job), decoder_.get()));
}

void BrowserController::ChangeLayer(const std::string& text) {
  std::optional<LoadJob> job = PlanLayerChange(text);
  if (!job) return;
  job->request.reuse = TakePlaneMemory();
  FinishLoad(ReadForLoad(std::move(*job), decoder_.get()));
}

void BrowserController::LoadImage() {
  LoadJob job = PlanLoad(selected_file_, image.CurrentLayer);
  job.request.reuse = TakePlaneMemory();
  FinishLoad(ReadForLoad(std::move(job), decoder_.get()));
}

LoadJob BrowserController::PlanLoad(const std::string& full_path, int32_t layer) const {
  LoadJob job;
  job.file_name = full_path;
  job.request.layer = layer;
  job.own_colours = colours.colour_mode.index == 0;
  return job;
}

LoadJob BrowserController::PlanChoice(const std::string& full_path) const {
  return PlanLoad(full_path, ParseIntOrZero(file.layer_edit.text));
}

std::optional<LoadJob> BrowserController::PlanLayerChange(const std::string& text) {
  file.layer_edit.text = text;
  if (!load.ImageLoaded) return std::nullopt;
  return PlanLoad(load.file_name, ParseIntOrZero(text));
}

// The shown planes go; the working plane's memory serves the new one when nothing shares it.
std::shared_ptr<LargeBuffer> BrowserController::TakePlaneMemory() {
  image.unfiltered.Clear();
  return image.plane.TakeBlock();
}

void BrowserController::FinishLoad(LoadOutcome&& outcome) {
  selected_file_ = outcome.file_name;
  image.CurrentLayer = outcome.layer;
  // The readout spoke of the previous picture; the pointer's next move speaks of this one.
  texts.readout.caption = " ";
  image.height = 0;
  sky.FieldWidth = 0;
  image.LayerCount = 1;
  sky.ProjCode = '-';
  load.LoadErrorText.clear();
  wcs.Ctype1.clear();
  wcs.Ctype2.clear();
  load.BitmapShown = false;
  view.FlipX = false;
  view.FlipY = false;
  view_controls.flip_y.pressed = view.FlipY;
  view_controls.flip_x.pressed = view.FlipX;
  EnableImageControls(true);
  load.file_name = outcome.file_name;
  load.origin = ImageOrigin{};
  load.format = ImageFormat::kNone;
  celestial_.reset();
  image.plane.Clear();
  image.unfiltered.Clear();
  bool out_of_memory = false;
  try {
    for (LoadStep& step : outcome.steps)
      out_of_memory = ApplyLoadStep(step) || out_of_memory;
    if (outcome.error) std::rethrow_exception(outcome.error);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  } catch (...) {
    // Nothing may keep describing the previous image.
    ClearDisplay();
    throw;
  }
  // The FITS header may have pressed the flip buttons.
  view_controls.flip_y.pressed = view.FlipY;
  view_controls.flip_x.pressed = view.FlipX;
  if (out_of_memory) {
    ShowOutOfMemory();
  } else if (image.height > 0 && image.width > 0) {
    ShowLoadedImage();
  } else if (!load.BitmapShown) {
    ShowUnsupported();
  }
  EnableShowButtons();
}

// "Taille réelle" and "Sauvegarde BMP" act on a shown picture only.
void BrowserController::EnableShowButtons() {
  view_controls.real_size.enabled = load.ImageLoaded;
  file.save.enabled = load.ImageLoaded;
}

// One reader's result becomes the shown image, as far as it got; true when the reader ran out
// of memory. A run-time error that ended the read is raised once its result is taken.
bool BrowserController::ApplyLoadStep(LoadStep& step) {
  if (step.reader == ImageFormat::kFits) {
    wcs = step.read.wcs;
    celestial_ = std::move(step.celestial);
  }
  const bool out_of_memory = step.read.failure.form == ReadFailure::Form::kOutOfMemory;
  // A later reader overrides an earlier one, whether it reads the file or not.
  load.format = step.read.Succeeded() || step.own_colours ? step.reader : ImageFormat::kNone;
  ApplyReadResult(std::move(step.read));
  if (step.own_colours) ShowPictureInItsColours(std::move(step.picture));
  return out_of_memory;
}

void BrowserController::ShowLoadedImage() {
  try {
    image.unfiltered.CopyFrom(image.plane);
    file.layer_count.caption = "/" + std::to_string(image.LayerCount);
    file.layer_edit.text = std::to_string(image.CurrentLayer);
    SetIntensityRange();
    image.unfiltered_stats = image.stats;
    view.zoom = ZoomWindow::Whole(image.width, image.height);
    view.previous_zoom = view.zoom;
    if (filters.filter_list.index > 0) {
      RunFilter();
    } else {
      RefreshDisplay();
    }
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory();
    return;
  } catch (...) {
    // A filter threshold that is not a number or an unreadable colour table: the new image
    // never reached the preview, so the load ends as a failed one rather than leaving the
    // previous picture over planes that no control would act on.
    ClearDisplay();
    throw;
  }
  load.ImageLoaded = true;
}

// What a reader read becomes the shown image, as far as it got; a run-time error that ended
// the read is raised once that is done.
void BrowserController::ApplyReadResult(ReadResult&& result) {
  image = std::move(result.image);
  load.origin = std::move(result.origin);
  view.FlipX = view.FlipX || result.flip_x;
  view.FlipY = view.FlipY || result.flip_y;
  if (result.failure.form != ReadFailure::Form::kText || !result.failure.detail.empty()) {
    load.LoadErrorText = FailureText(result.failure, messages);
  }
  if (result.error) throw RunTimeError(*result.error);
}

void BrowserController::ShowPictureInItsColours(Picture&& picture) {
  const int32_t width = picture.width();
  const int32_t height = picture.height();
  preview_picture = std::move(picture);
  ++picture_revision;
  view_controls.preview.width = PreviewWidthFor(width, height);
  load.ImageLoaded = true;
  EnableImageControls(false);
  texts.status_line.caption = FileNameOf(load.file_name) + "  " + std::to_string(width) + "x" +
                              std::to_string(height) + "  " + std::to_string(image.SampleType) +
                              " bits";
  load.BitmapShown = true;
}

void BrowserController::EnableImageControls(bool enable) {
  for (const ControlEntry& entry : ControlTable()) {
    if (entry.enable_rank > 0) CommonState(entry, *this)->enabled = enable;
  }
  if (!enable) {
    // Palette index 0 is black in every colour table.
    colour_bar_picture.FillZero();
    ++picture_revision;
    texts.readout.caption = " ";
    texts.status_line.caption = " ";
  }
}

void BrowserController::ClearDisplay() {
  sky.ProjCode = '-';
  sky.FieldWidth = 0;
  texts.readout.caption = " ";
  texts.status_line.caption = " ";
  image.plane.Clear();
  image.unfiltered.Clear();
  preview_picture.Reset(1, 1, 8);
  preview_picture.FillZero();
  preview_picture.palette.assign(256, Rgb{});
  colour_bar_picture.FillZero();
  ++picture_revision;
  load.ImageLoaded = false;
  load.format = ImageFormat::kNone;
  EnableShowButtons();
}

// Memory for the image was refused: a failed load that says so, not as an unknown format.
void BrowserController::ShowOutOfMemory() {
  ClearDisplay();
  load.LoadErrorText = messages.out_of_memory;
  texts.status_line.caption = FileNameOf(load.file_name) + "  " + messages.out_of_memory;
}

void BrowserController::ShowUnsupported() {
  ClearDisplay();
  texts.status_line.caption = "Format non supporté." + load.LoadErrorText;
  texts.readout.caption = " ";
}

HeaderListing BrowserController::ListHeader(const std::string& full_path) {
  load.LoadErrorText.clear();
  const std::string ext = LowerExtension(full_path);
  HeaderListing listing;
  if (IsFitsName(full_path)) listing = ListFitsHeader(full_path);
  if (ExtensionOccursIn(ext, kPicExtensions)) listing = ListPicHeader(full_path);
  if (!listing.ok) {
    if (!listing.failure.detail.empty())
      load.LoadErrorText = FailureText(listing.failure, messages);
    texts.status_line.caption = load.LoadErrorText;
  }
  return listing;
}

void BrowserController::SaveBitmap(const std::string& file_name) {
  if (file_name.empty() || !load.ImageLoaded) return;  // cancelled, or nothing to save
  // The shown file is never written over, whatever name the bitmap is given.
  WriteBmp(preview_picture, file_name, load.ImageLoaded ? load.file_name : std::string());
}

}  // namespace kivrel
