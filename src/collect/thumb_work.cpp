#include "collect/thumb_work.h"

#include <algorithm>

#include "text/messages.h"

// Sections: one picture's job; the workers; waiting and progress.

namespace {

using Clock = std::chrono::steady_clock;

// Work that ends sooner shows no progress at all.
constexpr auto kProgressDelay = std::chrono::seconds(1);
constexpr auto kProgressTick = std::chrono::milliseconds(100);

// The file name a written copy gets in the thumbnail folder.
std::string CopyName(const ThumbFolder& f, size_t k, const platform::CopyResult& copy,
                     bool preview) {
  char kind = copy.format == platform::CopyFormat::kPng ? 'p' : 'j';
  return preview ? PreviewFileName(f.names[k], kind) : ThumbnailFileName(f.names[k], kind);
}

// Reads the headers of the folder's k-th picture and, when its job says so,
// makes its thumbnail and its preview from one decode (of a video's poster
// frame).
void RunJob(ThumbFolder& f, size_t k, const ThumbnailWants& wants) {
  const std::string picture = f.path + f.names[k];
  PictureNotes& n = f.notes[k];
  std::string reason;
  bool shownAsIs = false;
  platform::MediaSource source;
  bool headers = n.video ? ReadVideoHeaders(picture, n, source, reason)
                         : ReadPictureHeaders(picture, n.width, n.height, n.taken, n.caption,
                                              shownAsIs, reason);
  if (!headers) {
    n.width = n.height = -1;
    n.taken.clear();
    n.caption.clear();
  }
  if (f.jobs[k] != JobKind::kCopies) {
    if (!headers) {
      f.failures[k] = platform::CopyFailure::kPicture;
      f.reasons[k] = reason;
      n.bad = true;
    }
    return;
  }
  // A picture a browser shows as it is, no larger than its preview would be,
  // is its own preview: an animated GIF keeps its animation in the viewer.
  std::vector<platform::WantedCopy> wanted;
  int previewAt = -1, thumbAt = -1;
  if (f.wantPreview[k]) {
    n.ownPreview = headers && shownAsIs && std::max(n.width, n.height) <= wants.previewSize;
    if (!n.ownPreview) {
      previewAt = static_cast<int>(wanted.size());
      wanted.push_back({wants.previewSize, f.thumbs + f.names[k] + ".preview", true});
    }
  }
  if (f.wantThumb[k]) {
    thumbAt = static_cast<int>(wanted.size());
    wanted.push_back({wants.thumbSize, f.thumbs + f.names[k], false});
  }
  platform::MediaResult made;
  if (wanted.empty() || platform::MakeDisplayCopies(picture, wanted, made, source)) {
    // A clip whose container the readers do not know (AVI, MPEG-TS) still
    // has the size and length its decoder found.
    if (n.video && !headers && made.decodes > 0) {
      n.width = made.decodedWidth;
      n.height = made.decodedHeight;
      n.durationMs = made.durationMs;
    }
    if (thumbAt >= 0) {
      const platform::CopyResult& thumb = made.copies[static_cast<size_t>(thumbAt)];
      n.thumbnail = CopyName(f, k, thumb, false);
      n.thumbWidth = thumb.width;
      n.thumbHeight = thumb.height;
    }
    if (previewAt >= 0) {
      const platform::CopyResult& preview = made.copies[static_cast<size_t>(previewAt)];
      n.preview = CopyName(f, k, preview, true);
      n.previewWidth = preview.width;
      n.previewHeight = preview.height;
    }
    return;
  }
  // Without a decoder the picture is not damaged: its row shows the picture
  // itself, and a later run (with the decoder installed) tries again.
  if (made.missingDecoder != platform::MissingDecoder::kNone) {
    f.missing[k] = made.missingDecoder;
    return;
  }
  // One copy that failed on the picture's side makes the picture bad; else
  // one that could not be written names its folder.
  f.failures[k] = platform::CopyFailure::kPicture;
  f.reasons[k].clear();
  bool target = false;
  for (const platform::CopyResult& copy : made.copies) {
    if (copy.failure == platform::CopyFailure::kPicture) {
      f.reasons[k] = copy.reason;
      target = false;
      break;
    }
    if (copy.failure == platform::CopyFailure::kTarget && !target) {
      target = true;
      f.reasons[k] = copy.reason;
    }
  }
  if (target) {
    f.failures[k] = platform::CopyFailure::kTarget;
    return;
  }
  // A clip without a poster still plays: it keeps what its container told.
  n.bad = true;
  n.ownPreview = false;
  if (!n.video) n.width = n.height = -1;
}

// ---- The workers ------------------------------------------------------------

void Work(ThumbPool* s, const ThumbnailWants& wants) {
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
      RunJob(*job.folder, job.k, wants);
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

void QueueFolderJobs(ThumbPool& s, ThumbFolder& f, const ThumbnailWants& wants) {
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
    for (unsigned i = 0; i < count; ++i) s.threads.emplace_back(Work, &s, wants);
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
