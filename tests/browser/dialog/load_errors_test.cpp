// A run-time error after the reader has filled the planes (a filter threshold that is not a
// number, an unreadable colour table) ends the load as a failed load: the previous picture
// does not stay over planes that no control would act on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::BigEndian;
using test::FitsFile;
using test::ImageCards;
using test::TempFile;

struct LoadErrorCase {
  const char* name;
  const char* threshold;  // filter threshold edit
  const char* lut_text;   // contents of palettes/bad.lut, selected when not empty
  const char* message;
};

void PrintTo(const LoadErrorCase& c, std::ostream* os) {
  *os << c.name;
}

class LoadError : public ::testing::TestWithParam<LoadErrorCase> {};

TEST_P(LoadError, EndsAsAFailedLoadAndTheNextClickWorks) {
  const LoadErrorCase& c = GetParam();
  const auto dir =
      std::filesystem::temp_directory_path() / ("kivrel-load-error-" + std::string(c.name));
  std::filesystem::create_directories(dir / "palettes");
  std::ofstream(dir / "palettes" / "bad.lut") << c.lut_text;
  std::ofstream(dir / "palettes" / "ramp.lut") << "0.5 0.5 0.5\n";
  TempFile image("image.fits",
                 FitsFile(ImageCards(16, 4, 3), BigEndian(std::vector<int16_t>(12, 7))));

  BrowserOptions options;
  options.app_dir = dir.string();
  options.load_decoder = false;
  BrowserController dialog(options);
  dialog.ChooseFile(image.path());
  ASSERT_TRUE(dialog.load.ImageLoaded);

  dialog.filters.threshold_edit.text = c.threshold;
  dialog.filters.filter_list.index = 1;  // "LowPass 1", run by every load
  if (*c.lut_text != '\0') dialog.colours.colour_table.text = "bad";
  try {
    dialog.ChooseFile(image.path());
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), c.message);
  }
  EXPECT_FALSE(dialog.load.ImageLoaded);
  EXPECT_EQ(dialog.texts.status_line.caption, " ");
  EXPECT_TRUE(dialog.image.plane.Empty());
  EXPECT_EQ(dialog.preview_picture.width(), 1);

  dialog.filters.threshold_edit.text = "9E99";
  dialog.colours.colour_table.text = "ramp";
  dialog.ChooseFile(image.path());
  EXPECT_TRUE(dialog.load.ImageLoaded);
  EXPECT_EQ(dialog.preview_picture.width(), 4);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadError,
    ::testing::Values(
        LoadErrorCase{"FilterThreshold", "1,5", "", "'1,5' is not a valid floating point value"},
        LoadErrorCase{"ColourTable", "9E99", "0.1 0,2 0.3\n", "Invalid numeric input"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kivrel
