// kivrel-cli's commands run in-process: PNG output read back by libpng against the bitmap of
// the same view, survey rows against the dialog-state JSON of `info` and its status line, a
// folder with bad files, thumbnails and the contact sheet, and bad command lines.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "browser/display/fitted_render.h"
#include "cli/commands.h"
#include "cli/sheet.h"
#include "temp_dir.h"

namespace kivrel {
namespace {

using test::TempDir;

const std::string kSource = KIVREL_SOURCE_DIR;
const std::string kSamples = kSource + "/samples/";

struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

Outcome RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "kivrel-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out;
  std::ostringstream err;
  Outcome o;
  o.status = cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  o.out = out.str();
  o.err = err.str();
  return o;
}

// Pixels as red, green, blue bytes, rows top to bottom.
struct RgbImage {
  int width = 0;
  int height = 0;
  bool indexed = false;
  std::vector<uint8_t> rgb;
};

// By libpng's simplified reader, whatever the file's colour type.
RgbImage ReadPng(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  RgbImage out;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return out;
  out.indexed = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return out;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgb = std::move(pixels);
  return out;
}

uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// A bottom-up BMP of 8 bits with a palette or of 24 bits, as the file format defines it.
RgbImage ReadBmp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  RgbImage out;
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0) return out;
  const uint32_t offset = Le32(b, 10);
  const uint32_t info_size = Le32(b, 14);
  const int width = static_cast<int>(Le32(b, 18));
  const int height = static_cast<int>(Le32(b, 22));
  const int bits = static_cast<uint8_t>(b[28]);
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  if ((bits != 8 && bits != 24) || b.size() < offset + stride * height) return out;
  out.width = width;
  out.height = height;
  for (int y = 0; y < height; ++y) {
    const std::size_t row = offset + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::size_t at = row + 3 * static_cast<std::size_t>(x);
      if (bits == 8) at = 14 + info_size + 4 * static_cast<uint8_t>(b[row + x]);
      out.rgb.push_back(static_cast<uint8_t>(b[at + 2]));
      out.rgb.push_back(static_cast<uint8_t>(b[at + 1]));
      out.rgb.push_back(static_cast<uint8_t>(b[at]));
    }
  }
  return out;
}

std::vector<std::string> WithAppDir(std::vector<std::string> args) {
  args.push_back("--appdir");
  args.push_back(kSource + "/");
  return args;
}

TEST(RenderPng, ShowsTheColoursOfTheBitmap) {
  struct Case {
    const char* file;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"m51_tan16.fits", {}},
      {"m51_tan16.fits", {"--lut", "heat", "--itt", "log", "--flip-x"}},
      {"m51_tan16.fits", {"--drag", "10,20,110,80", "--click", "50,50"}},
      {"galactic64.fits", {"--orient", "--lut", "rainbow"}},
      {"stars16.pic", {"--itt", "neg"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string png = dir.path() + "/out.png";
    const std::string bmp = dir.path() + "/out.BMP";
    std::vector<std::string> args = WithAppDir({"render", kSamples + c.file});
    args.insert(args.end(), c.options.begin(), c.options.end());
    std::vector<std::string> to_png = args;
    to_png.insert(to_png.end(), {"-o", png});
    std::vector<std::string> to_bmp = args;
    to_bmp.insert(to_bmp.end(), {"-o", bmp});
    ASSERT_EQ(RunCli(to_png).status, 0) << c.file;
    ASSERT_EQ(RunCli(to_bmp).status, 0) << c.file;
    const RgbImage from_png = ReadPng(png);
    const RgbImage from_bmp = ReadBmp(bmp);
    ASSERT_GT(from_png.width, 0) << c.file;
    EXPECT_TRUE(from_png.indexed) << c.file;
    EXPECT_EQ(from_png.width, from_bmp.width) << c.file;
    EXPECT_EQ(from_png.height, from_bmp.height) << c.file;
    EXPECT_TRUE(from_png.rgb == from_bmp.rgb) << c.file;
  }
}

TEST(RenderPng, SizeFitsTheWholeImage) {
  TempDir dir;
  const std::string m51 = kSamples + "m51_tan16.fits";
  const auto render = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args = WithAppDir({"render", m51, "--lut", "heat", "-o", dir.path() + "/" + name});
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(RunCli(args).status, 0) << name;
    return ReadPng(dir.path() + "/" + name);
  };
  // 240 x 180: at its own size the fitted picture is the preview of the whole image, also
  // when the preview shows a zoomed part.
  const RgbImage preview = render("preview.png", {});
  const RgbImage own = render("own.png", {"--size", "240", "--drag", "10,20,110,80", "--click", "50,50"});
  EXPECT_EQ(own.width, 240);
  EXPECT_TRUE(own.rgb == preview.rgb);
  for (const auto& [size, width, height] : {std::tuple{100, 100, 75}, {480, 480, 360}, {300, 240, 180}}) {
    const RgbImage fitted = render("fit.png", {"--size", std::to_string(size)});
    EXPECT_EQ(fitted.width, width) << size;
    EXPECT_EQ(fitted.height, height) << size;
  }
  // A bitmap name gets a bitmap of the same picture.
  EXPECT_EQ(RunCli(WithAppDir({"render", m51, "--lut", "heat", "--size", "100", "-o",
                              dir.path() + "/fit.bmp"})).status,
            0);
  EXPECT_TRUE(ReadBmp(dir.path() + "/fit.bmp").rgb == render("fit.png", {"--size", "100"}).rgb);
}

// The survey rows of the samples (and of the corpus's FITS files, when it is there) say what
// `info --json` says of each file, and their sky texts are those of its status line.
TEST(Survey, RowsAgreeWithTheDialogState) {
  std::vector<std::string> folders = {kSamples};
  const std::string corpus = std::string(KIVREL_CORPUS_DIR) + "/fits";
  if (std::filesystem::is_directory(corpus)) folders.push_back(corpus);
  std::vector<std::string> args = WithAppDir({"survey", "--format", "jsonl", "--keys", "bunit,Object"});
  args.insert(args.end(), folders.begin(), folders.end());
  const Outcome survey = RunCli(args);
  std::istringstream lines(survey.out);
  std::string line;
  int rows = 0;
  while (std::getline(lines, line)) {
    ++rows;
    const auto row = nlohmann::json::parse(line);
    const std::string file = row["file"];
    const Outcome info = RunCli(WithAppDir({"info", "--json", file}));
    const auto state = nlohmann::json::parse(info.out);
    SCOPED_TRACE(file);
    EXPECT_EQ(row["error"].is_null(), info.status == 0);
    ASSERT_TRUE(row["keys"].contains("BUNIT") && row["keys"].contains("OBJECT"));
    if (info.status != 0) continue;
    if (row["shown"].is_null()) {
      EXPECT_EQ(row["width"], state["ImaWidth"]);
      EXPECT_EQ(row["height"], state["ImaHeight"]);
    } else {
      EXPECT_EQ(row["shown"]["width"], state["ImaWidth"]);
      EXPECT_EQ(row["shown"]["height"], state["ImaHeight"]);
      EXPECT_GE(row["width"].get<int64_t>() * row["height"].get<int64_t>(),
                state["ImaWidth"].get<int64_t>() * state["ImaHeight"].get<int64_t>());
    }
    EXPECT_EQ(row["sample_type"], state["SampleType"]);
    EXPECT_EQ(row["layers"], state["LayerCount"]);
    for (const auto& [column, key] : {std::pair{"min", "DataMin"}, {"max", "DataMax"},
                                      {"mean", "DataMean"}, {"sigma", "DataSigma"}}) {
      if (state["BitmapShown"]) continue;
      EXPECT_EQ(row[column].get<double>(), state[key].get<double>()) << column;
    }
    const std::string status_line = state["Label2"];
    if (row["ra"].is_null()) {
      EXPECT_EQ(status_line.find(" ar:"), std::string::npos);
    } else {
      EXPECT_NE(status_line.find(row["ra"].get<std::string>() + " de:" +
                                 row["dec"].get<std::string>() + " l:+" +
                                 row["field"].get<std::string>()),
                std::string::npos);
    }
  }
  EXPECT_GE(rows, 8);
}

// A folder as people have them: a good file, a broken one, a short one, a text file and a
// sub-folder.
class Folder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(kSamples + "m51_tan16.fits", std::ios::binary);
    m51_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::ifstream pic(kSamples + "stars16.pic", std::ios::binary);
    const std::string stars((std::istreambuf_iterator<char>(pic)), std::istreambuf_iterator<char>());
    dir_.Write("night/b_m51.fits", m51_);
    dir_.Write("night/a_broken.fits", "SIMPLE  = nonsense, not a header at all");
    dir_.Write("night/c_short.fits", m51_.substr(0, m51_.size() / 2));
    dir_.Write("night/notes.txt", "seeing 2 arcsec");
    dir_.Write("night/deep/stars.pic", stars);
  }
  std::string Night() const { return dir_.path() + "/night"; }

  TempDir dir_;
  std::string m51_;
};

TEST_F(Folder, SurveyGivesEveryFileItsRowAndGoesOn) {
  const Outcome flat = RunCli(WithAppDir({"survey", Night(), "--format", "csv", "-j", "2"}));
  EXPECT_EQ(flat.status, 2);
  std::vector<std::string> lines;
  std::istringstream in(flat.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("file,format,size,shown,type,layers,min,max,mean,sigma,ra,dec,field,error", 0), 0u);
  EXPECT_NE(lines[1].find("a_broken.fits,"), std::string::npos);
  EXPECT_NE(lines[1].find("Format non supporté."), std::string::npos);
  EXPECT_NE(lines[2].find("b_m51.fits,FITS,240x180,,16,1,813,27095,"), std::string::npos);
  EXPECT_NE(lines[3].find("c_short.fits,FITS,240x180,"), std::string::npos);

  // The order and the rows do not depend on the worker count; -r goes into sub-folders.
  const Outcome one = RunCli(WithAppDir({"survey", Night(), "-r", "--format", "jsonl", "-j", "1"}));
  const Outcome two = RunCli(WithAppDir({"survey", Night(), "-r", "--format", "jsonl", "-j", "2"}));
  EXPECT_EQ(one.out, two.out);
  EXPECT_NE(one.out.find("\"file\":\"" + Night() + "/deep/stars.pic\",\"format\":\"PIC\""),
            std::string::npos);

  // A path that is not there is a row too.
  const Outcome missing = RunCli(WithAppDir({"survey", Night() + "/b_m51.fits", Night() + "/gone.fits"}));
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("Cannot open file"), std::string::npos);
  EXPECT_NE(missing.out.find("27095"), std::string::npos);
}

TEST_F(Folder, ThumbsWritesPicturesAndASheet) {
  const std::string out = dir_.path() + "/thumbs";
  const std::string sheet = dir_.path() + "/sheet.png";
  const Outcome run = RunCli(WithAppDir({"thumbs", Night(), "-r", "-o", out, "--sheet", sheet,
                                      "--size", "64", "--columns", "2"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("a_broken.fits: Format non supporté."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out + "/a_broken.fits.png"));
  for (const auto& [name, width, height] : {std::tuple{"b_m51.fits.png", 64, 48},
                                            {"c_short.fits.png", 64, 48},
                                            {"deep_stars.pic.png", 64, 48}}) {
    const RgbImage thumb = ReadPng(out + "/" + name);
    EXPECT_EQ(thumb.width, width) << name;
    EXPECT_EQ(thumb.height, height) << name;
  }
  const SheetSize size = SheetSizeFor(SheetLayout{2, 64}, 4);
  const RgbImage picture = ReadPng(sheet);
  EXPECT_EQ(picture.width, size.width);
  EXPECT_EQ(picture.height, size.height);
  EXPECT_FALSE(picture.indexed);

  // No output goes over a file being read.
  const std::string m51 = Night() + "/b_m51.fits";
  const Outcome over = RunCli(WithAppDir({"thumbs", Night(), "--sheet", m51}));
  EXPECT_EQ(over.status, 1);
  std::ifstream in(m51, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            m51_);
}

TEST(CommandLine, RefusesWhatCannotBeRun) {
  const std::string m51 = kSamples + "m51_tan16.fits";
  const std::vector<std::vector<std::string>> bad = {
      {"thumbs", kSamples},
      {"thumbs", kSamples, "-o", "x", "--size", "5"},
      {"survey", kSamples, "--keys", "OBJECT,TWO WORDS"},
      {"survey", kSamples, "--keys", "TOOLONGKEY"},
      {"survey", kSamples, "--format", "xml"},
      {"survey", kSamples, "-j", "0"},
      {"survey", kSamples, "--lut", "no-such-table"},
      {"render", m51},
      {"render", m51, "-o", "x.png", "--size", "0"},
      {"info"},
      {"frobnicate"},
  };
  for (const auto& args : bad) {
    const Outcome o = RunCli(WithAppDir(args));
    EXPECT_EQ(o.status, cli::kExitUsage) << args[0] << " " << o.err;
    EXPECT_EQ(o.out, "") << args[0];
  }
}

}  // namespace
}  // namespace kivrel
