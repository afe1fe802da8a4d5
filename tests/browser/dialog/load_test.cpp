// Loading FITS files through the dialog: the reader choice by name or first bytes, the layer edit
// and its clamped value, the state after a success (the header's sky position in the status line),
// after a named failure and after a run-time error.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "fits_fixture.h"
#include "image_checks.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::BigEndian;
using test::Bytes;
using test::Card;
using test::FitsFile;
using test::ImageCards;
using test::TempFile;

std::unique_ptr<BrowserController> MakeDialog() {
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  return std::make_unique<BrowserController>(options);
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

// Neither the working plane nor its unfiltered copy holds samples.
::testing::AssertionResult NoPlaneLeft(const Image& image) {
  if (!image.plane.Empty()) return ::testing::AssertionFailure() << "the working plane is left";
  if (!image.unfiltered.Empty())
    return ::testing::AssertionFailure() << "the unfiltered plane is left";
  return ::testing::AssertionSuccess();
}

TEST(Load, LayerEditZeroLoadsTheFirstLayerAndShowsOne) {
  TempFile file("cube.fits", Cube(3));
  auto dialog = MakeDialog();
  ASSERT_EQ(dialog->file.layer_edit.text, "0");
  dialog->ChooseFile(file.path());
  const Image& s = dialog->image;
  ASSERT_TRUE(dialog->load.ImageLoaded) << dialog->texts.status_line.caption;
  EXPECT_EQ(s.CurrentLayer, 1);
  EXPECT_EQ(dialog->file.layer_edit.text, "1");
  EXPECT_EQ(dialog->file.layer_count.caption, "/3");
  EXPECT_EQ(s.height, 4);
  EXPECT_EQ(s.width, 5);
  EXPECT_EQ(test::PlaneOf<int16_t>(s).At(3, 0), 1000);
}

TEST(Load, LayerBeyondTheCubeLoadsTheLast) {
  TempFile file("cube.fts", Cube(3));
  auto dialog = MakeDialog();
  dialog->ChangeLayer("7");  // nothing loaded yet: only the text changes
  EXPECT_FALSE(dialog->load.ImageLoaded);
  dialog->ChooseFile(file.path());
  EXPECT_EQ(dialog->image.CurrentLayer, 3);
  EXPECT_EQ(dialog->file.layer_edit.text, "3");
  EXPECT_EQ(dialog->file.layer_count.caption, "/3");
  EXPECT_EQ(test::PlaneOf<int16_t>(dialog->image).At(3, 0), 3000);
}

TEST(Load, LayerEditReloadsTheShownFile) {
  TempFile file("cube.fit", Cube(3));
  auto dialog = MakeDialog();
  dialog->ChooseFile(file.path());
  dialog->ChangeLayer("2");
  EXPECT_EQ(dialog->image.CurrentLayer, 2);
  EXPECT_EQ(test::PlaneOf<int16_t>(dialog->image).At(3, 0), 2000);
  EXPECT_EQ(dialog->image.stats.DataMin, 2000);
  dialog->ChangeLayer("x");  // not an integer: layer 0, read as layer 1
  EXPECT_EQ(dialog->image.CurrentLayer, 1);
  EXPECT_EQ(dialog->file.layer_edit.text, "1");
  EXPECT_EQ(test::PlaneOf<int16_t>(dialog->image).At(3, 0), 1000);
}

TEST(Load, CubeWithoutLayersShowsSlashZero) {
  TempFile file("flat.fits", Cube(0, {}));
  // NAXIS3 = 0 promises no samples; the file has none: layer 1 is read as zeros.
  auto dialog = MakeDialog();
  dialog->ChooseFile(file.path());
  ASSERT_TRUE(dialog->load.ImageLoaded);
  EXPECT_EQ(dialog->file.layer_count.caption, "/0");
  EXPECT_EQ(dialog->file.layer_edit.text, "1");
}

TEST(Load, SuccessSetsTheWholeZoomWindowAndTheUnfilteredCopy) {
  TempFile file("cube.fits", Cube(2));
  auto dialog = MakeDialog();
  dialog->view.zoom.ZoomX1 = 3;
  dialog->view.previous_zoom.ZoomY2 = 77;
  dialog->ChooseFile(file.path());
  const ZoomWindow& zoom = dialog->view.zoom;
  const ZoomWindow& previous = dialog->view.previous_zoom;
  EXPECT_EQ(zoom.ZoomX1, 0);
  EXPECT_EQ(zoom.ZoomX2, 5);
  EXPECT_EQ(zoom.ZoomWidth(), 5);
  EXPECT_EQ(zoom.ZoomY1, 0);
  EXPECT_EQ(zoom.ZoomY2, 4);
  EXPECT_EQ(zoom.ZoomHeight(), 4);
  EXPECT_EQ(previous.ZoomX1, 0);
  EXPECT_EQ(previous.ZoomX2, 5);
  EXPECT_EQ(previous.ZoomY1, 0);
  EXPECT_EQ(previous.ZoomY2, 4);
  const Image& s = dialog->image;
  const Plane<int16_t>& unfiltered = test::PlaneOf<int16_t>(s.unfiltered);
  ASSERT_EQ(unfiltered.rows(), 4);
  ASSERT_EQ(unfiltered.cols(), 5);
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 5; ++c)
      EXPECT_EQ(unfiltered.At(r, c), test::PlaneOf<int16_t>(s).At(r, c));
  // Only the plane of the file's sample type is held.
  EXPECT_EQ(s.plane.Get<uint8_t>(), nullptr);
  EXPECT_EQ(s.plane.Get<double>(), nullptr);
}

TEST(Load, FlipsAreReleasedThenPressedByTheHeader) {
  TempFile plain("plain.fits", Cube(1));
  TempFile mirrored("mirrored.fits", Cube(1, {Card("CDELT1", "0.001"), Card("CDELT2", "-1")}));
  auto dialog = MakeDialog();
  dialog->view.FlipX = true;
  dialog->view_controls.flip_x.pressed = true;
  dialog->ChooseFile(plain.path());
  EXPECT_FALSE(dialog->view.FlipX);
  EXPECT_FALSE(dialog->view_controls.flip_x.pressed);
  dialog->ChooseFile(mirrored.path());
  EXPECT_TRUE(dialog->view.FlipX);
  EXPECT_TRUE(dialog->view.FlipY);
  EXPECT_TRUE(dialog->view_controls.flip_x.pressed);
  EXPECT_TRUE(dialog->view_controls.flip_y.pressed);
}

// The example through a real header: 300 x 200, CDELT1 -0.001, CDELT2 0.001, EQUINOX 2000.
// The field's centre, FITS pixel ((300 + 1) / 2, (200 + 1) / 2), is the reference pixel. The
// status line is the file line followed by the sky text.
TEST(Load, SkyPositionOfTheHeaderInTheStatusLine) {
  const std::vector<int16_t> samples(300 * 200, 5);
  TempFile file("wcs.fits",
                FitsFile(ImageCards(16, 300, 200,
                                    {Card("CTYPE1", "'RA---TAN'"), Card("CTYPE2", "'DEC--TAN'"),
                                     Card("CRPIX1", "150.5"), Card("CRPIX2", "100.5"),
                                     Card("CRVAL1", "83.8221"), Card("CRVAL2", "-5.3911"),
                                     Card("CDELT1", "-0.001"), Card("CDELT2", "0.001"),
                                     Card("EQUINOX", "2000")}),
                         BigEndian(samples)));
  auto dialog = MakeDialog();
  dialog->ChooseFile(file.path());
  ASSERT_TRUE(dialog->load.ImageLoaded);
  EXPECT_FALSE(dialog->view.FlipX);
  EXPECT_FALSE(dialog->view.FlipY);
  // 83.8221 / 15 = 5.588140 h = 5 h 35 min 17.3 s; -5.3911 = -5 deg 23 min 28 s.
  EXPECT_EQ(dialog->texts.status_line.caption,
            "wcs.fits  300x200  16 bits T ar:  5h35m17.3s de:-05°23'28\" l:+00°18'00\"");
}

// A dialog that draws no preview still gives the statistics, the thresholds and the status
// line, sky text included, of one that does; only the picture stays as it was.
TEST(Load, WithoutThePreviewTheFiguresAreTheSame) {
  std::vector<int16_t> samples(30 * 20);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>((i * 37) % 1001);
  TempFile file("wcs.fits",
                FitsFile(ImageCards(16, 30, 20,
                                    {Card("CTYPE1", "'RA---TAN'"), Card("CTYPE2", "'DEC--TAN'"),
                                     Card("CRPIX1", "15.5"), Card("CRPIX2", "10.5"),
                                     Card("CRVAL1", "83.8221"), Card("CRVAL2", "-5.3911"),
                                     Card("CDELT1", "-0.001"), Card("CDELT2", "0.001")}),
                         BigEndian(samples)));
  auto drawn = MakeDialog();
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  options.draw_preview = false;
  BrowserController figures_only(options);
  drawn->ChooseFile(file.path());
  figures_only.ChooseFile(file.path());
  ASSERT_TRUE(figures_only.load.ImageLoaded);
  EXPECT_EQ(figures_only.texts.status_line.caption, drawn->texts.status_line.caption);
  EXPECT_EQ(figures_only.image.stats.DataMean, drawn->image.stats.DataMean);
  EXPECT_EQ(figures_only.image.stats.DataSigma, drawn->image.stats.DataSigma);
  EXPECT_EQ(figures_only.view.DisplayMin, drawn->view.DisplayMin);
  EXPECT_EQ(figures_only.view.DisplayMax, drawn->view.DisplayMax);
  EXPECT_EQ(drawn->preview_picture.width(), 30);
  EXPECT_EQ(figures_only.preview_picture.width(), 1);
}

struct ChoiceRow {
  const char* name;
  const char* file_name;
  bool fits;               // read as FITS
  bool fits_bytes = true;  // the file holds a FITS image (else a line of text)
};

void PrintTo(const ChoiceRow& row, std::ostream* os) {
  *os << row.file_name;
}

class LoadReaderChoice : public ::testing::TestWithParam<ChoiceRow> {};

// The FITS reader reads files of a FITS name (.fz, and the gzip names of FITS files, included),
// and files of no known extension that start as FITS files do ("SIMPLE  =").
TEST_P(LoadReaderChoice, FollowsTheNameOrTheFirstBytes) {
  const std::string text = "SIMPLE = T is not how this line starts\n";
  TempFile file(GetParam().file_name,
                GetParam().fits_bytes ? Cube(1) : Bytes(text.begin(), text.end()));
  auto dialog = MakeDialog();
  dialog->ChooseFile(file.path());
  EXPECT_EQ(dialog->load.ImageLoaded, GetParam().fits);
  if (!GetParam().fits) {
    EXPECT_EQ(dialog->texts.status_line.caption, "Format non supporté.");
    EXPECT_TRUE(NoPlaneLeft(dialog->image));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, LoadReaderChoice,
    ::testing::Values(ChoiceRow{"Fit", "a.fit", true}, ChoiceRow{"Fts", "a.fts", true},
                      ChoiceRow{"Fits", "a.fits", true}, ChoiceRow{"UpperCase", "A.FTS", true},
                      ChoiceRow{"LastDotCounts", "a.txt.fits", true},
                      // ".f" and ".fi" occur inside ".fit .fts .fits".
                      ChoiceRow{"ShortPrefix", "a.f", true}, ChoiceRow{"Fi", "a.fi", true},
                      ChoiceRow{"Fz", "a.fz", true}, ChoiceRow{"FitsGz", "a.fits.gz", true},
                      ChoiceRow{"FitGz", "A.FIT.GZ", true}, ChoiceRow{"FtsGz", "a.fts.gz", true},
                      ChoiceRow{"ImfitsStartingAsFits", "a.imfits", true},
                      ChoiceRow{"TxtStartingAsFits", "a.txt", true},
                      ChoiceRow{"NoExtensionStartingAsFits", "fits", true},
                      ChoiceRow{"Txt", "a.txt", false, false},
                      ChoiceRow{"GzOfNoFitsName", "a.gz", false, false},
                      ChoiceRow{"NoExtension", "fits", false, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Load, NothingSelectedIsUnsupported) {
  auto dialog = MakeDialog();
  dialog->ChooseFile("");
  EXPECT_FALSE(dialog->load.ImageLoaded);
  EXPECT_EQ(dialog->texts.status_line.caption, "Format non supporté.");
}

// Every handler the user can reach after a failed load; none may read the 1 x 1 planes with
// the previous image's window.
void PokeEverything(BrowserController& d) {
  ShiftState left;
  left.left = true;
  d.PreviewMouseMove(ShiftState{}, 10, 10);
  d.PreviewMouseDown(MouseButton::kLeft, left, 5, 5);
  d.PreviewMouseMove(left, 200, 150);
  d.ZoomToWholeImage();
  d.RestorePreviousZoom();
  d.ToggleFlipY();
  d.ToggleFlipX();
  d.OrientAsOnSky();
  for (int32_t item = 0; item < 5; ++item)
    d.ChooseLevelMode(item);
  d.MoveMinBar(10);
  d.MoveMaxBar(90);
  d.RedrawTimerElapsed();
  d.ThresholdEditKeyPress('\r');
  d.ApplyFilter();
  d.RestoreUnfiltered();
}

TEST(Load, NamedFailureAfterASuccessEmptiesTheDialog) {
  TempFile good("good.fits", Cube(1));
  TempFile bad("bad.fits", FitsFile(ImageCards(12, 3, 3)));
  auto dialog = MakeDialog();
  dialog->ChooseFile(good.path());
  ASSERT_TRUE(dialog->load.ImageLoaded);
  dialog->ChooseFile(bad.path());
  EXPECT_FALSE(dialog->load.ImageLoaded);
  EXPECT_EQ(dialog->texts.status_line.caption, "Format non supporté.Mot clé \"BITPIX = 12\" ?");
  EXPECT_EQ(dialog->texts.readout.caption, " ");
  EXPECT_EQ(dialog->load.LoadErrorText, "Mot clé \"BITPIX = 12\" ?");
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
  PokeEverything(*dialog);
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
}

TEST(Load, HostileSizeFailsWithItsReason) {
  TempFile file("neg.fits", FitsFile(ImageCards(16, -7, 3)));
  auto dialog = MakeDialog();
  dialog->ChooseFile(file.path());
  EXPECT_FALSE(dialog->load.ImageLoaded);
  const std::string& label = dialog->texts.status_line.caption;
  EXPECT_EQ(label.rfind("Format non supporté.Mot clé", 0), 0u) << label;
  EXPECT_NE(label.find("NAXIS1"), std::string::npos) << label;
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
}

struct ErrorRow {
  const char* name;
  Bytes file;
  std::string message;
};

void PrintTo(const ErrorRow& row, std::ostream* os) {
  *os << row.name;
}

class LoadRunTimeError : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(LoadRunTimeError, EndsAsAFailedLoadAndPassesTheTextOn) {
  TempFile good("good.fits", Cube(2));
  TempFile bad("bad.fits", GetParam().file);
  auto dialog = MakeDialog();
  dialog->ChooseFile(good.path());
  ASSERT_TRUE(dialog->load.ImageLoaded);
  try {
    dialog->ChooseFile(bad.path());
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
  EXPECT_FALSE(dialog->load.ImageLoaded);
  EXPECT_EQ(dialog->image.height, 0);
  EXPECT_EQ(dialog->texts.readout.caption, " ");
  EXPECT_EQ(dialog->texts.status_line.caption, " ");
  EXPECT_EQ(dialog->sky.ProjCode, '-');
  EXPECT_EQ(dialog->sky.FieldWidth, 0);
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
  PokeEverything(*dialog);
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LoadRunTimeError,
    ::testing::Values(ErrorRow{"FortranExponent",
                               FitsFile(ImageCards(16, 3, 3, {Card("BSCALE", "1.0D+00")})),
                               "'1.0D+00' is not a valid floating point value"},
                      ErrorRow{"IntegerAsFloat",
                               FitsFile(ImageCards(16, 3, 3, {Card("NAXIS3", "16.0")})),
                               "'16.0' is not a valid integer value"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Load, MissingFileRaisesCannotOpenAndEmptiesTheDialog) {
  TempFile good("good.fits", Cube(1));
  auto dialog = MakeDialog();
  dialog->ChooseFile(good.path());
  const std::string missing = good.path() + ".gone.fits";
  try {
    dialog->ChooseFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
  }
  EXPECT_FALSE(dialog->load.ImageLoaded);
  EXPECT_TRUE(NoPlaneLeft(dialog->image));
  PokeEverything(*dialog);
}

TEST(Load, LoadAfterAFailureWorksAgain) {
  TempFile good("good.fits", Cube(2));
  TempFile bad("bad.fits", FitsFile(ImageCards(16, 3, 3, {Card("BZERO", "x")})));
  auto dialog = MakeDialog();
  EXPECT_THROW(dialog->ChooseFile(bad.path()), RunTimeError);
  dialog->ChooseFile(good.path());
  EXPECT_TRUE(dialog->load.ImageLoaded);
  EXPECT_EQ(test::PlaneOf<int16_t>(dialog->image).At(3, 0), 1000);
}

}  // namespace
}  // namespace kivrel
