// Speed of the redraw and of a click on a big file, next to a plain per-sample render.
//
//   RefreshDisplay/16      whole 4000 x 4000 BITPIX 16 window (BZERO 32768): target < 40 ms
//   RefreshDisplay/-32     whole 4000 x 4000 BITPIX -32 window: target < 120 ms
//   PerSampleRender/...    the per-sample formula in long double into a fresh buffer
//   RepeatedClick          FileListBox1Click of $KIVREL_BENCH_IMAGE (default
//                          /tmp/benchimg/g16_4k.fits) again and again in one dialog
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "browser/dialog/browser_controller.h"

namespace {

using kivrel::BrowserController;

constexpr int32_t kSide = 4000;

std::unique_ptr<BrowserController> NewDialog() {
  kivrel::BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  return std::make_unique<BrowserController>(options);
}

// A star field: sky background with noise and a few thousand bright points.
double StarFieldValue(std::mt19937& rng, std::normal_distribution<double>& noise,
                      std::uniform_real_distribution<double>& u) {
  double v = 1000 + noise(rng);
  if (u(rng) < 0.001) v += 30000 * u(rng);
  return v;
}

// Puts a 4000 x 4000 plane of `sample_type` into the store as a load would, thresholds from
// mode "1 sig.".
void LoadStarField(BrowserController& b, int32_t sample_type) {
  kivrel::Image& s = b.image;
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 30);
  std::uniform_real_distribution<double> u(0, 1);
  long double sum = 0;
  long double sum_sq = 0;
  double lo = 1e100;
  double hi = -1e100;
  const auto add = [&](double p) {
    lo = std::min(lo, p);
    hi = std::max(hi, p);
    sum += p;
    sum_sq += static_cast<long double>(p) * p;
  };
  if (sample_type == kivrel::kSample16) {
    auto& plane = s.plane.Emplace<int16_t>(kSide, kSide);
    s.BZero = 32768;
    s.BScale = 1;
    for (std::size_t i = 0; i < plane.size(); ++i) {
      const auto raw = static_cast<int16_t>(
          std::clamp(std::lround(StarFieldValue(rng, noise, u)) - 32768L, -32768L, 32767L));
      plane.data()[i] = raw;
      add(raw + 32768.0);
    }
  } else {
    auto& plane = s.plane.Emplace<float>(kSide, kSide);
    s.BZero = 0;
    s.BScale = 1;
    for (std::size_t i = 0; i < plane.size(); ++i) {
      const auto v = static_cast<float>(StarFieldValue(rng, noise, u) * 0.001);
      plane.data()[i] = v;
      add(v);
    }
  }
  const long double n = static_cast<long double>(kSide) * kSide;
  s.unfiltered.CopyFrom(s.plane);
  s.SampleType = sample_type;
  s.width = s.height = kSide;
  const long double mean = sum / n;
  s.stats = {lo, hi, mean, std::sqrt(std::max<long double>(0, sum_sq / n - mean * mean))};
  s.HeaderMin = s.HeaderMax = 0;
  b.load.file_name = "/bench/star_field.fits";
  b.view.zoom = kivrel::ZoomWindow::Whole(kSide, kSide);
  b.thresholds.level_mode.index = 2;
  b.EnableImageControls(true);
  b.SetIntensityRange();
  b.load.ImageLoaded = true;
}

void RefreshDisplay(benchmark::State& state) {
  auto b = NewDialog();
  LoadStarField(*b, static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    b->RefreshDisplay();
    benchmark::DoNotOptimize(b->preview_picture.Row(0));
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(RefreshDisplay)->Arg(16)->Arg(-32)->Unit(benchmark::kMillisecond)->UseRealTime();

// The per-sample formula over the same plane into a fresh buffer, as a straightforward
// program would render it.
template <typename T>
void RenderPerSample(const kivrel::Plane<T>& plane, long double bscale, long double bzero,
                     double lo, double hi, std::vector<uint8_t>& out) {
  const double k = static_cast<double>(255 / (static_cast<long double>(hi) - lo));
  const std::size_t n = plane.size();
  const T* src = plane.data();
  for (std::size_t i = 0; i < n; ++i) {
    const long double v = bscale * static_cast<long double>(src[i]) + bzero;
    double t = static_cast<double>((v - lo) * k);
    t = std::max(0.0, std::min(255.0, t));
    out[i] = static_cast<uint8_t>(t);
  }
}

void PerSampleRender(benchmark::State& state) {
  auto b = NewDialog();
  const auto type = static_cast<int32_t>(state.range(0));
  LoadStarField(*b, type);
  const kivrel::Image& s = b->image;
  for (auto _ : state) {
    std::vector<uint8_t> out(static_cast<std::size_t>(kSide) * kSide);
    if (type == kivrel::kSample16) {
      RenderPerSample(*s.plane.Get<int16_t>(), s.BScale, s.BZero, b->view.DisplayMin,
                      b->view.DisplayMax, out);
    } else {
      RenderPerSample(*s.plane.Get<float>(), s.BScale, s.BZero, b->view.DisplayMin,
                      b->view.DisplayMax, out);
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(PerSampleRender)->Arg(16)->Arg(-32)->Unit(benchmark::kMillisecond)->UseRealTime();

void RepeatedClick(benchmark::State& state) {
  const char* env = std::getenv("KIVREL_BENCH_IMAGE");
  const std::string file = env != nullptr ? env : "/tmp/benchimg/g16_4k.fits";
  if (!std::filesystem::exists(file)) {
    state.SkipWithError("no benchmark image (KIVREL_BENCH_IMAGE or /tmp/benchimg/g16_4k.fits)");
    for (auto _ : state) {
    }
    return;
  }
  auto b = NewDialog();
  for (auto _ : state) {
    b->ChooseFile(file);
    if (!b->load.ImageLoaded) state.SkipWithError("the image did not load");
  }
}
BENCHMARK(RepeatedClick)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
