// The worker pool: results in the items' order whatever the finishing order, failures as rows,
// delivery while later items still run, more workers than items; and the progress line.
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

struct Delivered {
  std::size_t index;
  int value;
  std::string failure;
};

class WorkerPoolTest : public ::testing::TestWithParam<int> {};

TEST_P(WorkerPoolTest, OrderStableUnderRandomDelays) {
  constexpr std::size_t kItems = 40;
  std::vector<int> delays_us(kItems);
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  for (int& d : delays_us)
    d = static_cast<int>(random() % 3000);
  std::vector<Delivered> delivered;
  std::vector<std::size_t> progress_done;
  std::vector<bool> progress_seen(kItems, false);
  RunOrdered<int>(
      kItems, GetParam(),
      [&](std::size_t i) {
        std::this_thread::sleep_for(std::chrono::microseconds(delays_us[i]));
        if (i == 13) throw std::runtime_error("bad file 13");
        return static_cast<int>(i * i);
      },
      [&](std::size_t i, ItemOutcome<int>&& outcome) {
        delivered.push_back({i, outcome.value.value_or(-1), outcome.failure});
      },
      [&](std::size_t done, std::size_t total, std::size_t item) {
        EXPECT_EQ(total, kItems);
        progress_done.push_back(done);
        progress_seen[item] = true;
      });
  ASSERT_EQ(delivered.size(), kItems);
  for (std::size_t i = 0; i < kItems; ++i) {
    EXPECT_EQ(delivered[i].index, i);
    if (i == 13) {
      EXPECT_EQ(delivered[i].value, -1);
      EXPECT_EQ(delivered[i].failure, "bad file 13");
    } else {
      EXPECT_EQ(delivered[i].value, static_cast<int>(i * i));
      EXPECT_EQ(delivered[i].failure, "");
    }
    EXPECT_EQ(progress_done[i], i + 1);
    EXPECT_TRUE(progress_seen[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Workers, WorkerPoolTest, ::testing::Values(1, 2, 8, 64));

TEST(WorkerPool, DeliversAnItemWhileLaterOnesStillRun) {
  std::atomic<bool> first_delivered = false;
  std::vector<bool> saw_delivery(2, false);
  RunOrdered<bool>(
      2, 2,
      [&](std::size_t i) {
        if (i == 0) return true;
        // Item 1 ends only once item 0 is out (or after five seconds, failing the test).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!first_delivered && std::chrono::steady_clock::now() < deadline)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return first_delivered.load();
      },
      [&](std::size_t i, ItemOutcome<bool>&& outcome) {
        if (i == 0) first_delivered = true;
        saw_delivery[i] = outcome.value.value_or(false);
      });
  EXPECT_TRUE(saw_delivery[1]);
}

TEST(WorkerPool, ADeliveryErrorStopsTheRunAndReachesTheCaller) {
  std::atomic<int> started = 0;
  EXPECT_THROW(RunOrdered<int>(
                   1000, 2,
                   [&](std::size_t) {
                     ++started;
                     std::this_thread::sleep_for(std::chrono::microseconds(200));
                     return 0;
                   },
                   [](std::size_t i, ItemOutcome<int>&&) {
                     if (i == 3) throw std::runtime_error("disk full");
                   }),
               std::runtime_error);
  EXPECT_LT(started.load(), 1000);
}

TEST(WorkerPool, WorkerCountDefaultsToTheCores) {
  EXPECT_EQ(WorkerCount(3), 3);
  EXPECT_GE(WorkerCount(0), 1);
  EXPECT_EQ(WorkerCount(0), WorkerCount(-1));
}

struct LineCase {
  std::size_t done, total;
  const char* name;
  std::size_t columns;
  const char* expected;
};

TEST(ProgressLine, CountBarAndNameWithinTheWidth) {
  const LineCase cases[] = {
      {0, 4, "a.fits", 80, "0/4 [>   ] a.fits"},
      {2, 4, "a.fits", 80, "2/4 [==> ] a.fits"},
      {4, 4, "a.fits", 80, "4/4 [====] a.fits"},
      {9, 4, "a.fits", 80, "4/4 [====] a.fits"},                    // never past the end
      {1, 4, "dossier/Nébuleuse.fits", 19, "1/4 [=>  ] …se.fits"},  // cut by code points
      {1, 4, "x", 6, "1/4 [="},                                     // not even the bar fits
  };
  for (const LineCase& c : cases)
    EXPECT_EQ(ProgressLine(c.done, c.total, c.name, c.columns, 4), c.expected) << c.expected;
}

TEST(ProgressBar, SilentWhenNotATerminal) {
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  {
    ProgressBar bar(sink, false);
    bar.Update(1, 2, "a");
  }
  EXPECT_EQ(std::ftell(sink), 0);
  std::fclose(sink);
}

}  // namespace
}  // namespace kivrel
