// Which frame of a clip becomes its poster: the part of poster making both
// media engines share. Portable code; the engines seek, decode and measure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

/// The times (milliseconds from the start) a poster frame is looked for, in
/// the order tried. A clip of 10 s or more, or of unknown length (0 or less),
/// is tried near 1, 2 and 3 s; a shorter one at a tenth, a quarter and a half
/// of its length (so the first time moves smoothly across the 10 s border).
std::vector<std::int64_t> PosterTimes(std::int64_t durationMs);

/// The mean brightness (BT.601 luma, 0..255) of 8-bit pixels of bytesPerPixel
/// bytes each (3 or 4; red first, or blue first when bgr), rows stride bytes
/// apart, sampled on a grid of at most 64 by 64 points. 0 for no pixels.
double MeanLuma(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                int bytesPerPixel, bool bgr);

/// A frame darker than this (about a tenth of full brightness) is a fade-in
/// or a black lead-in: the next time is tried, and the brightest frame found
/// is the poster.
inline constexpr double kNearlyBlackLuma = 24.0;

inline bool NearlyBlack(double meanLuma) { return meanLuma < kNearlyBlackLuma; }

/// The largest frame a poster is decoded from: 16384 on a side, 100
/// megapixels in all. A clip that states more is refused before anything is
/// allocated for it, with FrameTooLargeReason ("the frame is too large (W x H)").
inline constexpr std::int64_t kMaxFrameSide = 16384;
inline constexpr std::int64_t kMaxFramePixels = 100'000'000;

inline bool FrameTooLarge(std::int64_t width, std::int64_t height) {
  return width > kMaxFrameSide || height > kMaxFrameSide || width * height > kMaxFramePixels;
}

std::string FrameTooLargeReason(std::int64_t width, std::int64_t height);

}  // namespace platform
