// A clip's length as a person reads it, as video players show it.
#pragma once

#include <cstdint>
#include <string>

/// Minutes and seconds below an hour ("0:07", "12:34"), hours, minutes and
/// seconds from an hour on ("1:02:03", "12:00:00"). Seconds are rounded to
/// the nearest (halves up), and the form is chosen after rounding, so
/// 3,599.5 s is "1:00:00". A clip shorter than half a second still shows
/// "0:01", never "0:00"; no length (0 or less: the container states none)
/// gives "".
std::string DurationText(std::int64_t milliseconds);
