// Which embedded colour profiles need converting: the part of the colour
// handling both media engines share. Portable code.
#pragma once

#include <string_view>

namespace platform {

/// True when the ICC profile is an sRGB one: its description names sRGB
/// (any letter case, in a v2 'desc' or a v4 'mluc' text), or it is an RGB
/// profile whose red, green and blue colorants are sRGB's (D50-adapted, to
/// within 0.003). False for every other profile, and for bytes that are no
/// readable profile. A picture with such a profile is converted to sRGB for
/// its copies; one without a profile, or with an sRGB one, keeps its values.
bool IsSrgbProfile(std::string_view icc);

}  // namespace platform
