// Loading off the window's thread. Each file is read on a worker (ReadForLoad, which touches no
// dialog state) and its outcome handed back on the window's thread, where the dialog shows it
// (FinishLoad). A newer load supersedes an older one that has not finished: the older read
// cannot be stopped, but its outcome is dropped when it arrives, and a read still waiting for
// a worker does not start at all.
//
// Read-ahead: once a file is shown, the dialog names its neighbours in the file list. They are
// read in the background, at most kReadAheadCount outcomes and kReadAheadBytes of planes held
// at a time, so that the next arrow key finds its file already read. An outcome read ahead is
// used only for the same file, unchanged on disk since, at the same layer and colour mode.
//
// Every function is called on the window's thread; outcomes are delivered there too.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "browser/dialog/browser_controller.h"

namespace kivrel::ui {

class BackgroundLoader : public QObject {
  Q_OBJECT
 public:
  static constexpr int kReadAheadCount = 2;
  static constexpr int64_t kReadAheadBytes = int64_t{512} << 20;

  // `deliver` receives each outcome to show. `decoder` (may be null) must outlive the loader.
  BackgroundLoader(const DecoderLibrary* decoder, std::function<void(LoadOutcome&&)> deliver,
                   QObject* parent = nullptr);
  // Waits for the reads under way (a read cannot be interrupted); their outcomes are dropped.
  ~BackgroundLoader() override;

  // Loads `job`, superseding any load under way. The outcome goes to `deliver`: before this
  // returns when the read-ahead holds it, else later.
  void Load(LoadJob job);
  // A load is under way: its outcome has not been delivered yet.
  bool Loading() const { return waiting_.has_value(); }

  // The files to read ahead, most wanted first (at most kReadAheadCount are kept); outcomes
  // read ahead for other files are dropped.
  void ReadAhead(std::vector<LoadJob> jobs);
  void DropReadAhead();
  // Nothing is being read ahead.
  bool ReadAheadIdle() const;
  // Loads served by an outcome read ahead, since the loader was made.
  int ReadAheadHits() const { return hits_; }

 signals:
  // The outcome of a superseded load arrived and was dropped.
  void Dropped();
  // A file was read ahead (its outcome is held, or dropped over the budget).
  void ReadAheadReady();

 private:
  // A file's size and time of change, to tell that an outcome read ahead is still its content.
  struct Stamp {
    int64_t size = -1;
    QDateTime modified;
    bool operator==(const Stamp&) const = default;
  };
  struct Entry {
    LoadJob job;
    Stamp stamp;
    uint64_t id = 0;
    std::shared_ptr<std::atomic<bool>> wanted;  // cleared when dropped: the read need not run
    std::shared_ptr<LoadOutcome> outcome;       // null while being read
  };
  struct Waiting {
    uint64_t generation = 0;
    std::optional<uint64_t> read_ahead_id;  // the load waits for this read-ahead
  };

  static Stamp StampOf(const std::string& file_name);
  static bool SameJob(const LoadJob& a, const LoadJob& b);
  std::vector<Entry>::iterator Find(const LoadJob& job, const Stamp& stamp);
  void Deliver(LoadOutcome&& outcome);
  void MainReadArrived(uint64_t generation, std::shared_ptr<LoadOutcome> outcome);
  void ReadAheadArrived(uint64_t id, std::shared_ptr<LoadOutcome> outcome);
  int64_t HeldBytes() const;

  const DecoderLibrary* decoder_;
  std::function<void(LoadOutcome&&)> deliver_;
  QThreadPool main_pool_;
  QThreadPool ahead_pool_;
  std::shared_ptr<std::atomic<uint64_t>> latest_ = std::make_shared<std::atomic<uint64_t>>(0);
  uint64_t generation_ = 0;
  uint64_t next_id_ = 0;
  std::optional<Waiting> waiting_;
  std::vector<Entry> ahead_;
  int hits_ = 0;
};

// The bytes of the planes an outcome holds.
int64_t OutcomeBytes(const LoadOutcome& outcome);

}  // namespace kivrel::ui
