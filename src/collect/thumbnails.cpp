#include "collect/thumbnails.h"

#include <algorithm>
#include <map>
#include <set>

#include "collect/captions.h"
#include "collect/thumb_index.h"
#include "collect/thumb_work.h"
#include "platform/platform.h"
#include "text/messages.h"
#include "text/paths.h"

// Sections: the folders' look-ups; their indexes and reports. The worker
// pool is in thumb_work.cpp.

struct ThumbnailWorkState {
  ThumbPool pool;
  std::vector<std::unique_ptr<ThumbFolder>> folders;
  std::vector<std::string> notices;
  std::set<std::string> failedFolders;
  std::map<platform::MissingDecoder, int> missing;  // pictures without their decoder
};

namespace {

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

char KindOf(const std::string& copyName) {
  return copyName.size() > 4 && copyName.compare(copyName.size() - 4, 4, ".png") == 0 ? 'p' : 'j';
}

// The record of a picture whose job ran: what this run learned, over the
// old record where that still holds (the copies this run did not want).
PictureRecord NewRecord(const ThumbFolder& f, size_t k, const PictureIndex::const_iterator old,
                        const ThumbnailWants& wants) {
  const PictureNotes& n = f.notes[k];
  bool valid =
      old != f.old.end() && old->second.size == n.size && old->second.modified == n.modified;
  PictureRecord r = valid ? old->second : PictureRecord{};
  r.size = n.size;
  r.modified = n.modified;
  r.width = n.width;
  r.height = n.height;
  r.taken = n.taken;
  r.video = n.video;
  r.durationMs = n.durationMs;
  r.caption = n.caption;
  r.captionKnown = true;
  if (n.bad) {
    PictureRecord bad;
    bad.size = n.size, bad.modified = n.modified, bad.taken = n.taken, bad.caption = n.caption;
    bad.video = n.video, bad.durationMs = n.durationMs;
    if (n.video) bad.width = n.width, bad.height = n.height;
    bad.thumbSize = wants.thumbSize;
    bad.thumbKind = 'b';
    return bad;
  }
  if (f.wantThumb[k]) {
    r.thumbSize = wants.thumbSize;
    r.thumbKind = KindOf(n.thumbnail);
    r.thumbWidth = n.thumbWidth;
    r.thumbHeight = n.thumbHeight;
  }
  if (f.wantPreview[k]) {
    r.previewSize = wants.previewSize;
    r.previewKind = n.ownPreview ? 'o' : KindOf(n.preview);
    r.previewWidth = n.ownPreview ? std::max(n.width, 0) : n.previewWidth;
    r.previewHeight = n.ownPreview ? std::max(n.height, 0) : n.previewHeight;
  }
  return r;
}

// Removes the copy named by an old record's kind when the new record (if
// any) has none of that kind.
void RemoveOutdated(const ThumbFolder& f, const PictureIndex& next) {
  for (const auto& [name, r] : f.old) {
    auto now = next.find(name);
    std::string reason;
    if ((r.thumbKind == 'j' || r.thumbKind == 'p') &&
        (now == next.end() || now->second.thumbKind != r.thumbKind)) {
      platform::RemoveOwnFile(f.thumbs + ThumbnailFileName(name, r.thumbKind), reason);
    }
    if ((r.previewKind == 'j' || r.previewKind == 'p') &&
        (now == next.end() || now->second.previewKind != r.previewKind)) {
      platform::RemoveOwnFile(f.thumbs + PreviewFileName(name, r.previewKind), reason);
    }
  }
}

// The folder's new index: what this run learned, and the old records of the
// pictures it could not look at. Copies of pictures that are gone, and
// copies of an outdated kind, are removed.
void WriteIndex(ThumbnailWorkState& s, ThumbFolder& f, const ThumbnailWants& wants) {
  PictureIndex next;
  for (size_t k = 0; k < f.names.size(); ++k) {
    auto old = f.old.find(f.names[k]);
    bool made = f.jobs[k] == JobKind::kCopies && f.ran[k] &&
                f.failures[k] != platform::CopyFailure::kTarget &&
                f.missing[k] == platform::MissingDecoder::kNone;
    if (made && f.notes[k].stamped) {
      next[f.names[k]] = NewRecord(f, k, old, wants);
    } else if (old != f.old.end() && (f.jobs[k] != JobKind::kNone || f.notes[k].stamped)) {
      next[f.names[k]] = old->second;  // still valid, or not looked at this time
    }
  }
  RemoveOutdated(f, next);
  if (next.empty() && !f.hadIndex) return;
  std::string text = FormatPictureIndex(next), reason;
  if (f.hadIndex && text == f.oldText) return;
  if (!platform::ReplaceTextFile(f.thumbs + kThumbnailIndexName, text,
                                 platform::TextEncoding::kUtf8Bom, reason)) {
    NameFolder(s, f.thumbs, reason);
  }
}

// Completes a folder whose jobs are all done: its thumbnail sizes without a
// thumbnail, the sizes shown without a preview, what it has to report, and
// its index.
void Complete(ThumbnailWorkState& s, ThumbFolder& f, const ThumbnailWants& wants) {
  f.finished = true;
  for (size_t k = 0; k < f.names.size(); ++k) {
    PictureNotes& n = f.notes[k];
    if (n.bad) {
      std::string reason = f.reasons[k].empty() ? "it could not be decoded" : f.reasons[k];
      const char* what = !wants.Copies() ? "cannot read "
                         : n.video       ? "cannot make a poster of "
                                         : "cannot make a thumbnail of ";
      s.notices.push_back(what + f.path + f.names[k] + ": " + reason);
    } else if (f.failures[k] == platform::CopyFailure::kTarget) {
      NameFolder(s, f.thumbs, f.reasons[k]);
    } else if (f.missing[k] != platform::MissingDecoder::kNone) {
      ++s.missing[f.missing[k]];
    }
    if (n.thumbnail.empty() && (!n.bad || n.video)) {
      ScaledSize(n.width, n.height, wants.thumbSize, n.thumbWidth, n.thumbHeight);
    }
    // Without a preview copy the picture itself is shown, at its own size;
    // of a video, its thumbnail (when it has one).
    if (n.preview.empty() && n.video) {
      n.previewWidth = n.thumbnail.empty() ? 0 : n.thumbWidth;
      n.previewHeight = n.thumbnail.empty() ? 0 : n.thumbHeight;
    } else if (n.preview.empty()) {
      n.previewWidth = std::max(n.width, 0);
      n.previewHeight = std::max(n.height, 0);
    }
  }
  if (f.indexed) WriteIndex(s, f, wants);
}

}  // namespace

ThumbnailWork::ThumbnailWork(const ThumbnailWants& w)
    : wants(w), state(std::make_unique<ThumbnailWorkState>()) {}

ThumbnailWork::~ThumbnailWork() {
  if (state) StopWorkers(state->pool);
}

int PrepareThumbnailFolder(ThumbnailWork& work, const std::string& folder,
                           const std::vector<std::string>& names, bool writable) {
  ThumbnailWorkState& s = *work.state;
  const ThumbnailWants& wants = work.wants;
  auto owned = std::make_unique<ThumbFolder>();
  ThumbFolder& f = *owned;
  f.path = WithTrailingSeparator(folder);
  f.thumbs = f.path + kThumbnailFolderName + platform::kSeparator;
  f.names = names;
  size_t count = names.size();
  f.notes.resize(count);
  f.jobs.assign(count, JobKind::kNone);
  f.ran.assign(count, 0);
  f.failures.assign(count, platform::CopyFailure::kNone);
  f.missing.assign(count, platform::MissingDecoder::kNone);
  f.reasons.resize(count);
  f.wantThumb.assign(count, 0);
  f.wantPreview.assign(count, 0);
  f.indexed = wants.Copies() && writable;
  platform::TextEncoding encoding;
  std::string reason;
  f.hadIndex = platform::ReadTextFile(f.thumbs + kThumbnailIndexName, f.oldText, encoding, reason);
  if (f.hadIndex) f.old = ParsePictureIndex(f.oldText);
  std::set<std::string> present;
  if (wants.Copies() && !f.old.empty()) present = PresentThumbnails(f.thumbs);
  std::vector<std::string> sidecars;
  if (wants.captions) sidecars = SidecarCaptions(f.path, names);

  bool anyCopy = false;
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
    n.video = HasPictureType(names[k], wants.videos);
    if (wants.captions) n.sidecarCaption = std::move(sidecars[k]);
    auto found = f.old.find(names[k]);
    // A record of a picture no longer counts when its name became a video's
    // (the settings changed), and the other way round.
    bool factsValid = found != f.old.end() && found->second.size == stamp.size &&
                      found->second.modified == stamp.modified && found->second.video == n.video;
    if (factsValid) {
      const PictureRecord& r = found->second;
      n.width = r.width;
      n.height = r.height;
      n.taken = r.taken;
      n.durationMs = r.durationMs;
      n.caption = r.caption;
      n.bad = r.thumbKind == 'b';
      if (n.bad && !n.video) n.width = n.height = -1;
    }
    // A record older than captions: its picture's headers are read again
    // (its copies stay), once, when captions are wanted.
    bool captionUnknown = factsValid && wants.captions && !found->second.captionKnown;
    if (!wants.Copies()) {
      if (!factsValid || captionUnknown) f.jobs[k] = JobKind::kFacts;
      continue;
    }
    const PictureRecord* r = factsValid ? &found->second : nullptr;
    if (r && r->thumbKind == 'b') continue;  // undecodable and unchanged: not tried again
    bool thumbDone = !wants.thumbnails;
    if (!thumbDone && r && (r->thumbKind == 'j' || r->thumbKind == 'p') &&
        r->thumbSize == wants.thumbSize &&
        present.count(ThumbnailFileName(names[k], r->thumbKind)) != 0) {
      n.thumbnail = ThumbnailFileName(names[k], r->thumbKind);
      n.thumbWidth = r->thumbWidth;
      n.thumbHeight = r->thumbHeight;
      thumbDone = true;
    }
    bool previewDone = !wants.previews;
    if (!previewDone && r && r->previewSize == wants.previewSize &&
        (r->previewKind == 'o' || ((r->previewKind == 'j' || r->previewKind == 'p') &&
                                   present.count(PreviewFileName(names[k], r->previewKind))))) {
      n.ownPreview = r->previewKind == 'o';
      if (!n.ownPreview) n.preview = PreviewFileName(names[k], r->previewKind);
      n.previewWidth = r->previewWidth;
      n.previewHeight = r->previewHeight;
      previewDone = true;
    }
    if (thumbDone && previewDone && !captionUnknown) continue;
    if (writable) {
      f.jobs[k] = JobKind::kCopies;
      f.wantThumb[k] = !thumbDone;
      f.wantPreview[k] = !previewDone;
      anyCopy = true;
    } else if (!factsValid || captionUnknown) {
      f.jobs[k] = JobKind::kFacts;
    }
  }
  if (anyCopy && !platform::MakeThumbnailFolder(f.thumbs, reason)) {
    NameFolder(s, f.thumbs, reason);
    f.indexed = false;
    for (size_t k = 0; k < count; ++k) {
      if (f.jobs[k] == JobKind::kCopies) f.jobs[k] = JobKind::kFacts;
    }
  }

  int number = static_cast<int>(s.folders.size());
  s.folders.push_back(std::move(owned));
  QueueFolderJobs(s.pool, f, wants);
  return number;
}

bool FinishThumbnailFolder(ThumbnailWork& work, int folder) {
  ThumbnailWorkState& s = *work.state;
  ThumbFolder& f = *s.folders[static_cast<size_t>(folder)];
  bool going = WaitForFolder(s.pool, f);
  if (!f.finished) Complete(s, f, work.wants);
  return going;
}

const PictureNotes& NotesOf(const ThumbnailWork& work, int folder, int k) {
  return work.state->folders[static_cast<size_t>(folder)]->notes[static_cast<size_t>(k)];
}

bool ThumbnailWorkCancelled(const ThumbnailWork& work) { return PoolCancelled(work.state->pool); }

std::vector<std::string> EndThumbnailWork(ThumbnailWork& work) {
  ThumbnailWorkState& s = *work.state;
  StopWorkers(s.pool);
  // Folders left unfinished (after a cancel or a failed page) keep the
  // thumbnails made so far: their indexes record them.
  for (auto& folder : s.folders) {
    if (!folder->finished) Complete(s, *folder, work.wants);
  }
  CloseProgress(s.pool);
  // One line per missing decoder, however many pictures or videos need it.
  for (const auto& [decoder, count] : s.missing) {
    using platform::MissingDecoder;
    Message extension = decoder == MissingDecoder::kHeif   ? Message::kHeifExtensions
                        : decoder == MissingDecoder::kAvif ? Message::kAvifExtension
                        : decoder == MissingDecoder::kWebp ? Message::kWebpExtensions
                        : decoder == MissingDecoder::kHevc ? Message::kHevcExtension
                                                           : Message::kWebMediaExtensions;
    bool video = decoder == MissingDecoder::kHevc || decoder == MissingDecoder::kWebm;
    s.notices.push_back(
        MessageText(video ? Message::kMissingVideoDecoder : Message::kMissingDecoder,
                    {std::to_string(count), MessageText(extension)}));
  }
  return std::move(s.notices);
}
