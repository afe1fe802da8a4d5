// Colour tables (.lut) and transfer tables (.itt) from the palettes folder under the program's
// data folder: their names, the palette and the transfer table they give, and the colour bar.
//
// A colour-table file holds palette entries 1..255, one per line, red green blue each from 0
// to 1; entry 0 is always black. A transfer-table file holds levels 1..255, one value from 0
// to 1 per line; level 0 takes level 1's entry. Values become round(value x 255) modulo 256.
// A missing file gives the grey ramp or the identity table (level 0 showing entry 1).
// When tracing is on, reading a table writes its trace lines ("AssignFile ", "Reset ",
// "Close ", "File not found : ", each followed by the file name).
#pragma once

#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

// Table names: the part of each file name before its first dot, in lower case, sorted
// without regard to case, each once. When tracing is on, writes "Number of LUT : <n>" and
// "Number of ITT : <n>". A missing folder gives two empty lists.
struct TableNames {
  std::vector<std::string> colour;    // .lut
  std::vector<std::string> transfer;  // .itt
};
TableNames ListTables(const std::string& app_dir);

// The file behind a table name: "<app_dir>/palettes/<name><ext>", found without regard to
// the letter case of the name on disk.
std::string TableFile(const std::string& app_dir, const std::string& name, const char* ext);

// The palette of a colour-table file. Throws RunTimeError "Invalid numeric input" when a
// value is not a number.
Palette256 ReadColourTable(const std::string& file);

// Reads a transfer-table file into `table`. On a value that is not a number it throws
// RunTimeError "Invalid numeric input"; the entries read before it stay and the later ones
// keep what they held.
void ReadTransferTable(const std::string& file, TransferTable& table);

// The colour bar: 256 x 1 pixels, pixel k showing level k through the transfer table.
void DrawColourBar(const TransferTable& itt, const Palette256& palette, Picture& bar);

}  // namespace kivrel
