// What the container readers behind ParseVideoFacts share: a window over the
// file that keeps their reads few and bounded, big-endian numbers, and the
// recording date rules. Internal to src/collect/video_*.cpp and *_facts.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collect/video_facts.h"

namespace video_parts {

/// Bytes read at once when a part lies outside the window (most clips' whole
/// header fits), the largest part handed out, and the bounds on reads and on
/// boxes or elements visited, so that no input makes the walk long.
inline constexpr std::size_t kWindowBytes = 65536;
inline constexpr std::size_t kMaxPartBytes = 4u << 20;
inline constexpr int kMaxReads = 4096;
inline constexpr int kMaxVisits = 100000;

/// A file read through a VideoBytes function, one window at a time.
struct Source {
  Source(const VideoBytes& reader, std::int64_t fileSize) : read(reader), size(fileSize) {}
  const VideoBytes& read;
  std::int64_t size = 0;
  std::string window;
  std::int64_t windowStart = -1;
  int reads = 0;
  int visits = 0;
  /// The count bytes at offset (fewer where the file ends, none past it), valid
  /// until the next call; count is cut to kMaxPartBytes. False when the file
  /// cannot be read or the reads are used up.
  bool Get(std::int64_t offset, std::size_t count, std::string_view& out);
  /// Counts one more box or element; false once kMaxVisits are used up.
  bool Visit() { return ++visits <= kMaxVisits; }
};

/// The n bytes (1..8) at at as an unsigned big-endian number; the caller
/// has checked that they are there.
std::uint64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t n);

/// Sets the recording date from a UTC time (seconds since 1970) shown in
/// local time; false, leaving facts alone, when it is no valid date.
bool SetUtcDate(std::int64_t seconds, VideoFacts& facts);
/// Sets the recording date from "YYYY-MM-DDTHH:MM[:SS][.fff][Z|+HHMM|+HH:MM]"
/// as recorded, its offset ignored; false, leaving facts alone, otherwise.
bool SetRecordedDate(std::string_view text, VideoFacts& facts);

/// Whether the head of a file starts like each kind of container.
bool LooksLikeMp4(std::string_view head);
bool LooksLikeEbml(std::string_view head);

/// The readers of each kind; reason is set when they return false.
bool ParseMp4(Source& source, VideoFacts& facts, std::string& reason);
bool ParseEbml(Source& source, VideoFacts& facts, std::string& reason);

}  // namespace video_parts
