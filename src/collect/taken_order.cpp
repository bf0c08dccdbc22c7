#include "collect/taken_order.h"

#include <cstdint>

#include "collect/video_facts.h"
#include "platform/platform.h"
#include "text/natural_order.h"

CivilTime TakenTime(const std::string& path) {
  PictureFacts facts;
  std::string reason;
  // A picture whose frame header is broken may still carry a date before it.
  // A video has its recording date in its container.
  if (!ReadPictureFacts(path, facts, reason) && facts.taken.empty()) {
    VideoFacts clip;
    if (ReadVideoFacts(path, clip, reason) && !clip.taken.empty()) return clip.takenTime;
  }
  if (!facts.taken.empty()) return facts.takenTime;
  platform::FileStamp stamp;
  platform::LocalTime local;
  if (!platform::GetFileStamp(path, stamp, reason) ||
      !platform::ToLocalTime(stamp.modified, local) || local.year < 1 || local.year > 9999) {
    return CivilTime();
  }
  return {local.year, local.month, local.day, local.hour, local.minute, local.second};
}

void SortByTaken(const std::string& folder, NameList& names, size_t first, size_t end,
                 bool descending) {
  NaturalKeyCache cache;
  SortByKeys(names, first, end, descending, [&](size_t i, std::string& key) {
    // The time as one number, big-endian, so that bytes compare as times;
    // then the name's natural key for equal times.
    CivilTime t = TakenTime(folder + names[i]);
    std::uint64_t value =
        ((((static_cast<std::uint64_t>(t.year) * 16 + t.month) * 32 + t.day) * 32 + t.hour) * 64 +
         t.minute) *
            64 +
        t.second;
    for (int shift = 56; shift >= 0; shift -= 8) key += static_cast<char>((value >> shift) & 0xFF);
    AppendNaturalKey(names[i], cache, key);
  });
}
