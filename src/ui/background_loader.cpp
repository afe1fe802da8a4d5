#include "ui/background_loader.h"

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <utility>

namespace kivrel::ui {

int64_t OutcomeBytes(const LoadOutcome& outcome) {
  int64_t bytes = 0;
  for (const LoadStep& step : outcome.steps) {
    const Image& image = step.read.image;
    bytes += int64_t{image.width} * image.height * BytesPerSample(image.SampleType);
    bytes += static_cast<int64_t>(step.picture.stride()) * step.picture.height();
  }
  return bytes;
}

BackgroundLoader::BackgroundLoader(const DecoderLibrary* decoder,
                                   std::function<void(LoadOutcome&&)> deliver, QObject* parent)
    : QObject(parent), decoder_(decoder), deliver_(std::move(deliver)) {
  // Two loads may overlap: the one the user waits for need not queue behind a superseded read
  // that cannot be stopped. Reading ahead takes one worker, so that it never slows a load down
  // by more than one read's share of the disk.
  main_pool_.setMaxThreadCount(2);
  ahead_pool_.setMaxThreadCount(1);
}

BackgroundLoader::~BackgroundLoader() {
  latest_->store(~uint64_t{0});  // reads not started yet skip their work
  for (Entry& e : ahead_)
    e.wanted->store(false);
  main_pool_.waitForDone();
  ahead_pool_.waitForDone();
}

BackgroundLoader::Stamp BackgroundLoader::StampOf(const std::string& file_name) {
  const QFileInfo info(QString::fromStdString(file_name));
  if (!info.exists()) return Stamp{};
  return Stamp{info.size(), info.lastModified()};
}

bool BackgroundLoader::SameJob(const LoadJob& a, const LoadJob& b) {
  return a.file_name == b.file_name && a.request.layer == b.request.layer &&
         a.own_colours == b.own_colours;
}

std::vector<BackgroundLoader::Entry>::iterator BackgroundLoader::Find(const LoadJob& job,
                                                                     const Stamp& stamp) {
  return std::find_if(ahead_.begin(), ahead_.end(), [&](const Entry& e) {
    return SameJob(e.job, job) && e.stamp == stamp;
  });
}

void BackgroundLoader::Deliver(LoadOutcome&& outcome) {
  if (deliver_) deliver_(std::move(outcome));
}

void BackgroundLoader::Load(LoadJob job) {
  const uint64_t generation = ++generation_;
  latest_->store(generation);
  waiting_ = Waiting{generation, std::nullopt};
  const auto held = Find(job, StampOf(job.file_name));
  if (held != ahead_.end()) {
    ++hits_;
    if (held->outcome == nullptr) {
      // Being read ahead right now: this load waits for that read.
      waiting_->read_ahead_id = held->id;
      return;
    }
    std::shared_ptr<LoadOutcome> outcome = std::move(held->outcome);
    ahead_.erase(held);
    waiting_.reset();
    Deliver(std::move(*outcome));
    return;
  }
  main_pool_.start([this, job = std::move(job), generation, latest = latest_,
                    decoder = decoder_]() mutable {
    std::shared_ptr<LoadOutcome> outcome;
    if (latest->load() == generation) {
      outcome = std::make_shared<LoadOutcome>(ReadForLoad(std::move(job), decoder));
    }
    QMetaObject::invokeMethod(
        this, [this, generation, outcome] { MainReadArrived(generation, outcome); },
        Qt::QueuedConnection);
  });
}

void BackgroundLoader::MainReadArrived(uint64_t generation,
                                       std::shared_ptr<LoadOutcome> outcome) {
  if (!waiting_ || waiting_->generation != generation || waiting_->read_ahead_id ||
      outcome == nullptr) {
    outcome.reset();  // superseded: its planes go now
    emit Dropped();
    return;
  }
  waiting_.reset();
  Deliver(std::move(*outcome));
}

void BackgroundLoader::ReadAhead(std::vector<LoadJob> jobs) {
  if (jobs.size() > static_cast<std::size_t>(kReadAheadCount)) jobs.resize(kReadAheadCount);
  std::vector<Entry> kept;
  for (LoadJob& job : jobs) {
    const Stamp stamp = StampOf(job.file_name);
    if (stamp.size < 0) continue;
    const auto held = Find(job, stamp);
    if (held != ahead_.end()) {
      kept.push_back(std::move(*held));
      ahead_.erase(held);
      continue;
    }
    Entry entry{std::move(job), stamp, ++next_id_, std::make_shared<std::atomic<bool>>(true),
                nullptr};
    ahead_pool_.start([this, job = entry.job, id = entry.id, wanted = entry.wanted,
                       decoder = decoder_]() mutable {
      std::shared_ptr<LoadOutcome> outcome;
      if (wanted->load()) outcome = std::make_shared<LoadOutcome>(ReadForLoad(std::move(job), decoder));
      QMetaObject::invokeMethod(
          this, [this, id, outcome] { ReadAheadArrived(id, outcome); }, Qt::QueuedConnection);
    });
    kept.push_back(std::move(entry));
  }
  // The others go, but one that a load waits for.
  for (Entry& e : ahead_) {
    if (waiting_ && waiting_->read_ahead_id == e.id) {
      kept.push_back(std::move(e));
    } else {
      e.wanted->store(false);
    }
  }
  ahead_ = std::move(kept);
}

void BackgroundLoader::DropReadAhead() {
  ReadAhead({});
}

void BackgroundLoader::ReadAheadArrived(uint64_t id, std::shared_ptr<LoadOutcome> outcome) {
  const auto it =
      std::find_if(ahead_.begin(), ahead_.end(), [id](const Entry& e) { return e.id == id; });
  if (it == ahead_.end() || outcome == nullptr) {
    emit ReadAheadReady();  // dropped while it was read
    return;
  }
  if (waiting_ && waiting_->read_ahead_id == id) {
    ahead_.erase(it);
    waiting_.reset();
    Deliver(std::move(*outcome));
    return;
  }
  it->outcome = std::move(outcome);
  if (HeldBytes() > kReadAheadBytes) ahead_.erase(it);
  emit ReadAheadReady();
}

bool BackgroundLoader::ReadAheadIdle() const {
  return std::all_of(ahead_.begin(), ahead_.end(),
                     [](const Entry& e) { return e.outcome != nullptr; });
}

int64_t BackgroundLoader::HeldBytes() const {
  int64_t bytes = 0;
  for (const Entry& e : ahead_) {
    if (e.outcome != nullptr) bytes += OutcomeBytes(*e.outcome);
  }
  return bytes;
}

}  // namespace kivrel::ui
