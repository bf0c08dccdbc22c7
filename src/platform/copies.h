// The order in which a picture's display copies are made: the part of the
// media seam both ports share. Portable code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace platform {

/// The longest side a wanted copy gets: its longestSide, or 1 where that is
/// smaller than 1.
std::int32_t CopySide(const WantedCopy& copy);

/// The positions of the wanted copies, largest first (by CopySide; equal
/// sides in the order asked): the decode covers the first, and each later one
/// is shrunk from the one before it.
std::vector<std::size_t> LargestFirst(const std::vector<WantedCopy>& wanted);

}  // namespace platform
