// Loading: a file chosen in the list (or a new layer number) becomes a shown image, or a
// "Format non supporté." failure; the header view and "Sauvegarde BMP".
#include <string>
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

constexpr const char* kFitsExtensions = ".fit .fts .fits";
constexpr const char* kPicExtensions = ".pic";

}  // namespace

void BrowserController::ChooseFile(const std::string& full_path) {
  image.CurrentLayer = ParseIntOrZero(file.layer_edit.text);
  selected_file_ = full_path;
  LoadImage();
}

void BrowserController::ChangeLayer(const std::string& text) {
  file.layer_edit.text = text;
  if (!load.ImageLoaded) return;
  image.CurrentLayer = ParseIntOrZero(text);
  LoadImage();
}

void BrowserController::LoadImage() {
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
  load.file_name = selected_file_;
  const std::string ext = LowerExtension(load.file_name);

  // The old planes go; the working plane's memory serves the new one when nothing shares it.
  ReadRequest request;
  request.layer = image.CurrentLayer;
  image.unfiltered.Clear();
  request.reuse = image.plane.TakeBlock();
  try {
    // Each reader whose extensions hold `ext` reads the file; a later one overrides.
    if (ExtensionOccursIn(ext, kFitsExtensions)) {
      ReadResult r = ReadFits(load.file_name, std::move(request));
      wcs = r.wcs;
      ApplyReadResult(std::move(r));
    }
    if (ExtensionOccursIn(ext, kPicExtensions)) {
      ApplyReadResult(ReadPic(load.file_name, std::move(request)));
    }
    if (ExtensionOccursIn(ext, kRasterExtensions)) {
      RasterResult r = ReadRaster(load.file_name, std::move(request),
                                  colours.colour_mode.index == 0, decoder_.get());
      const bool own_colours = r.own_colours;
      ApplyReadResult(std::move(r.read));
      if (own_colours) ShowPictureInItsColours(std::move(r.picture));
    }
  } catch (const RunTimeError&) {
    // Nothing may keep describing the previous image.
    ClearDisplay();
    throw;
  }
  // The FITS header may have pressed the flip buttons.
  view_controls.flip_y.pressed = view.FlipY;
  view_controls.flip_x.pressed = view.FlipX;

  if (image.height > 0 && image.width > 0) {
    image.unfiltered.CopyFrom(image.plane);
    file.layer_count.caption = "/" + std::to_string(image.LayerCount);
    file.layer_edit.text = std::to_string(image.CurrentLayer);
    SetIntensityRange();
    image.unfiltered_stats = image.stats;
    view.zoom = ZoomWindow::Whole(image.width, image.height);
    view.previous_zoom = view.zoom;
    try {
      if (filters.filter_list.index > 0) {
        RunFilter();
      } else {
        RefreshDisplay();
      }
    } catch (const RunTimeError&) {
      // A filter threshold that is not a number or an unreadable colour table: the new image
      // never reached the preview, so the load ends as a failed one rather than leaving the
      // previous picture over planes that no control would act on.
      ClearDisplay();
      throw;
    }
    load.ImageLoaded = true;
  } else if (!load.BitmapShown) {
    ShowUnsupported();
  }
}

// What a reader read becomes the shown image, as far as it got; a run-time error that ended
// the read is raised once that is done.
void BrowserController::ApplyReadResult(ReadResult&& result) {
  image = std::move(result.image);
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
  if (ExtensionOccursIn(ext, kFitsExtensions)) listing = ListFitsHeader(full_path);
  if (ExtensionOccursIn(ext, kPicExtensions)) listing = ListPicHeader(full_path);
  if (!listing.ok) {
    if (!listing.failure.detail.empty())
      load.LoadErrorText = FailureText(listing.failure, messages);
    texts.status_line.caption = load.LoadErrorText;
  }
  return listing;
}

void BrowserController::SaveBitmap(const std::string& file_name) {
  if (file_name.empty()) return;  // the save dialog was cancelled
  // The shown file is never written over, whatever name the bitmap is given.
  WriteBmp(preview_picture, file_name, load.ImageLoaded ? load.file_name : std::string());
}

}  // namespace kivrel
