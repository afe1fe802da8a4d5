// The loader against damaged files: the committed samples mutated a few hundred times with a
// fixed seed (bit flips, truncation, header cards given huge, negative, zero or non-numeric
// values) and clicked one after the other in one dialog, which must end each load as a shown
// image whose planes and preview agree, or as a named failure, or with a run-time error's text;
// never a crash, a hang (each load has a generous time limit) or a plane past the store's cap.
// Also: a load whose memory is refused, at each of its allocations in turn, leaves a
// consistent dialog that loads the next file normally.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "browser/base/large_buffer.h"
#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::TempFile;

std::unique_ptr<BrowserController> MakeDialog() {
  return test::NewDialog(KIVREL_SOURCE_DIR);
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What a load may end as: the image shown with planes, zoom window and preview that agree; a
// failure the status line names; or a run-time error's text.
::testing::AssertionResult EndedCleanly(const BrowserController& d, const std::string& error) {
  if (!error.empty()) return ::testing::AssertionSuccess();
  if (!d.load.ImageLoaded) {
    const std::string& status = d.texts.status_line.caption;
    if (status.rfind("Format non supporté.", 0) == 0 ||
        status.find(d.messages.out_of_memory) != std::string::npos)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "failed load without a reason: '" << status << "'";
  }
  if (d.load.BitmapShown) return ::testing::AssertionSuccess();
  const Image& image = d.image;
  if (image.height < 1 || image.width < 1 || image.height > kMaxPlaneSize ||
      image.width > kMaxPlaneSize)
    return ::testing::AssertionFailure() << "plane " << image.width << " x " << image.height;
  bool planes_agree = false;
  image.plane.Visit([&](const auto& plane) {
    planes_agree = plane.rows() == image.height && plane.cols() == image.width;
  });
  const ZoomWindow& z = d.view.zoom;
  if (!planes_agree || z.ZoomWidth() != image.width || z.ZoomHeight() != image.height ||
      d.preview_picture.width() != image.width || d.preview_picture.height() != image.height)
    return ::testing::AssertionFailure() << "plane, zoom window and preview disagree";
  if (!(image.stats.DataMin <= image.stats.DataMax))
    return ::testing::AssertionFailure() << "minimum above maximum";
  return ::testing::AssertionSuccess();
}

// A header card's value replaced in place (the card keeps its 80 columns).
void EditCard(std::string& file, const std::string& keyword, const std::string& value) {
  for (std::size_t at = 0; at + 80 <= file.size() && at < 2880 * 4; at += 80) {
    if (file.compare(at, 8, (keyword + "        ").substr(0, 8)) != 0) continue;
    std::string card = (keyword + "        ").substr(0, 8) + "= " + value;
    card.resize(80, ' ');
    file.replace(at, 80, card);
    return;
  }
}

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random_(seed) {}

  std::string Mutate(std::string file, bool fits) {
    switch (Pick(fits ? 4 : 3)) {
      case 0: {  // bit flips, most of them in the header
        const int flips = 1 + Pick(8);
        for (int i = 0; i < flips && !file.empty(); ++i) {
          const std::size_t span = Pick(2) == 0 ? std::min<std::size_t>(file.size(), 2880) : file.size();
          file[Pick(span)] ^= static_cast<char>(1 << Pick(8));
        }
        return file;
      }
      case 1:  // truncation anywhere
        file.resize(Pick(file.size() + 1));
        return file;
      case 2: {  // bytes of the header set to extremes (PIC's binary fields, FITS's text)
        static const char kBytes[] = {'\0', '\x7f', '\x80', '\xff', '9', '-'};
        const int count = 1 + Pick(6);
        for (int i = 0; i < count && !file.empty(); ++i)
          file[Pick(std::min<std::size_t>(file.size(), 512))] = kBytes[Pick(sizeof kBytes)];
        return file;
      }
      default: {  // a FITS card with a value it should not have
        static const char* kKeys[] = {"NAXIS", "NAXIS1", "NAXIS2", "NAXIS3", "BITPIX", "BZERO",
                                      "BSCALE", "BLANK", "CRPIX1", "CDELT1", "CTYPE1", "DATAMAX"};
        static const char* kValues[] = {"999999999999", "-5", "0", "2147483648", "1e308", "'text'",
                                        "NaN", "", "64", "-64", "7", "3.5", "T", "40000",
                                        "-2147483649", "0.5"};
        const int edits = 1 + Pick(3);
        for (int i = 0; i < edits; ++i)
          EditCard(file, kKeys[Pick(std::size(kKeys))], kValues[Pick(std::size(kValues))]);
        return file;
      }
    }
  }

 private:
  std::size_t Pick(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  std::mt19937 random_;
};

TEST(MutatedSamples, EndAsAnImageOrANamedFailure) {
  std::vector<std::filesystem::path> samples;
  for (const auto& entry : std::filesystem::directory_iterator(KIVREL_SOURCE_DIR "/samples")) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".fits" || ext == ".pic") samples.push_back(entry.path());
  }
  std::sort(samples.begin(), samples.end());
  ASSERT_GE(samples.size(), 5u);
  constexpr int kPerSample = 40;
  // A hang guard, far above any load of these files even under the sanitizers.
  constexpr auto kLimit = std::chrono::seconds(20);

  Mutator mutator(20261208);
  auto dialog = MakeDialog();
  int shown = 0;
  int failed = 0;
  for (const auto& sample : samples) {
    const std::string original = ReadWhole(sample);
    const bool fits = sample.extension() == ".fits";
    for (int k = 0; k < kPerSample; ++k) {
      const std::string bytes = mutator.Mutate(original, fits);
      TempFile file(sample.filename().string(), test::Bytes(bytes.begin(), bytes.end()));
      std::string error;
      const auto start = std::chrono::steady_clock::now();
      try {
        dialog->ChooseFile(file.path());
        // The pointer over the preview, as the next thing the user does.
        dialog->PreviewMouseMove(ShiftState{}, 10, 10);
      } catch (const RunTimeError& e) {
        error = e.what();
        EXPECT_FALSE(error.empty());
      }
      const auto elapsed = std::chrono::steady_clock::now() - start;
      const std::string name = sample.filename().string() + " mutation " + std::to_string(k);
      EXPECT_LT(elapsed, kLimit) << name;
      EXPECT_TRUE(EndedCleanly(*dialog, error)) << name;
      (dialog->load.ImageLoaded ? shown : failed)++;
    }
  }
  // The mutations reach both outcomes.
  EXPECT_GT(shown, 0);
  EXPECT_GT(failed, 0);
}

TEST(RefusedMemory, LeavesAConsistentDialogAtEachAllocation) {
  const std::string m51 = KIVREL_SOURCE_DIR "/samples/m51_tan16.fits";
  const std::string cube = KIVREL_SOURCE_DIR "/samples/cube3.fits";
  auto dialog = MakeDialog();
  dialog->ChooseFile(cube);
  ASSERT_TRUE(dialog->load.ImageLoaded);
  for (int fail_at = 1;; ++fail_at) {
    int allocations = 0;
    {
      ScopedAllocationFailure refuse(fail_at);
      dialog->ChooseFile(m51);
      allocations = refuse.allocations();
      SCOPED_TRACE("allocation " + std::to_string(fail_at));
      EXPECT_TRUE(EndedCleanly(*dialog, ""));
      if (!dialog->load.ImageLoaded) {
        EXPECT_EQ(dialog->texts.status_line.caption, "m51_tan16.fits  Mémoire insuffisante.");
        EXPECT_FALSE(dialog->file.save.enabled);
        EXPECT_FALSE(dialog->view_controls.real_size.enabled);
      }
      dialog->PreviewMouseMove(ShiftState{}, 20, 20);
      dialog->ToggleFlipX();
    }
    // Memory is back: the next click shows the file.
    dialog->ChooseFile(cube);
    ASSERT_TRUE(dialog->load.ImageLoaded);
    EXPECT_TRUE(EndedCleanly(*dialog, ""));
    if (allocations < fail_at) break;  // this load no longer reached a refused allocation
    ASSERT_LT(fail_at, 50);
  }
}

}  // namespace
}  // namespace kivrel
