#include "browser/display/palettes.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "browser/base/byte_source.h"
#include "browser/base/text.h"
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

}  // namespace

TableNames ListTables(const std::string& app_dir) {
  std::set<std::string, IgnoreCaseLess> luts;
  std::set<std::string, IgnoreCaseLess> itts;
  std::error_code ec;
  for (fs::directory_iterator it(PaletteFolder(app_dir), ec), end; !ec && it != end;
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
  return TableNames{{luts.begin(), luts.end()}, {itts.begin(), itts.end()}};
}

std::string TableFile(const std::string& app_dir, const std::string& name, const char* ext) {
  const std::string folder = PaletteFolder(app_dir);
  const std::string found = FindFileIgnoringCase(folder, name + ext);
  return found.empty() ? folder + name + ext : found;
}

Palette256 ReadColourTable(const std::string& file) {
  Palette256 palette;
  const bool found = ReadTable(file, [&](TableFileReader& in) {
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

void ReadTransferTable(const std::string& file, TransferTable& table) {
  const bool found = ReadTable(file, [&](TableFileReader& in) {
    for (int k = 1; k < 256; ++k) {
      table[k] = TableByte(in.ReadNumber());
      in.SkipLine();
    }
  });
  if (!found) {
    for (int k = 1; k < 256; ++k)
      table[k] = static_cast<uint8_t>(k);
  }
  table[0] = table[1];
}

void DrawColourBar(const TransferTable& itt, const Palette256& palette, Picture& bar) {
  bar.Reset(256, 1, 8);
  bar.palette.assign(palette.begin(), palette.end());
  std::copy(itt.begin(), itt.end(), bar.Row(0));
}

}  // namespace kivrel
