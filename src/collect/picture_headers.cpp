// The bridge from the picture header reader to the thumbnail work.
#include <cstdint>

#include "collect/picture_facts.h"
#include "collect/thumbnails.h"

bool ReadPictureHeaders(const std::string& path, std::int32_t& width, std::int32_t& height,
                        std::string& taken, bool& shownAsIs, std::string& reason) {
  PictureFacts facts;
  width = height = -1;
  taken.clear();
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
  shownAsIs = facts.format == PictureFormat::kJpeg || facts.format == PictureFormat::kPng ||
              facts.format == PictureFormat::kGif;
  return true;
}
