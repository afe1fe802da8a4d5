// The load dispatcher with FITS files: the reader choice by extension, the layer edit and its
// clamped value, the state after a success, after a named failure and after a run-time error.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_logic.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::BigEndian;
using test::Bytes;
using test::Card;
using test::FitsFile;
using test::ImageCards;
using test::TempFile;

std::unique_ptr<BrowserLogic> MakeDialog() {
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  return std::make_unique<BrowserLogic>(options);
}

// A 16-bit cube of 5 x 4 samples per layer; layer k holds 1000 k + the index in the layer.
Bytes Cube(int layers, std::vector<std::string> extra = {}) {
  std::vector<int16_t> samples;
  for (int k = 1; k <= layers; ++k)
    for (int i = 0; i < 20; ++i)
      samples.push_back(static_cast<int16_t>(1000 * k + i));
  std::vector<std::string> cards = {Card("SIMPLE", "T"), Card("BITPIX", "16"),
                                    Card("NAXIS", "3"),  Card("NAXIS1", "5"),
                                    Card("NAXIS2", "4"), Card("NAXIS3", std::to_string(layers))};
  cards.insert(cards.end(), extra.begin(), extra.end());
  cards.push_back("END");
  return FitsFile(cards, BigEndian(samples));
}

::testing::AssertionResult EveryPlaneIsOneByOne(const ImageStore& s) {
  const int32_t sizes[][2] = {
      {s.Imai8.rows(), s.Imai8.cols()},           {s.Imai16.rows(), s.Imai16.cols()},
      {s.Imai32.rows(), s.Imai32.cols()},         {s.Imar32.rows(), s.Imar32.cols()},
      {s.Imar64.rows(), s.Imar64.cols()},         {s.OrigImai8.rows(), s.OrigImai8.cols()},
      {s.OrigImai16.rows(), s.OrigImai16.cols()}, {s.OrigImai32.rows(), s.OrigImai32.cols()},
      {s.OrigImar32.rows(), s.OrigImar32.cols()}, {s.OrigImar64.rows(), s.OrigImar64.cols()}};
  for (int i = 0; i < 10; ++i) {
    if (sizes[i][0] != 1 || sizes[i][1] != 1)
      return ::testing::AssertionFailure()
             << "plane " << i << " is " << sizes[i][0] << " x " << sizes[i][1];
  }
  return ::testing::AssertionSuccess();
}

TEST(LoadDispatcher, LayerEditZeroLoadsTheFirstLayerAndShowsOne) {
  TempFile file("cube.fits", Cube(3));
  auto dialog = MakeDialog();
  ASSERT_EQ(dialog->Edit4.Text, "0");
  dialog->FileListBox1Click(file.path());
  const ImageStore& s = dialog->Store;
  ASSERT_TRUE(s.ImageLoaded) << dialog->Label2.Caption;
  EXPECT_EQ(s.CurrentLayer, 1);
  EXPECT_EQ(dialog->Edit4.Text, "1");
  EXPECT_EQ(dialog->Label10.Caption, "/3");
  EXPECT_EQ(s.ImaHeight, 4);
  EXPECT_EQ(s.ImaWidth, 5);
  EXPECT_EQ(s.Imai16.At(3, 0), 1000);
}

TEST(LoadDispatcher, LayerBeyondTheCubeLoadsTheLast) {
  TempFile file("cube.fts", Cube(3));
  auto dialog = MakeDialog();
  dialog->Edit4Change("7");  // nothing loaded yet: only the text changes
  EXPECT_FALSE(dialog->Store.ImageLoaded);
  dialog->FileListBox1Click(file.path());
  EXPECT_EQ(dialog->Store.CurrentLayer, 3);
  EXPECT_EQ(dialog->Edit4.Text, "3");
  EXPECT_EQ(dialog->Label10.Caption, "/3");
  EXPECT_EQ(dialog->Store.Imai16.At(3, 0), 3000);
}

TEST(LoadDispatcher, LayerEditReloadsTheShownFile) {
  TempFile file("cube.fit", Cube(3));
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(file.path());
  dialog->Edit4Change("2");
  EXPECT_EQ(dialog->Store.CurrentLayer, 2);
  EXPECT_EQ(dialog->Store.Imai16.At(3, 0), 2000);
  EXPECT_EQ(dialog->Store.DataMin, 2000);
  dialog->Edit4Change("x");  // not an integer: layer 0, read as layer 1
  EXPECT_EQ(dialog->Store.CurrentLayer, 1);
  EXPECT_EQ(dialog->Edit4.Text, "1");
  EXPECT_EQ(dialog->Store.Imai16.At(3, 0), 1000);
}

TEST(LoadDispatcher, CubeWithoutLayersShowsSlashZero) {
  TempFile file("flat.fits", Cube(0, {}));
  // NAXIS3 = 0 promises no samples; the file has none: layer 1 is read as zeros.
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(file.path());
  ASSERT_TRUE(dialog->Store.ImageLoaded);
  EXPECT_EQ(dialog->Label10.Caption, "/0");
  EXPECT_EQ(dialog->Edit4.Text, "1");
}

TEST(LoadDispatcher, SuccessSetsTheWholeZoomWindowAndTheUnfilteredCopy) {
  TempFile file("cube.fits", Cube(2));
  auto dialog = MakeDialog();
  dialog->Store.ZoomX1 = 3;
  dialog->Store.PrevZoomY2 = 77;
  dialog->FileListBox1Click(file.path());
  const ImageStore& s = dialog->Store;
  EXPECT_EQ(s.ZoomX1, 0);
  EXPECT_EQ(s.ZoomX2, 5);
  EXPECT_EQ(s.ZoomWidth, 5);
  EXPECT_EQ(s.ZoomY1, 0);
  EXPECT_EQ(s.ZoomY2, 4);
  EXPECT_EQ(s.ZoomHeight, 4);
  EXPECT_EQ(s.PrevZoomX1, 0);
  EXPECT_EQ(s.PrevZoomX2, 5);
  EXPECT_EQ(s.PrevZoomY1, 0);
  EXPECT_EQ(s.PrevZoomY2, 4);
  ASSERT_EQ(s.OrigImai16.rows(), 4);
  ASSERT_EQ(s.OrigImai16.cols(), 5);
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 5; ++c)
      EXPECT_EQ(s.OrigImai16.At(r, c), s.Imai16.At(r, c));
  EXPECT_EQ(s.Imai8.rows(), 1);
  EXPECT_EQ(s.Imar64.rows(), 1);
}

TEST(LoadDispatcher, FlipsAreReleasedThenPressedByTheHeader) {
  TempFile plain("plain.fits", Cube(1));
  TempFile mirrored("mirrored.fits", Cube(1, {Card("CDELT1", "0.001"), Card("CDELT2", "-1")}));
  auto dialog = MakeDialog();
  dialog->Store.FlipX = true;
  dialog->SpeedButton3.Down = true;
  dialog->FileListBox1Click(plain.path());
  EXPECT_FALSE(dialog->Store.FlipX);
  EXPECT_FALSE(dialog->SpeedButton3.Down);
  dialog->FileListBox1Click(mirrored.path());
  EXPECT_TRUE(dialog->Store.FlipX);
  EXPECT_TRUE(dialog->Store.FlipY);
  EXPECT_TRUE(dialog->SpeedButton3.Down);
  EXPECT_TRUE(dialog->SpeedButton2.Down);
}

struct ChoiceRow {
  const char* name;
  const char* file_name;
  bool fits;
};

void PrintTo(const ChoiceRow& row, std::ostream* os) {
  *os << row.file_name;
}

class LoadDispatcherChoice : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(LoadDispatcherChoice, FollowsTheExtension) {
  TempFile file(GetParam().file_name, Cube(1));
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(file.path());
  EXPECT_EQ(dialog->Store.ImageLoaded, GetParam().fits);
  if (!GetParam().fits) {
    EXPECT_EQ(dialog->Label2.Caption, "Format non supporté.");
    EXPECT_TRUE(EveryPlaneIsOneByOne(dialog->Store));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, LoadDispatcherChoice,
    ::testing::Values(ChoiceRow{"Fit", "a.fit", true}, ChoiceRow{"Fts", "a.fts", true},
                      ChoiceRow{"Fits", "a.fits", true}, ChoiceRow{"UpperCase", "A.FTS", true},
                      ChoiceRow{"LastDotCounts", "a.txt.fits", true},
                      // ".f" and ".fi" occur inside ".fit .fts .fits".
                      ChoiceRow{"ShortPrefix", "a.f", true}, ChoiceRow{"Fi", "a.fi", true},
                      ChoiceRow{"Imfits", "a.imfits", false}, ChoiceRow{"Txt", "a.txt", false},
                      ChoiceRow{"NoExtension", "fits", false},
                      ChoiceRow{"FitsGz", "a.fits.gz", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LoadDispatcher, NothingSelectedIsUnsupported) {
  auto dialog = MakeDialog();
  dialog->FileListBox1Click("");
  EXPECT_FALSE(dialog->Store.ImageLoaded);
  EXPECT_EQ(dialog->Label2.Caption, "Format non supporté.");
}

// Every handler the user can reach after a failed load; none may read the 1 x 1 planes with
// the previous image's window.
void PokeEverything(BrowserLogic& d) {
  ShiftState left;
  left.Left = true;
  d.Image1MouseMove(ShiftState{}, 10, 10);
  d.Image1MouseDown(MouseButton::Left, left, 5, 5);
  d.Image1MouseMove(left, 200, 150);
  d.SpeedButton4Click();
  d.SpeedButton5Click();
  d.SpeedButton2Click();
  d.SpeedButton3Click();
  d.SpeedButton6Click();
  for (int32_t item = 0; item < 5; ++item)
    d.RadioGroup2Click(item);
  d.SetScrollBar1Position(10);
  d.SetScrollBar2Position(90);
  d.Timer1Timer();
  d.Edit1KeyPress('\r');
  d.SpeedButton7Click();
  d.SpeedButton8Click();
}

TEST(LoadDispatcher, NamedFailureAfterASuccessEmptiesTheDialog) {
  TempFile good("good.fits", Cube(1));
  TempFile bad("bad.fits", FitsFile(ImageCards(64, 3, 3)));
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(good.path());
  ASSERT_TRUE(dialog->Store.ImageLoaded);
  dialog->FileListBox1Click(bad.path());
  const ImageStore& s = dialog->Store;
  EXPECT_FALSE(s.ImageLoaded);
  EXPECT_EQ(dialog->Label2.Caption, "Format non supporté.Mot clé \"BITPIX = 64\" ?");
  EXPECT_EQ(dialog->Label1.Caption, " ");
  EXPECT_EQ(s.LoadErrorText, "Mot clé \"BITPIX = 64\" ?");
  EXPECT_TRUE(EveryPlaneIsOneByOne(s));
  PokeEverything(*dialog);
  EXPECT_TRUE(EveryPlaneIsOneByOne(s));
}

TEST(LoadDispatcher, HostileSizeFailsWithItsReason) {
  TempFile file("neg.fits", FitsFile(ImageCards(16, -7, 3)));
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(file.path());
  EXPECT_FALSE(dialog->Store.ImageLoaded);
  const std::string& label = dialog->Label2.Caption;
  EXPECT_EQ(label.rfind("Format non supporté.Mot clé", 0), 0u) << label;
  EXPECT_NE(label.find("NAXIS1"), std::string::npos) << label;
  EXPECT_TRUE(EveryPlaneIsOneByOne(dialog->Store));
}

struct ErrorRow {
  const char* name;
  Bytes file;
  std::string message;
};

void PrintTo(const ErrorRow& row, std::ostream* os) {
  *os << row.name;
}

class LoadDispatcherError : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(LoadDispatcherError, EndsAsAFailedLoadAndPassesTheTextOn) {
  TempFile good("good.fits", Cube(2));
  TempFile bad("bad.fits", GetParam().file);
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(good.path());
  ASSERT_TRUE(dialog->Store.ImageLoaded);
  try {
    dialog->FileListBox1Click(bad.path());
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
  const ImageStore& s = dialog->Store;
  EXPECT_FALSE(s.ImageLoaded);
  EXPECT_EQ(s.ImaHeight, 0);
  EXPECT_EQ(dialog->Label1.Caption, " ");
  EXPECT_EQ(dialog->Label2.Caption, " ");
  EXPECT_EQ(s.ProjCode, '-');
  EXPECT_EQ(s.FieldWidth, 0);
  EXPECT_TRUE(EveryPlaneIsOneByOne(s));
  PokeEverything(*dialog);
  EXPECT_TRUE(EveryPlaneIsOneByOne(s));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LoadDispatcherError,
    ::testing::Values(ErrorRow{"FortranExponent",
                               FitsFile(ImageCards(16, 3, 3, {Card("BSCALE", "1.0D+00")})),
                               "'1.0D+00' is not a valid floating point value"},
                      ErrorRow{"IntegerAsFloat",
                               FitsFile(ImageCards(16, 3, 3, {Card("NAXIS3", "16.0")})),
                               "'16.0' is not a valid integer value"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LoadDispatcher, MissingFileRaisesCannotOpenAndEmptiesTheDialog) {
  TempFile good("good.fits", Cube(1));
  auto dialog = MakeDialog();
  dialog->FileListBox1Click(good.path());
  const std::string missing = good.path() + ".gone.fits";
  try {
    dialog->FileListBox1Click(missing);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
  }
  EXPECT_FALSE(dialog->Store.ImageLoaded);
  EXPECT_TRUE(EveryPlaneIsOneByOne(dialog->Store));
  PokeEverything(*dialog);
}

TEST(LoadDispatcher, LoadAfterAFailureWorksAgain) {
  TempFile good("good.fits", Cube(2));
  TempFile bad("bad.fits", FitsFile(ImageCards(16, 3, 3, {Card("BZERO", "x")})));
  auto dialog = MakeDialog();
  EXPECT_THROW(dialog->FileListBox1Click(bad.path()), RunTimeError);
  dialog->FileListBox1Click(good.path());
  EXPECT_TRUE(dialog->Store.ImageLoaded);
  EXPECT_EQ(dialog->Store.Imai16.At(3, 0), 1000);
}

}  // namespace
}  // namespace kivrel
