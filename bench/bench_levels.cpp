// Speed of the automatic cuts on a 4000 x 4000 star field, 16-bit (BZERO 32768) and float.
//
//   BM_ZScaleCut/T/B        "zscale": target under 5 ms
//   BM_PercentileCut/T/B    "99,5 %": target under 30 ms
//   BM_SortedCopy/T         the straightforward percentile: copy, two nth_element, for scale
//
// T is 16 or -32; B is 0 for a plane without blanks (the targets) or 1 for one sample in a
// hundred marked blank (for information). Before timing, PercentileCut is checked against the
// straightforward one on both planes; the program stops on a difference. After timing, the
// median wall times are set against the targets and the program exits with 1 when one is
// missed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "browser/display/auto_levels.h"

namespace kivrel {
namespace {

constexpr int32_t kSide = 4000;

struct StarFields {
  Plane<int16_t> sky16;
  Plane<float> sky32;
  BlankMask none;
  BlankMask some;  // one sample in a hundred
};

// Sky of 1000 with a noise of 30 and a star on one sample in a thousand, as bench_display.cpp
// draws it; the float plane holds the values x 0.001.
const StarFields& Fields() {
  static const StarFields fields = [] {
    StarFields f;
    f.sky16.Resize(kSide, kSide);
    f.sky32.Resize(kSide, kSide);
    f.none.Reset(kSide, kSide);
    f.some.Reset(kSide, kSide);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 30);
    std::uniform_real_distribution<double> u(0, 1);
    for (int32_t r = 0; r < kSide; ++r) {
      for (int32_t c = 0; c < kSide; ++c) {
        double v = 1000 + noise(rng);
        if (u(rng) < 0.001) v += 30000 * u(rng);
        f.sky16.At(r, c) =
            static_cast<int16_t>(std::clamp(std::lround(v) - 32768L, -32768L, 32767L));
        f.sky32.At(r, c) = static_cast<float>(v * 0.001);
        if (u(rng) < 0.01) f.some.Set(r, c);
      }
    }
    return f;
  }();
  return fields;
}

template <typename Cut>
void RunCut(benchmark::State& state, Cut cut) {
  const StarFields& f = Fields();
  const BlankMask& blanks = state.range(1) != 0 ? f.some : f.none;
  for (auto _ : state) {
    const auto result =
        state.range(0) == 16 ? cut(f.sky16, blanks, 32768) : cut(f.sky32, blanks, 0);
    benchmark::DoNotOptimize(result);
  }
}

void BM_ZScaleCut(benchmark::State& state) {
  RunCut(state, [](const auto& plane, const BlankMask& blanks, long double bzero) {
    return ZScaleCut(plane, blanks, 1, bzero);
  });
}

void BM_PercentileCut(benchmark::State& state) {
  RunCut(state, [](const auto& plane, const BlankMask& blanks, long double bzero) {
    return PercentileCut(plane, blanks, 1, bzero);
  });
}

// numpy's "linear" percentile from a sorted copy, value by value.
template <typename T>
LevelCut SortedCopyCut(const Plane<T>& plane, long double bzero) {
  std::vector<T> v(plane.data(), plane.data() + plane.size());
  const auto at = [&](double q) {
    const double h = static_cast<double>(v.size() - 1) * q;
    const auto below = static_cast<std::size_t>(h);
    std::nth_element(v.begin(), v.begin() + below, v.end());
    const double a = static_cast<double>(v[below] + bzero);
    const double b = static_cast<double>(*std::min_element(v.begin() + below + 1, v.end()) + bzero);
    const double t = h - static_cast<double>(below);
    return t >= 0.5 ? b - (b - a) * (1 - t) : a + (b - a) * t;
  };
  return {at(0.0025), at(0.9975)};
}

void BM_SortedCopy(benchmark::State& state) {
  const StarFields& f = Fields();
  for (auto _ : state) {
    const LevelCut cut =
        state.range(0) == 16 ? SortedCopyCut(f.sky16, 32768) : SortedCopyCut(f.sky32, 0);
    benchmark::DoNotOptimize(cut);
  }
}

BENCHMARK(BM_ZScaleCut)
    ->Args({16, 0})
    ->Args({-32, 0})
    ->Args({16, 1})
    ->Args({-32, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentileCut)
    ->Args({16, 0})
    ->Args({-32, 0})
    ->Args({16, 1})
    ->Args({-32, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortedCopy)
    ->Arg(16)
    ->Arg(-32)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

bool PercentileMatchesSortedCopy() {
  const StarFields& f = Fields();
  const auto fast16 = PercentileCut(f.sky16, f.none, 1, 32768);
  const auto fast32 = PercentileCut(f.sky32, f.none, 1, 0);
  const LevelCut slow16 = SortedCopyCut(f.sky16, 32768);
  const LevelCut slow32 = SortedCopyCut(f.sky32, 0);
  const bool same = fast16 && fast32 && fast16->low == slow16.low && fast16->high == slow16.high &&
                    fast32->low == slow32.low && fast32->high == slow32.high;
  if (!same) std::fprintf(stderr, "PercentileCut differs from the sorted copy\n");
  return same;
}

// Keeps the median times of every benchmark while the console shows the usual table.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        const std::string name = run.run_name.function_name + "/" + run.run_name.args;
        real[name] = run.GetAdjustedRealTime();
        cpu[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> real;
  std::map<std::string, double> cpu;
};

// Wall time against the targets; process time beside it, as it suffers less from other work on
// a busy machine. Returns false when a target is missed.
bool ReportTargets(MedianReporter& r) {
  bool met_all = true;
  std::printf("\nMedian ms (wall; process) against the targets:\n");
  for (const auto& [name, target] : {std::pair<std::string, double>{"BM_ZScaleCut/16/0", 5},
                                     {"BM_ZScaleCut/-32/0", 5},
                                     {"BM_PercentileCut/16/0", 30},
                                     {"BM_PercentileCut/-32/0", 30}}) {
    if (r.real.count(name) == 0) continue;
    const bool ok = r.real[name] < target;
    met_all = met_all && ok;
    std::printf("  %-24s %6.2f; %6.2f (target < %.0f) %s\n", name.c_str(), r.real[name],
                r.cpu[name], target, ok ? "met" : "MISSED");
  }
  return met_all;
}

}  // namespace
}  // namespace kivrel

int main(int argc, char** argv) {
  if (!kivrel::PercentileMatchesSortedCopy()) return 1;
  // Medians of repeated runs unless the command line says otherwise.
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=9";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  args.insert(args.begin() + 1, {reps.data(), aggregates.data()});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  kivrel::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return kivrel::ReportTargets(reporter) ? 0 : 1;
}
