#include "collect/thumbnails.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "collect/thumb_index.h"
#include "platform/platform.h"
#include "text/messages.h"
#include "text/paths.h"

// Sections: the wants of a template; the folders and their jobs; the workers;
// waiting, progress and the index; the end of the work.

namespace {

using Clock = std::chrono::steady_clock;

// Work that ends sooner shows no progress at all.
constexpr auto kProgressDelay = std::chrono::seconds(1);
constexpr auto kProgressTick = std::chrono::milliseconds(100);

const char* const kThumbnailPlaceholders[] = {"[thumb]",  "[thumb\\]",    "[thumb%]",
                                              "[thumb&]", "[thumbwidth]", "[thumbheight]"};
const char* const kFactPlaceholders[] = {"[width]", "[height]", "[exifdate]"};

// What was queued for a picture.
enum class JobKind : char {
  kNone,       // its values came from the index, or cannot be had
  kFacts,      // its headers are read
  kThumbnail,  // its headers are read and its thumbnail made
};

struct Folder {
  std::string path;    // ends in the separator
  std::string thumbs;  // the thumbnail folder, ending in the separator
  std::vector<std::string> names;
  std::vector<PictureNotes> notes;
  std::vector<JobKind> jobs;
  std::vector<char> ran;  // the job ran (not skipped after a cancel)
  std::vector<platform::ThumbnailFailure> failures;
  std::vector<std::string> reasons;
  PictureIndex old;
  std::string oldText;
  bool hadIndex = false;
  bool indexed = false;  // its index is kept up to date by this run
  int outstanding = 0;
  bool finished = false;
};

struct Job {
  Folder* folder;
  size_t k;
};

}  // namespace

struct ThumbnailWorkState {
  std::mutex mutex;
  std::condition_variable wake;  // a job was queued, or the work stops
  std::condition_variable done;  // a job ended
  std::deque<Job> queue;
  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<Folder>> folders;
  bool stopping = false;
  bool cancelled = false;
  std::int64_t queued = 0;
  std::int64_t finished = 0;
  Clock::time_point firstQueued;
  bool progressShown = false;
  std::vector<std::string> notices;
  std::set<std::string> failedFolders;
};

namespace {

bool Holds(const std::string& text, const char* const* placeholders, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (text.find(placeholders[i]) != std::string::npos) return true;
  }
  return false;
}

// The size a thumbnail of a picture of the given size has: its longest side
// maxSide, never larger than the picture, the aspect kept.
void ScaledSize(std::int32_t width, std::int32_t height, std::int32_t maxSide, std::int32_t& w,
                std::int32_t& h) {
  w = h = 0;
  if (width <= 0 || height <= 0) return;
  std::int32_t longest = std::max(width, height);
  if (longest <= maxSide) {
    w = width;
    h = height;
    return;
  }
  auto scale = [&](std::int32_t side) {
    auto value = static_cast<std::int32_t>((std::int64_t{side} * maxSide + longest / 2) / longest);
    return std::max<std::int32_t>(1, value);
  };
  w = scale(width);
  h = scale(height);
}

void RunJob(Folder& f, size_t k, std::int32_t thumbSize) {
  const std::string picture = f.path + f.names[k];
  PictureNotes& n = f.notes[k];
  std::string reason;
  bool headers = ReadPictureHeaders(picture, n.width, n.height, n.taken, reason);
  if (!headers) {
    n.width = n.height = -1;
    n.taken.clear();
  }
  if (f.jobs[k] == JobKind::kThumbnail) {
    platform::ThumbnailMade made;
    platform::ThumbnailFailure failure = platform::ThumbnailFailure::kNone;
    if (platform::MakeThumbnail(picture, thumbSize, f.thumbs + f.names[k], made, failure, reason)) {
      n.thumbnail =
          ThumbnailFileName(f.names[k], made.format == platform::ThumbnailFormat::kPng ? 'p' : 'j');
      n.thumbWidth = made.width;
      n.thumbHeight = made.height;
      return;
    }
    f.failures[k] = failure == platform::ThumbnailFailure::kNone
                        ? platform::ThumbnailFailure::kPicture
                        : failure;
    f.reasons[k] = reason;
    if (f.failures[k] == platform::ThumbnailFailure::kPicture) {
      n.bad = true;
      n.width = n.height = -1;
    }
  } else if (!headers) {
    f.failures[k] = platform::ThumbnailFailure::kPicture;
    f.reasons[k] = reason;
    n.bad = true;
  }
}

void Work(ThumbnailWorkState* s, std::int32_t thumbSize) {
  for (;;) {
    Job job{};
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

void StartWorkers(ThumbnailWorkState& s, std::int32_t thumbSize) {
  if (!s.threads.empty()) return;
  unsigned count = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < count; ++i) s.threads.emplace_back(Work, &s, thumbSize);
}

void StopWorkers(ThumbnailWorkState& s) {
  {
    std::lock_guard lock(s.mutex);
    s.stopping = true;
  }
  s.wake.notify_all();
  for (auto& thread : s.threads) thread.join();
  s.threads.clear();
}

void NameFolder(ThumbnailWorkState& s, const std::string& thumbs, const std::string& reason) {
  if (s.failedFolders.insert(thumbs).second) {
    s.notices.push_back("cannot write thumbnails in " + thumbs + ": " + reason);
  }
}

// The names present in the thumbnail folder, so that a thumbnail deleted by
// hand is made again. One listing per folder.
std::set<std::string> PresentThumbnails(const std::string& thumbs) {
  std::set<std::string> names;
  platform::Enumeration scan;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(scan, thumbs + "*", platform::Listing::kFiles, entry);
       more; more = platform::NextEntry(scan, entry)) {
    names.insert(std::move(entry.name));
  }
  return names;
}

// The folder's new index: what this run learned, and the old records of the
// pictures it could not look at. Thumbnails of pictures that are gone, and
// thumbnails of an outdated kind, are removed.
void WriteIndex(ThumbnailWorkState& s, Folder& f, std::int32_t thumbSize) {
  PictureIndex next;
  for (size_t k = 0; k < f.names.size(); ++k) {
    const PictureNotes& n = f.notes[k];
    auto old = f.old.find(f.names[k]);
    bool made = f.jobs[k] == JobKind::kThumbnail && f.ran[k] &&
                f.failures[k] != platform::ThumbnailFailure::kTarget;
    if (made && n.stamped) {
      PictureRecord r;
      r.size = n.size;
      r.modified = n.modified;
      r.thumbSize = thumbSize;
      r.thumbKind =
          n.bad ? 'b'
          : n.thumbnail.size() > 4 && n.thumbnail.compare(n.thumbnail.size() - 4, 4, ".png") == 0
              ? 'p'
              : 'j';
      if (!n.bad) {
        r.thumbWidth = n.thumbWidth;
        r.thumbHeight = n.thumbHeight;
      }
      r.width = n.width;
      r.height = n.height;
      r.taken = n.taken;
      next[f.names[k]] = r;
    } else if (old != f.old.end() && (f.jobs[k] != JobKind::kNone || n.stamped)) {
      next[f.names[k]] = old->second;  // still valid, or not looked at this time
    }
  }
  for (const auto& [name, r] : f.old) {
    if (r.thumbKind != 'j' && r.thumbKind != 'p') continue;
    auto now = next.find(name);
    if (now != next.end() && now->second.thumbKind == r.thumbKind) continue;
    std::string reason;
    platform::RemoveOwnFile(f.thumbs + ThumbnailFileName(name, r.thumbKind), reason);
  }
  if (next.empty() && !f.hadIndex) return;
  std::string text = FormatPictureIndex(next), reason;
  if (f.hadIndex && text == f.oldText) return;
  if (!platform::ReplaceTextFile(f.thumbs + kThumbnailIndexName, text,
                                 platform::TextEncoding::kUtf8Bom, reason)) {
    NameFolder(s, f.thumbs, reason);
  }
}

// Completes a folder whose jobs are all done: its thumbnail sizes without a
// thumbnail, what it has to report, and its index.
void Complete(ThumbnailWorkState& s, Folder& f, const ThumbnailWants& wants) {
  f.finished = true;
  for (size_t k = 0; k < f.names.size(); ++k) {
    PictureNotes& n = f.notes[k];
    if (n.bad) {
      std::string reason = f.reasons[k].empty() ? "it could not be decoded" : f.reasons[k];
      s.notices.push_back((wants.thumbnails ? "cannot make a thumbnail of " : "cannot read ") +
                          f.path + f.names[k] + ": " + reason);
    } else if (f.failures[k] == platform::ThumbnailFailure::kTarget) {
      NameFolder(s, f.thumbs, f.reasons[k]);
    }
    if (n.thumbnail.empty() && !n.bad) {
      ScaledSize(n.width, n.height, wants.thumbSize, n.thumbWidth, n.thumbHeight);
    }
  }
  if (f.indexed) WriteIndex(s, f, wants.thumbSize);
}

}  // namespace

ThumbnailWants WantsOf(const std::string& fileItemText, std::int32_t thumbSize) {
  ThumbnailWants wants;
  wants.thumbnails = Holds(fileItemText, kThumbnailPlaceholders, std::size(kThumbnailPlaceholders));
  wants.facts = Holds(fileItemText, kFactPlaceholders, std::size(kFactPlaceholders));
  wants.thumbSize = thumbSize;
  return wants;
}

ThumbnailWork::ThumbnailWork(const ThumbnailWants& w)
    : wants(w), state(std::make_unique<ThumbnailWorkState>()) {}

ThumbnailWork::~ThumbnailWork() {
  if (state) StopWorkers(*state);
}

int PrepareThumbnailFolder(ThumbnailWork& work, const std::string& folder,
                           const std::vector<std::string>& names, bool writable) {
  ThumbnailWorkState& s = *work.state;
  const ThumbnailWants& wants = work.wants;
  auto owned = std::make_unique<Folder>();
  Folder& f = *owned;
  f.path = WithTrailingSeparator(folder);
  f.thumbs = f.path + kThumbnailFolderName + platform::kSeparator;
  f.names = names;
  size_t count = names.size();
  f.notes.resize(count);
  f.jobs.assign(count, JobKind::kNone);
  f.ran.assign(count, 0);
  f.failures.assign(count, platform::ThumbnailFailure::kNone);
  f.reasons.resize(count);
  f.indexed = wants.thumbnails && writable;
  platform::TextEncoding encoding;
  std::string reason;
  f.hadIndex = platform::ReadTextFile(f.thumbs + kThumbnailIndexName, f.oldText, encoding, reason);
  if (f.hadIndex) f.old = ParsePictureIndex(f.oldText);
  std::set<std::string> present;
  if (wants.thumbnails && !f.old.empty()) present = PresentThumbnails(f.thumbs);

  bool anyThumbnail = false;
  // The pictures of one folder are looked up by name alone. No other batch
  // exists here: the page generator starts its own only after this.
  platform::FileStampBatch batch;
  for (size_t k = 0; k < count; ++k) {
    PictureNotes& n = f.notes[k];
    platform::FileStamp stamp;
    n.stamped = platform::GetFileStamp(f.path + names[k], stamp, reason);
    if (!n.stamped) continue;  // gone since it was listed: nothing to show of it
    n.size = stamp.size;
    n.modified = stamp.modified;
    auto found = f.old.find(names[k]);
    bool factsValid = found != f.old.end() && found->second.size == stamp.size &&
                      found->second.modified == stamp.modified;
    if (factsValid) {
      const PictureRecord& r = found->second;
      n.width = r.width;
      n.height = r.height;
      n.taken = r.taken;
      n.bad = r.thumbKind == 'b';
      if (n.bad) n.width = n.height = -1;
    }
    if (!wants.thumbnails) {
      if (!factsValid) f.jobs[k] = JobKind::kFacts;
      continue;
    }
    const PictureRecord* r = factsValid ? &found->second : nullptr;
    if (r && (r->thumbKind == 'j' || r->thumbKind == 'p') && r->thumbSize == wants.thumbSize &&
        present.count(ThumbnailFileName(names[k], r->thumbKind)) != 0) {
      n.thumbnail = ThumbnailFileName(names[k], r->thumbKind);
      n.thumbWidth = r->thumbWidth;
      n.thumbHeight = r->thumbHeight;
    } else if (r && r->thumbKind == 'b') {
      // Undecodable and unchanged: not tried again.
    } else if (writable) {
      f.jobs[k] = JobKind::kThumbnail;
      n.bad = false;
      anyThumbnail = true;
    } else if (!factsValid) {
      f.jobs[k] = JobKind::kFacts;
    }
  }
  if (anyThumbnail && !platform::MakeThumbnailFolder(f.thumbs, reason)) {
    NameFolder(s, f.thumbs, reason);
    f.indexed = false;
    for (size_t k = 0; k < count; ++k) {
      if (f.jobs[k] == JobKind::kThumbnail) f.jobs[k] = JobKind::kFacts;
    }
  }

  std::lock_guard lock(s.mutex);
  int number = static_cast<int>(s.folders.size());
  for (size_t k = 0; k < count; ++k) {
    if (f.jobs[k] == JobKind::kNone) continue;
    if (s.queued == s.finished && s.queue.empty()) s.firstQueued = Clock::now();
    s.queue.push_back(Job{&f, k});
    ++f.outstanding;
    ++s.queued;
  }
  s.folders.push_back(std::move(owned));
  if (f.outstanding > 0) {
    StartWorkers(s, wants.thumbSize);
    s.wake.notify_all();
  }
  return number;
}

bool FinishThumbnailFolder(ThumbnailWork& work, int folder) {
  ThumbnailWorkState& s = *work.state;
  Folder& f = *s.folders[static_cast<size_t>(folder)];
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
  bool cancelled = s.cancelled;
  lock.unlock();
  if (!f.finished) Complete(s, f, work.wants);
  return !cancelled;
}

const PictureNotes& NotesOf(const ThumbnailWork& work, int folder, int k) {
  return work.state->folders[static_cast<size_t>(folder)]->notes[static_cast<size_t>(k)];
}

bool ThumbnailWorkCancelled(const ThumbnailWork& work) {
  std::lock_guard lock(work.state->mutex);
  return work.state->cancelled;
}

std::vector<std::string> EndThumbnailWork(ThumbnailWork& work) {
  ThumbnailWorkState& s = *work.state;
  StopWorkers(s);
  // Folders left unfinished (after a cancel or a failed page) keep the
  // thumbnails made so far: their indexes record them.
  for (auto& folder : s.folders) {
    if (!folder->finished) Complete(s, *folder, work.wants);
  }
  if (s.progressShown) platform::EndProgress();
  s.progressShown = false;
  return std::move(s.notices);
}
