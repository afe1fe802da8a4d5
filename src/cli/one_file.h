// One file through a fresh dialog, as every command of kivrel-cli runs it: the dialog created
// with the table folder, the settings given before the click applied, then a click on the file
// in the file list. Also the picture outputs: PNG or BMP by the output's name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "browser/base/picture.h"
#include "browser/dialog/browser_controller.h"
#include "cli/actions.h"

namespace kivrel::cli {

// How each dialog of a run is made.
struct DialogSetup {
  std::string app_dir;              // folder holding palettes/
  std::vector<OptionUse> settings;  // applied in order before the click
  bool draw_preview = true;         // false: the file's figures only, no picture
};

// Whether a file of this name may need the raster decoder library: only rasters other than a
// bitmap do, and loading the library (a few milliseconds) would otherwise dominate small files.
bool NeedsDecoder(const std::string& file);

// A dialog with the setup's settings applied. Throws RunTimeError (a table file that cannot be
// read) and UsageError (a table name the lists do not hold).
std::unique_ptr<BrowserController> NewDialog(const DialogSetup& setup, bool load_decoder);

// `file` made absolute, once it is known to be a regular file that can be read (as the file
// list shows only those); else throws RunTimeError "Cannot open file <name>".
std::string ReadablePath(const std::string& file);

// A click on `file` (made absolute) in the file list. Throws RunTimeError "Cannot open file
// <name>" when it is not a regular file that can be read, and what the load throws.
void OpenFile(BrowserController& dialog, const std::string& file);

// Whether an output name asks for PNG: it ends in ".png", in any case.
bool IsPngName(const std::string& file);

// Writes `picture` to `file` as PNG (IsPngName) or as BMP, never over `shown_file`. Throws
// RunTimeError as WritePng and WriteBmp do.
void WritePicture(const Picture& picture, const std::string& file, const std::string& shown_file);

}  // namespace kivrel::cli
