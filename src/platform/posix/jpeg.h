// JPEG decoding at reduced scale with libjpeg-turbo, for the POSIX picture
// engine. Not part of the seam: nothing above src/platform includes it.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// A JPEG decoded at reduced scale: rows of 8-bit samples, top row first, as
/// stored (orientation not applied).
struct JpegPixels {
  std::vector<unsigned char> samples;
  int width = 0;
  int height = 0;
  int bands = 0;        // 1 grey, 3 RGB, 4 CMYK (never inverted)
  int orientation = 1;  // EXIF orientation, 1 to 8
  std::string icc;      // the embedded colour profile, if any
};

/// The smallest DCT scale num/denom, in lowest terms, at which a w x h JPEG
/// still covers a copy whose longest side is maxSide (never enlarged): a
/// larger copy gets a larger scale. With anyEighth every n/8 from 1/8 to 1
/// may be chosen (a 6000 x 4000 photo's 2048 preview: 3/8); without it only
/// 1/8, 1/4, 1/2 and 1.
void ChooseScale(double w, double h, int maxSide, bool anyEighth, unsigned& num, unsigned& denom);

/// Decodes a whole JPEG file's bytes at the ChooseScale scale for maxSide,
/// the longest side of the largest copy wanted. False with libjpeg's reason
/// when the data is damaged or cut off.
bool DecodeJpegScaled(const std::string& bytes, int maxSide, bool anyEighth, JpegPixels& out,
                      std::string& reason);

}  // namespace platform
