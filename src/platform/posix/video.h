// A clip's poster frame on POSIX systems, decoded with FFmpeg's libraries
// for the picture engine (pictures.cpp), which makes the copies from it.
// Not part of the seam: nothing above src/platform includes it.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/posix/jpeg.h"

namespace platform {

/// Decodes the poster frame of clip (a path of any length) by MediaSource's
/// rule into 8-bit RGB pixels as stored, with frame.orientation set to
/// source.orientation for the caller to turn. Sets decodes, decodedWidth and
/// decodedHeight (the stored frame), posterMs, framesTried and durationMs of
/// stats. Only MP4, QuickTime, Matroska and WebM files are read. False with
/// a reason in plain words when the clip has no decodable video frame;
/// bounded in packets, frames and frame size. Callable from
/// several threads at once on different clips; each decoder uses one thread.
bool DecodePosterFrame(const std::string& clip, const MediaSource& source, JpegPixels& frame,
                       MediaResult& stats, std::string& reason);

}  // namespace platform
