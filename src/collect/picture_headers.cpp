// The bridge from the picture and video header readers to the thumbnail work.
#include <cstdint>

#include "collect/picture_facts.h"
#include "collect/thumbnails.h"
#include "collect/video_facts.h"

bool ReadVideoHeaders(const std::string& path, PictureNotes& notes, platform::MediaSource& source,
                      std::string& reason) {
  VideoFacts facts;
  source = platform::MediaSource{};
  source.video = true;
  notes.width = notes.height = -1;
  notes.taken.clear();
  notes.durationMs = 0;
  if (!ReadVideoFacts(path, facts, reason)) return false;
  if (facts.width == 0 || facts.height == 0 || facts.width > INT32_MAX ||
      facts.height > INT32_MAX) {
    reason = "the clip has no frame size";
    return false;
  }
  notes.width = static_cast<std::int32_t>(facts.width);
  notes.height = static_cast<std::int32_t>(facts.height);
  notes.taken = facts.taken;
  notes.durationMs = facts.durationMs;
  source.durationMs = facts.durationMs;
  source.orientation = facts.orientation;
  return true;
}

bool ReadPictureHeaders(const std::string& path, std::int32_t& width, std::int32_t& height,
                        std::string& taken, std::string& caption, bool& shownAsIs,
                        std::string& reason) {
  PictureFacts facts;
  width = height = -1;
  taken.clear();
  caption.clear();
  shownAsIs = false;
  if (!ReadPictureFacts(path, facts, reason)) return false;
  if (facts.width == 0 || facts.height == 0 || facts.width > INT32_MAX ||
      facts.height > INT32_MAX) {
    reason = "the picture has no size";
    return false;
  }
  width = static_cast<std::int32_t>(facts.width);
  height = static_cast<std::int32_t>(facts.height);
  taken = facts.taken;
  caption = facts.caption;
  shownAsIs = facts.format == PictureFormat::kJpeg || facts.format == PictureFormat::kPng ||
              facts.format == PictureFormat::kGif;
  return true;
}
