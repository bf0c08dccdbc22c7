// Reads a picture back into plain pixels, so tests can check what an engine
// wrote by its colours. Each platform reads with its own image library.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

/// A decoded picture: 8-bit RGBA rows, top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
  /// The pixel at (x, y): its four channels.
  const unsigned char* At(int x, int y) const {
    return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
  }
};

/// Decodes the file at path (its first frame, as stored: no orientation
/// applied); false with the reason when it cannot.
bool ReadPixels(const std::string& path, Pixels& pixels, std::string& reason);

}  // namespace testing_support
