#include "platform/posters.h"

#include <algorithm>

namespace platform {

std::vector<std::int64_t> PosterTimes(std::int64_t durationMs) {
  if (durationMs <= 0 || durationMs >= 10000) return {1000, 2000, 3000};
  return {durationMs / 10, durationMs / 4, durationMs / 2};
}

double MeanLuma(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                int bytesPerPixel, bool bgr) {
  if (pixels == nullptr || width <= 0 || height <= 0) return 0;
  const int stepX = std::max(1, width / 64), stepY = std::max(1, height / 64);
  const int r = bgr ? 2 : 0, b = bgr ? 0 : 2;
  double sum = 0;
  long count = 0;
  for (int y = 0; y < height; y += stepY) {
    const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; x += stepX) {
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
      sum += 0.299 * p[r] + 0.587 * p[1] + 0.114 * p[b];
      ++count;
    }
  }
  return sum / static_cast<double>(count);
}

std::string FrameTooLargeReason(std::int64_t width, std::int64_t height) {
  return "the frame is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

}  // namespace platform
