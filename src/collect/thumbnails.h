// Thumbnails, previews and picture facts for the pages: per folder, the
// pictures are looked up in the thumbnail folder's index; those that changed
// (or are new) are read and get their new copies, from one decode, on all
// cores (the pool of thumb_work.h),
// while the caller goes on with other folders. Pages stay deterministic: the
// caller waits for a folder's pictures before it expands them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/picture_types.h"

/// What a page needs of one picture.
struct PictureNotes {
  bool stamped = false;  // size and time below were read
  std::int64_t size = 0;
  std::int64_t modified = 0;
  std::int32_t width = -1;  // displayed size (after EXIF orientation); -1: unknown
  std::int32_t height = -1;
  std::string taken;               // "YYYY:MM:DD HH:MM:SS", or empty
  std::string thumbnail;           // the thumbnail's file name in the thumbnail folder, or empty
  std::int32_t thumbWidth = 0;     // its pixel size; without a thumbnail the size one
  std::int32_t thumbHeight = 0;    // would have had, when the picture's size is known
  std::string preview;             // the preview's file name in the thumbnail folder, or empty:
  bool ownPreview = false;         // then the picture itself is shown (its own preview, when
  std::int32_t previewWidth = 0;   // ownPreview); the size of what is shown, or 0 when
  std::int32_t previewHeight = 0;  // unknown
  bool bad = false;                // the picture cannot be decoded
  bool video = false;              // a video: the copies are of its poster frame
  std::int64_t durationMs = 0;     // a video's length; 0: unknown
  std::string caption;             // what the picture's headers tell (PictureFacts), or empty
  std::string sidecarCaption;      // what a text file beside it tells (SidecarCaptions), or empty
};

/// The caption a page shows: the text file's, else the picture's own.
inline const std::string& CaptionOf(const PictureNotes& notes) {
  return notes.sidecarCaption.empty() ? notes.caption : notes.sidecarCaption;
}

/// Which of the pictures' values the pages ask for (the page layer reads it
/// off the template).
struct ThumbnailWants {
  bool thumbnails = false;          // thumbnails are made (and their sizes known)
  bool previews = false;            // previews are made, where a picture is not its own
  bool facts = false;               // displayed sizes and dates taken are read
  bool captions = false;            // text files beside the pictures are read for captions
  std::int32_t thumbSize = 400;     // the thumbnails' longest side
  std::int32_t previewSize = 2048;  // the previews' longest side
  PictureTypes videos;              // the extensions of the names that are videos
  bool Any() const { return thumbnails || previews || facts || captions; }
  bool Copies() const { return thumbnails || previews; }
};

struct ThumbnailWorkState;

/// The thumbnail work of one run: its worker threads (started with the first
/// folder), its folders, and what it has to report.
struct ThumbnailWork {
  ThumbnailWants wants;
  std::unique_ptr<ThumbnailWorkState> state;
  explicit ThumbnailWork(const ThumbnailWants& w);
  ThumbnailWork(const ThumbnailWork&) = delete;
  ThumbnailWork& operator=(const ThumbnailWork&) = delete;
  ~ThumbnailWork();  // waits for the running jobs; writes nothing more
};

/// Looks up the pictures (bare names) of folder (ending in the separator) and
/// queues the work they need; returns the folder's number for the calls below.
/// With writable false, nothing is written there (no thumbnail, no index):
/// thumbnails already made are used, other values are read from the headers.
int PrepareThumbnailFolder(ThumbnailWork& work, const std::string& folder,
                           const std::vector<std::string>& names, bool writable);

/// Waits until the folder's pictures are done, showing progress when the work
/// lasts, and writes the folder's index when it changed. False when the user
/// cancelled: then nothing more is started.
bool FinishThumbnailFolder(ThumbnailWork& work, int folder);

/// The notes of the folder's k-th picture (from 0), once the folder is finished.
const PictureNotes& NotesOf(const ThumbnailWork& work, int folder, int k);

/// True once the user cancelled the work.
bool ThumbnailWorkCancelled(const ThumbnailWork& work);

/// Ends the work: after a cancel, keeps what was made so far (the indexes of
/// unfinished folders are written); closes the progress. Returns the lines to
/// report: pictures without a thumbnail, and each folder where thumbnails could
/// not be written, once.
std::vector<std::string> EndThumbnailWork(ThumbnailWork& work);

/// Reads a video's displayed size, recording date and length from its
/// container, and the source the media engine needs for its poster (its
/// length and display turn). False, with a reason, when they cannot be read.
bool ReadVideoHeaders(const std::string& path, PictureNotes& notes, platform::MediaSource& source,
                      std::string& reason);

/// Reads the displayed size, the date taken and the caption of a picture from
/// its headers, and whether a browser shows the file as it is (a JPEG, PNG or
/// GIF). False, with a reason, when they cannot be read.
bool ReadPictureHeaders(const std::string& path, std::int32_t& width, std::int32_t& height,
                        std::string& taken, std::string& caption, bool& shownAsIs,
                        std::string& reason);
