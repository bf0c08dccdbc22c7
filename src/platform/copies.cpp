#include "platform/copies.h"

#include <algorithm>
#include <numeric>

namespace platform {

std::int32_t CopySide(const WantedCopy& copy) {
  return std::max<std::int32_t>(1, copy.longestSide);
}

std::vector<std::size_t> LargestFirst(const std::vector<WantedCopy>& wanted) {
  std::vector<std::size_t> order(wanted.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return CopySide(wanted[a]) > CopySide(wanted[b]);
  });
  return order;
}

}  // namespace platform
