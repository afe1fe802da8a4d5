#include "cli/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kivrel {
namespace {

// What the workers and the calling thread share.
class RunState {
 public:
  explicit RunState(std::size_t count) : done_(count, false) {}

  // The next item to start, or false when there is none left (or the run stops).
  bool Take(std::size_t& item) {
    std::lock_guard lock(mutex_);
    if (stopping_ || next_ == done_.size()) return false;
    item = next_++;
    return true;
  }

  void Finish(std::size_t item) {
    {
      std::lock_guard lock(mutex_);
      done_[item] = true;
      finished_.push_back(item);
    }
    changed_.notify_one();
  }

  // Waits until some item has finished since the last call, and returns those items.
  std::deque<std::size_t> WaitFinished() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !finished_.empty(); });
    return std::exchange(finished_, {});
  }

  bool Done(std::size_t item) {
    std::lock_guard lock(mutex_);
    return done_[item];
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> done_;
  std::deque<std::size_t> finished_;
  std::size_t next_ = 0;
  bool stopping_ = false;
};

}  // namespace

int WorkerCount(int requested) {
  if (requested >= 1) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, 1024));
}

void RunItemsInOrder(std::size_t count, int workers, const std::function<void(std::size_t)>& run,
                     const std::function<void(std::size_t)>& deliver, const ProgressFn& progress) {
  if (count == 0) return;
  RunState state(count);
  const std::size_t threads = std::min<std::size_t>(count, std::max(1, workers));
  std::vector<std::jthread> pool;
  pool.reserve(threads);
  // Joins the workers whichever way this function is left.
  struct StopAndJoin {
    RunState& state;
    std::vector<std::jthread>& pool;
    ~StopAndJoin() {
      state.Stop();
      pool.clear();
    }
  } stop_and_join{state, pool};
  for (std::size_t t = 0; t < threads; ++t) {
    pool.emplace_back([&state, &run] {
      std::size_t item = 0;
      while (state.Take(item)) {
        run(item);
        state.Finish(item);
      }
    });
  }
  std::size_t finished = 0;
  std::size_t delivered = 0;
  // An item may be delivered before its finish was taken from the queue: the loop goes on
  // until every finish has been reported too.
  while (delivered < count || finished < count) {
    for (const std::size_t item : state.WaitFinished()) {
      ++finished;
      if (progress) progress(finished, count, item);
    }
    while (delivered < count && state.Done(delivered))
      deliver(delivered++);
  }
}

}  // namespace kivrel
