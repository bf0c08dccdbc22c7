#include "text/durations.h"

#include <cstdio>

std::string DurationText(std::int64_t milliseconds) {
  if (milliseconds <= 0) return "";
  std::int64_t seconds = milliseconds / 1000 + (milliseconds % 1000 >= 500 ? 1 : 0);
  if (seconds == 0) seconds = 1;
  long long hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
  char text[48];
  if (hours > 0)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
  return text;
}
