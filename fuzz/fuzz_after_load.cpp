// libFuzzer target for what follows a load: any bytes as a FITS file clicked in the dialog,
// then every level mode, both bars, a zoom by rectangle, a filter, the flips and the
// orientation, the readout, the fitted picture and the sky position of each view. The last
// eight bytes of the input choose the bar positions, the rectangle and the filter (the reader
// ignores what follows the data). Nothing may crash or hang; a run-time error is an ordinary
// outcome; a shown image keeps its plane, preview and zoom window consistent.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "browser/dialog/control_table.h"
#include "skylib/run_time_error.h"

namespace {

using kivrel::BrowserController;

// The control table's command-line option `name`, run as the CLI runs it.
void Act(BrowserController& dialog, std::string_view name, std::vector<std::string> values) {
  for (const kivrel::ControlEntry& entry : kivrel::ControlTable()) {
    for (const kivrel::CommandLineOption& option : entry.options) {
      if (option.name == name) option.run(dialog, values);
    }
  }
}

void CheckShown(const BrowserController& d) {
  if (!d.load.ImageLoaded || d.load.BitmapShown) return;
  const kivrel::ZoomWindow& z = d.view.zoom;
  bool plane_ok = false;
  d.image.plane.Visit([&](const auto& plane) {
    plane_ok = plane.rows() == d.image.height && plane.cols() == d.image.width;
  });
  if (!plane_ok || z.ZoomX1 < 0 || z.ZoomY1 < 0 || z.ZoomX2 > d.image.width ||
      z.ZoomY2 > d.image.height || z.ZoomWidth() < 1 || z.ZoomHeight() < 1 ||
      d.preview_picture.width() != z.ZoomWidth() || d.preview_picture.height() != z.ZoomHeight())
    __builtin_trap();
}

struct Fixture {
  std::string folder;
  std::string file;
  std::unique_ptr<BrowserController> dialog;
};

Fixture& Shared() {
  static Fixture* fixture = [] {
    auto* f = new Fixture;
    char name[] = "/tmp/kivrel_fuzz_after_load_XXXXXX";
    if (::mkdtemp(name) == nullptr) std::abort();
    f->folder = name;
    f->file = f->folder + "/input.fits";
    kivrel::BrowserOptions options;
    options.app_dir = KIVREL_SOURCE_DIR;
    options.load_decoder = false;
    f->dialog = std::make_unique<BrowserController>(options);
    return f;
  }();
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  Fixture& f = Shared();
  {
    std::ofstream out(f.file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const uint8_t* knobs = data + size - 8;
  BrowserController& d = *f.dialog;
  try {
    d.ChooseFile(f.file);
    CheckShown(d);
    for (int32_t mode = 0; mode <= 6; ++mode) {
      d.ChooseLevelMode(mode);
      CheckShown(d);
    }
    d.MoveMinBar(knobs[0] * 100);
    d.MoveMaxBar(knobs[1] * 100);
    d.RedrawTimerElapsed();
    CheckShown(d);
    const auto coordinate = [](uint8_t k) { return std::to_string(k + 0); };
    Act(d, "drag", {coordinate(knobs[2]) + "," + coordinate(knobs[3]) + "," +
                    coordinate(knobs[4]) + "," + coordinate(knobs[5])});
    Act(d, "click", {"100,100"});
    CheckShown(d);
    Act(d, "at", {coordinate(knobs[3]) + "," + coordinate(knobs[2])});
    (void)d.SampleText(knobs[2], knobs[3]);
    d.ToggleFlipX();
    d.OrientAsOnSky();
    CheckShown(d);
    d.ChooseFilter(knobs[6] % 15);
    d.ApplyFilter();
    CheckShown(d);
    const kivrel::Picture fitted = d.FittedPicture(16 + knobs[7]);
    if (fitted.width() < 1 || fitted.height() < 1 || fitted.width() > 271 || fitted.height() > 271)
      __builtin_trap();
    d.RestoreUnfiltered();
    d.ZoomToWholeImage();
    CheckShown(d);
  } catch (const kivrel::RunTimeError&) {
    // A header number that does not convert, a filter threshold: what the user would be told.
  }
  return 0;
}
