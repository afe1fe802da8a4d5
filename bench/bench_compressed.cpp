// ReadCompressedPlane against cfitsio's own fits_read_img of the same tile-compressed file.
//
//   KIVREL_BENCH_DIR=/tmp/benchimg ./kivrel_bench_compressed
//
// The image, rice16_4k.fits (4000 x 4000, BITPIX 16, RICE_1 in rows, a synthetic star field
// over a noisy sky), is written by this program with cfitsio when it is missing. cfitsio reads
// the whole image into a fresh buffer of its own type with scaling off; ReadCompressedPlane
// also scans the HDUs, checks the tile descriptors, turns the rows over and takes the
// statistics. Target: the median at most 1.2 x cfitsio's. The program ends with the ratio and
// exits with 1 when the target is missed.
#include <benchmark/benchmark.h>
#include <fitsio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "browser/readers/fits_compressed.h"
#include "browser/readers/fits_layout.h"

namespace {

constexpr long kSide = 4000;

std::string ImagePath() {
  const char* dir = std::getenv("KIVREL_BENCH_DIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp/benchimg") + "/rice16_4k.fits";
}

// A sky of 1000 +- 10 counts with 3000 Gaussian stars, Rice-compressed row by row.
bool WriteStarField(const std::string& path) {
  std::vector<float> sky(static_cast<std::size_t>(kSide * kSide));
  std::mt19937 random(1234);
  std::normal_distribution<float> noise(1000.0f, 10.0f);
  for (float& v : sky)
    v = noise(random);
  std::uniform_real_distribution<float> where(0.0f, static_cast<float>(kSide));
  std::exponential_distribution<float> flux(1.0f / 2000.0f);
  for (int s = 0; s < 3000; ++s) {
    const float cx = where(random);
    const float cy = where(random);
    const float peak = flux(random);
    for (long y = std::max(0L, long(cy) - 8); y < std::min(kSide, long(cy) + 9); ++y)
      for (long x = std::max(0L, long(cx) - 8); x < std::min(kSide, long(cx) + 9); ++x)
        sky[y * kSide + x] += peak * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / 4.5f);
  }
  std::vector<short> samples(sky.size());
  for (std::size_t i = 0; i < sky.size(); ++i)
    samples[i] = static_cast<short>(std::min(32767.0f, sky[i]));
  fitsfile* f = nullptr;
  int status = 0;
  fits_create_file(&f, ("!" + path).c_str(), &status);
  fits_set_compression_type(f, RICE_1, &status);
  long axes[2] = {kSide, kSide};
  fits_create_img(f, SHORT_IMG, 2, axes, &status);
  fits_write_img(f, TSHORT, 1, kSide * kSide, samples.data(), &status);
  fits_close_file(f, &status);
  return status == 0;
}

void BM_Kivrel(benchmark::State& state) {
  const std::string path = ImagePath();
  for (auto _ : state) {
    auto file = kivrel::FileByteSource::Open(path);
    const kivrel::FitsLayout layout = kivrel::ScanFitsLayout(*file);
    const int hdu = layout.FirstImageHdu();
    if (hdu < 0) std::abort();
    const kivrel::DecodedPlane plane = kivrel::ReadCompressedPlane(path, layout.hdus[hdu], 0);
    if (!plane.Ok()) std::abort();
    benchmark::DoNotOptimize(plane.stats.sigma);
  }
}

void BM_Cfitsio(benchmark::State& state) {
  const std::string path = ImagePath();
  for (auto _ : state) {
    fitsfile* f = nullptr;
    int status = 0;
    fits_open_diskfile(&f, path.c_str(), READONLY, &status);
    fits_movabs_hdu(f, 2, nullptr, &status);
    fits_set_bscale(f, 1.0, 0.0, &status);
    std::unique_ptr<short[]> buffer(new short[kSide * kSide]);
    int any = 0;
    fits_read_img(f, TSHORT, 1, kSide * kSide, nullptr, buffer.get(), &any, &status);
    fits_close_file(f, &status);
    if (status != 0) std::abort();
    benchmark::DoNotOptimize(buffer[0]);
  }
}

BENCHMARK(BM_Kivrel)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Cfitsio)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Keeps the medians of the runs for the verdict.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.aggregate_name == "median")
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string path = ImagePath();
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
  } else if (!WriteStarField(path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 2;
  }
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ours = reporter.medians["BM_Kivrel"];
  const double theirs = reporter.medians["BM_Cfitsio"];
  if (ours <= 0 || theirs <= 0) return 0;  // filtered out
  const double ratio = ours / theirs;
  std::printf(
      "rice16_4k: ReadCompressedPlane %.1f ms, cfitsio %.1f ms, ratio %.2f (target 1.2: %s)\n",
      ours, theirs, ratio, ratio <= 1.2 ? "met" : "missed");
  return ratio <= 1.2 ? 0 : 1;
}
