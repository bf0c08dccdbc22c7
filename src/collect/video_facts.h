// What a video file's container tells without decoding it: its duration, the
// size and display rotation of its video track, and when it was recorded.
// MP4 and QuickTime (ISO base media boxes), WebM and Matroska (EBML).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "collect/picture_facts.h"

enum class VideoFormat { kUnknown, kMp4, kQuickTime, kWebm, kMatroska };

/// Where the recording date came from: none found (the caller uses the
/// file's time); the local time the camera wrote with its offset, kept as
/// recorded (Apple's com.apple.quicktime.creationdate); or a UTC time (MP4's
/// mvhd creation time, Matroska's DateUTC) shown in the user's local time.
enum class VideoDate { kNone, kRecorded, kUtc };

/// The facts of one clip. durationMs is the length in milliseconds, rounded
/// to the nearest, 0 when the container states none (a live recording).
/// storedWidth/storedHeight are the video track's size before its display
/// matrix; rotation is the clockwise turn the matrix asks for (0, 90, 180 or
/// 270) after a left-right mirror when mirrored; orientation is the same as
/// the EXIF value 1..8 that pictures use; width/height are the displayed size
/// (stored size swapped for 90 and 270). taken is "YYYY:MM:DD HH:MM:SS" as
/// PictureFacts holds it, with takenTime; empty and all zero for kNone.
struct VideoFacts {
  VideoFormat format = VideoFormat::kUnknown;
  std::int64_t durationMs = 0;
  std::uint32_t storedWidth = 0, storedHeight = 0;
  int rotation = 0;
  bool mirrored = false;
  int orientation = 1;
  std::uint32_t width = 0, height = 0;
  std::string taken;
  CivilTime takenTime;
  VideoDate takenFrom = VideoDate::kNone;
};

/// Reads up to count bytes at offset into bytes (fewer at the end of the
/// file); false when they cannot be read.
using VideoBytes = std::function<bool(std::int64_t offset, std::size_t count, std::string& bytes)>;

/// Reads the facts from a file of fileSize bytes through read, which it calls
/// a bounded number of times for parts of at most a few MiB: it seeks over
/// media data (an mdat or a Cluster), never reads it. Any bytes are safe:
/// every size is checked against its parent and the file, nesting and loops
/// are bounded. False, with a reason, when the bytes are not a clip of a
/// known kind, the header is damaged or cut short, or no video track is there.
bool ParseVideoFacts(const VideoBytes& read, std::int64_t fileSize, VideoFacts& facts,
                     std::string& reason);

/// Reads a video file's facts with ParseVideoFacts over platform::ReadFileBytes.
bool ReadVideoFacts(const std::string& path, VideoFacts& facts, std::string& reason);
