// Colour tables (.lut) and transfer tables (.itt) from the palettes folder of AppDir: the two
// lists, the palette and the transfer table, and the colour bar.
#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "browser/base/byte_source.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"
#include "browser/display/table_file.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;

std::string PaletteFolder(const std::string& app_dir) {
  return (fs::path(app_dir) / "palettes").string() + "/";
}

// Case-insensitive byte order, the same on every machine whatever its locale.
struct IgnoreCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return LowerAscii(a) < LowerAscii(b);
  }
};

void Trace(const std::string& line) {
  if (Settings().TraceEnabled) WriteTrace(line);
}

// The file behind a list entry: "<folder><name><ext>", found without regard to case.
std::string TableFile(const std::string& app_dir, const std::string& name, const char* ext) {
  const std::string folder = PaletteFolder(app_dir);
  const std::string found = FindFileIgnoringCase(folder, name + ext);
  return found.empty() ? folder + name + ext : found;
}

void FillList(ComboBoxControl& list, const std::set<std::string, IgnoreCaseLess>& names,
              const std::string& preferred) {
  list.Items.assign(names.begin(), names.end());
  const auto it = std::find(list.Items.begin(), list.Items.end(), preferred);
  list.ItemIndex = it != list.Items.end() ? static_cast<int32_t>(it - list.Items.begin())
                   : list.Items.empty()   ? -1
                                          : 0;
  list.Text = list.ItemIndex >= 0 ? list.Items[static_cast<std::size_t>(list.ItemIndex)] : "";
}

// 255 entries never need more than this; a longer file reads as if it ended here.
constexpr uint64_t kMaxTableBytes = 4 << 20;

std::string ReadTableText(const std::string& file) {
  const std::vector<uint8_t> bytes = ReadWholeFile(file, kMaxTableBytes);
  return std::string(bytes.begin(), bytes.end());
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// Reads a table file with `read_entries`, with the trace lines of the file's opening and
// closing (the closing one also when reading fails). False when the file does not exist.
template <typename F>
bool ReadTable(const std::string& file, F read_entries) {
  if (!FileExists(file)) {
    Trace("File not found : " + file);
    return false;
  }
  Trace("AssignFile " + file);
  Trace("Reset " + file);
  TableFileReader reader(ReadTableText(file));
  struct CloseTrace {
    const std::string& name;
    ~CloseTrace() { Trace("Close " + name); }
  } close{file};
  read_entries(reader);
  return true;
}

void SelectItem(ComboBoxControl& list, int32_t index) {
  list.ItemIndex = index;
  list.Text = index >= 0 && index < static_cast<int32_t>(list.Items.size())
                  ? list.Items[static_cast<std::size_t>(index)]
                  : "";
}

}  // namespace

void BrowserLogic::FillPaletteLists() {
  FillingLists = true;
  std::set<std::string, IgnoreCaseLess> luts;
  std::set<std::string, IgnoreCaseLess> itts;
  std::error_code ec;
  for (fs::directory_iterator it(PaletteFolder(AppDir), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (!it->is_regular_file(ec) || file.empty() || file[0] == '.') continue;
    const std::string ext = LowerExtension(file);
    const std::string name = LowerAscii(file.substr(0, file.find('.')));
    if (ext == ".lut") luts.insert(name);
    if (ext == ".itt") itts.insert(name);
  }
  Trace("Number of LUT : " + std::to_string(luts.size()));
  Trace("Number of ITT : " + std::to_string(itts.size()));
  FillList(ComboBox1, luts, "ramp");
  FillList(ComboBox2, itts, "4_ramp");
  FillingLists = false;
}

Palette256 BrowserLogic::LoadLutPalette() {
  Palette256 palette;
  const bool found = ReadTable(TableFile(AppDir, ComboBox1.Text, ".lut"), [&](TableFileReader& in) {
    for (int i = 1; i < 256; ++i) {
      const double r = in.ReadNumber();
      const double g = in.ReadNumber();
      const double b = in.ReadNumber();
      in.SkipLine();
      palette[i] = Rgb{TableByte(r), TableByte(g), TableByte(b)};
    }
  });
  if (!found) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      palette[i] = Rgb{v, v, v};
    }
  }
  palette[0] = Rgb{};
  return palette;
}

void BrowserLogic::LoadIttTable() {
  const bool found = ReadTable(TableFile(AppDir, ComboBox2.Text, ".itt"), [&](TableFileReader& in) {
    for (int k = 1; k < 256; ++k) {
      IttTable[k] = TableByte(in.ReadNumber());
      in.SkipLine();
    }
  });
  if (!found) {
    for (int k = 1; k < 256; ++k)
      IttTable[k] = static_cast<uint8_t>(k);
  }
  IttTable[0] = IttTable[1];
}

void BrowserLogic::BuildColourBar() {
  BarBitmap.Reset(256, 1, 8);
  const Palette256 palette = LoadLutPalette();
  BarBitmap.palette.assign(palette.begin(), palette.end());
  std::copy(IttTable.begin(), IttTable.end(), BarBitmap.Row(0));
}

void BrowserLogic::SelectComboBox1(int32_t index) {
  SelectItem(ComboBox1, index);
  ComboBox1Change();
}

void BrowserLogic::SelectComboBox2(int32_t index) {
  SelectItem(ComboBox2, index);
  ComboBox2Change();
}

void BrowserLogic::ComboBox1Change() {
  if (FillingLists) return;
  if (Store.ImageLoaded) RefreshDisplay();
}

void BrowserLogic::ComboBox2Change() {
  if (FillingLists) return;
  LoadIttTable();
  if (Store.ImageLoaded) RefreshDisplay();
}

}  // namespace kivrel
