// Running one function over many items (files) on several worker threads, with the results
// handed back in the items' order: item i is delivered as soon as items 0..i are all done, so
// output can be written while the work goes on and still come out in a stable order.
//
// Each worker takes one item at a time, the next one not yet taken. An exception thrown by the
// work on an item becomes that item's failure (its message), and the run goes on. The delivery
// and progress callbacks run on the calling thread only, one at a time, so they need no lock;
// an exception thrown by one of them stops the run: items not yet started are skipped, the
// workers are joined, and the exception goes on to the caller.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivrel {

// The worker count for `-j`: `requested` when it is at least 1, otherwise the number of cores
// (1 when that is unknown).
int WorkerCount(int requested);

// An item's outcome: its result, or the reason it failed.
template <typename R>
struct ItemOutcome {
  std::optional<R> value;
  std::string failure;  // set when value is empty
};

// Called on the calling thread each time an item finishes (in completion order):
// the number of items finished so far, the total, and the item that just finished.
using ProgressFn = std::function<void(std::size_t done, std::size_t total, std::size_t item)>;

// The untyped run behind RunOrdered: `run(i)` on the workers (it must not throw), `deliver(i)`
// on the calling thread in order.
void RunItemsInOrder(std::size_t count, int workers, const std::function<void(std::size_t)>& run,
                     const std::function<void(std::size_t)>& deliver, const ProgressFn& progress);

// Runs `work(i)` (returning R) for i in 0..count - 1 on `workers` threads (at most one per
// item) and calls `deliver(i, ItemOutcome<R>&&)` in order of i.
template <typename R, typename Work, typename Deliver>
void RunOrdered(std::size_t count, int workers, Work&& work, Deliver&& deliver,
                const ProgressFn& progress = {}) {
  std::vector<ItemOutcome<R>> outcomes(count);
  const auto run = [&](std::size_t i) {
    try {
      outcomes[i].value.emplace(work(i));
    } catch (const std::exception& e) {
      outcomes[i].failure = e.what();
    } catch (...) {
      outcomes[i].failure = "unknown error";
    }
  };
  const auto hand_back = [&](std::size_t i) {
    ItemOutcome<R> outcome = std::move(outcomes[i]);
    outcomes[i] = {};  // the result's memory goes once it is delivered
    deliver(i, std::move(outcome));
  };
  RunItemsInOrder(count, workers, run, hand_back, progress);
}

}  // namespace kivrel
