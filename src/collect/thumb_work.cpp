#include "collect/thumb_work.h"

#include <algorithm>

#include "text/messages.h"

// Sections: one picture's job; the workers; waiting and progress.

namespace {

using Clock = std::chrono::steady_clock;

// Work that ends sooner shows no progress at all.
constexpr auto kProgressDelay = std::chrono::seconds(1);
constexpr auto kProgressTick = std::chrono::milliseconds(100);

// Reads the headers of the folder's k-th picture and, when its job says so,
// makes its thumbnail.
void RunJob(ThumbFolder& f, size_t k, std::int32_t thumbSize) {
  const std::string picture = f.path + f.names[k];
  PictureNotes& n = f.notes[k];
  std::string reason;
  bool headers = ReadPictureHeaders(picture, n.width, n.height, n.taken, reason);
  if (!headers) {
    n.width = n.height = -1;
    n.taken.clear();
  }
  if (f.jobs[k] == JobKind::kThumbnail) {
    platform::MediaResult made;
    if (platform::MakeDisplayCopies(picture, {{thumbSize, f.thumbs + f.names[k]}}, made) &&
        made.copies.size() == 1) {
      const platform::CopyResult& thumb = made.copies[0];
      n.thumbnail =
          ThumbnailFileName(f.names[k], thumb.format == platform::CopyFormat::kPng ? 'p' : 'j');
      n.thumbWidth = thumb.width;
      n.thumbHeight = thumb.height;
      return;
    }
    platform::CopyFailure failure =
        made.copies.empty() ? platform::CopyFailure::kNone : made.copies[0].failure;
    f.failures[k] =
        failure == platform::CopyFailure::kNone ? platform::CopyFailure::kPicture : failure;
    f.reasons[k] = made.copies.empty() ? "" : made.copies[0].reason;
    if (f.failures[k] == platform::CopyFailure::kPicture) {
      n.bad = true;
      n.width = n.height = -1;
    }
  } else if (!headers) {
    f.failures[k] = platform::CopyFailure::kPicture;
    f.reasons[k] = reason;
    n.bad = true;
  }
}

// ---- The workers ------------------------------------------------------------

void Work(ThumbPool* s, std::int32_t thumbSize) {
  for (;;) {
    ThumbPool::Job job{};
    bool skip = false;
    {
      std::unique_lock lock(s->mutex);
      s->wake.wait(lock, [s] { return s->stopping || !s->queue.empty(); });
      if (s->queue.empty()) return;
      job = s->queue.front();
      s->queue.pop_front();
      skip = s->stopping || s->cancelled;
    }
    if (!skip) {
      RunJob(*job.folder, job.k, thumbSize);
      job.folder->ran[job.k] = 1;
    }
    {
      std::lock_guard lock(s->mutex);
      --job.folder->outstanding;
      ++s->finished;
    }
    s->done.notify_all();
  }
}

}  // namespace

void QueueFolderJobs(ThumbPool& s, ThumbFolder& f, std::int32_t thumbSize) {
  std::lock_guard lock(s.mutex);
  for (size_t k = 0; k < f.names.size(); ++k) {
    if (f.jobs[k] == JobKind::kNone) continue;
    if (s.queued == s.finished && s.queue.empty()) s.firstQueued = Clock::now();
    s.queue.push_back(ThumbPool::Job{&f, k});
    ++f.outstanding;
    ++s.queued;
  }
  if (f.outstanding == 0) return;
  if (s.threads.empty()) {
    unsigned count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) s.threads.emplace_back(Work, &s, thumbSize);
  }
  s.wake.notify_all();
}

void StopWorkers(ThumbPool& s) {
  {
    std::lock_guard lock(s.mutex);
    s.stopping = true;
  }
  s.wake.notify_all();
  for (auto& thread : s.threads) thread.join();
  s.threads.clear();
}

// ---- Waiting and progress ---------------------------------------------------

bool WaitForFolder(ThumbPool& s, ThumbFolder& f) {
  std::unique_lock lock(s.mutex);
  while (f.outstanding > 0) {
    s.done.wait_for(lock, kProgressTick);
    std::int64_t done = s.finished, total = s.queued;
    bool show = !s.cancelled && (s.progressShown || Clock::now() - s.firstQueued >= kProgressDelay);
    lock.unlock();
    if (show) {
      if (!s.progressShown) platform::StartProgress(MessageText(Message::kMakingThumbnails));
      s.progressShown = true;
      platform::UpdateProgress(done, total);
    }
    bool cancel = show && platform::ProgressCancelled();
    lock.lock();
    if (cancel) s.cancelled = true;
  }
  return !s.cancelled;
}

bool PoolCancelled(ThumbPool& s) {
  std::lock_guard lock(s.mutex);
  return s.cancelled;
}

void CloseProgress(ThumbPool& s) {
  if (s.progressShown) platform::EndProgress();
  s.progressShown = false;
}
