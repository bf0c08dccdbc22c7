// The worker pool of the thumbnail work: a queue of pictures, one worker per
// core that reads a picture's headers and makes its copies, and the
// caller's waiting for one folder at a time, with progress and Cancel. The
// folders' look-ups and indexes are thumbnails.cpp's business; only it
// includes this header.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collect/thumb_index.h"
#include "collect/thumbnails.h"
#include "platform/platform.h"

/// What was queued for a picture.
enum class JobKind : char {
  kNone,    // its values came from the index, or cannot be had
  kFacts,   // its headers are read
  kCopies,  // its headers are read and its thumbnail or preview (or both) made
};

/// One folder of the work. A worker writes only the entries of its own
/// picture (notes, ran, failures, reasons at k); the rest belongs to the
/// caller's thread, and outstanding to the pool's lock.
struct ThumbFolder {
  std::string path;    // ends in the separator
  std::string thumbs;  // the thumbnail folder, ending in the separator
  std::vector<std::string> names;
  std::vector<PictureNotes> notes;
  std::vector<JobKind> jobs;
  std::vector<char> wantThumb, wantPreview;  // which copies a kCopies job makes
  std::vector<char> ran;                     // the job ran (not skipped after a cancel)
  std::vector<platform::CopyFailure> failures;
  std::vector<platform::MissingDecoder> missing;  // the system lacks its decoder
  std::vector<std::string> reasons;
  PictureIndex old;
  std::string oldText;
  bool hadIndex = false;
  bool indexed = false;  // its index is kept up to date by this run
  int outstanding = 0;
  bool finished = false;
};

/// The queue, its workers and the progress shown while waiting.
struct ThumbPool {
  struct Job {
    ThumbFolder* folder;
    size_t k;
  };
  std::mutex mutex;
  std::condition_variable wake;  // a job was queued, or the work stops
  std::condition_variable done;  // a job ended
  std::deque<Job> queue;
  std::vector<std::thread> threads;
  bool stopping = false;
  bool cancelled = false;
  std::int64_t queued = 0;
  std::int64_t finished = 0;
  std::chrono::steady_clock::time_point firstQueued;
  bool progressShown = false;
};

/// Queues every job of the folder that is not kNone and, when there is one,
/// starts the workers unless they run already: as many as cores, making
/// copies of the sizes wants gives. A picture wanting a preview that is its
/// own (a JPEG, PNG or GIF no larger than the preview) gets no preview copy.
void QueueFolderJobs(ThumbPool& pool, ThumbFolder& folder, const ThumbnailWants& wants);

/// Waits until the folder's jobs are done. Once the work has lasted a second
/// the progress shows, and a Cancel there makes the workers skip the jobs
/// left. False when the work was cancelled (before or while waiting).
bool WaitForFolder(ThumbPool& pool, ThumbFolder& folder);

/// True once the work was cancelled.
bool PoolCancelled(ThumbPool& pool);

/// Stops the workers: the jobs still queued are skipped (their folders'
/// outstanding counts still fall to 0). Harmless when none run.
void StopWorkers(ThumbPool& pool);

/// Closes the progress when it was shown.
void CloseProgress(ThumbPool& pool);
