// The worker pool: results in the items' order whatever the finishing order, failures as rows,
// delivery while later items still run, more workers than items, a delivery error stopping the
// run; and the progress line's text.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cli/progress.h"
#include "cli/worker_pool.h"

namespace kivrel {
namespace {

using std::chrono::microseconds;

class WorkerPoolTest : public ::testing::TestWithParam<int> {};

TEST_P(WorkerPoolTest, OrderStableUnderRandomDelays) {
  constexpr std::size_t kItems = 40;  // also more items than workers, and fewer (64)
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  std::vector<int> delays_us(kItems);
  for (int& d : delays_us)
    d = static_cast<int>(random() % 3000);
  std::vector<std::string> delivered;
  std::vector<std::size_t> progress_done;
  RunOrdered<int>(
      kItems, GetParam(),
      [&](std::size_t i) {
        std::this_thread::sleep_for(microseconds(delays_us[i]));
        if (i == 13) throw std::runtime_error("bad file 13");
        return static_cast<int>(i * i);
      },
      [&](std::size_t i, ItemOutcome<int>&& outcome) {
        delivered.push_back(std::to_string(i) + ":" +
                            (outcome.value ? std::to_string(*outcome.value) : outcome.failure));
      },
      [&](std::size_t done, std::size_t, std::size_t) { progress_done.push_back(done); });
  ASSERT_EQ(delivered.size(), kItems);
  ASSERT_EQ(progress_done.size(), kItems);
  for (std::size_t i = 0; i < kItems; ++i) {
    EXPECT_EQ(delivered[i],
              std::to_string(i) + ":" + (i == 13 ? "bad file 13" : std::to_string(i * i)));
    EXPECT_EQ(progress_done[i], i + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Workers, WorkerPoolTest, ::testing::Values(1, 2, 8, 64));

TEST(WorkerPool, DeliversAnItemWhileLaterOnesStillRun) {
  std::atomic<bool> first_delivered = false;
  bool second_saw_first = false;
  RunOrdered<bool>(
      2, 2,
      [&](std::size_t i) {
        // Item 1 ends only once item 0 is out (or after five seconds, failing the test).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (i == 1 && !first_delivered && std::chrono::steady_clock::now() < deadline)
          std::this_thread::sleep_for(microseconds(500));
        return first_delivered.load();
      },
      [&](std::size_t i, ItemOutcome<bool>&& outcome) {
        if (i == 0) first_delivered = true;
        if (i == 1) second_saw_first = outcome.value.value_or(false);
      });
  EXPECT_TRUE(second_saw_first);
}

TEST(WorkerPool, ADeliveryErrorStopsTheRunAndReachesTheCaller) {
  std::atomic<int> started = 0;
  const auto work = [&](std::size_t) {
    ++started;
    std::this_thread::sleep_for(microseconds(200));
    return 0;
  };
  const auto deliver = [](std::size_t i, ItemOutcome<int>&&) {
    if (i == 3) throw std::runtime_error("disk full");
  };
  EXPECT_THROW(RunOrdered<int>(1000, 2, work, deliver), std::runtime_error);
  EXPECT_LT(started.load(), 1000);
}

TEST(ProgressLine, CountBarAndNameWithinTheWidth) {
  const struct {
    std::size_t done, total;
    const char* name;
    std::size_t columns;
    const char* expected;
  } cases[] = {
      {0, 4, "a.fits", 80, "0/4 [>   ] a.fits"},
      {2, 4, "a.fits", 80, "2/4 [==> ] a.fits"},
      {9, 4, "a.fits", 80, "4/4 [====] a.fits"},                    // never past the end
      {1, 4, "dossier/Nébuleuse.fits", 19, "1/4 [=>  ] …se.fits"},  // cut by code points
      {1, 4, "x", 6, "1/4 [="},                                     // not even the bar fits
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgressLine(c.done, c.total, c.name, c.columns, 4), c.expected) << c.expected;
}

}  // namespace
}  // namespace kivrel
