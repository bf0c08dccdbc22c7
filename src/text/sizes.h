// A file's size as a person reads it, as file managers show it.
#pragma once

#include <cstdint>
#include <string>

/// The size in decimal units (1 KB = 1000 bytes): "0 bytes", "1 byte",
/// "980 bytes", then KB, MB, GB, TB, PB, EB with one decimal below 10 and
/// none from 10 up ("6.6 MB", "412 KB", "12 GB"). Halves round up, and the
/// unit is chosen after rounding, so 999,999 bytes is "1.0 MB", never
/// "1000 KB". The decimal mark is always ".", whatever the locale, so a page
/// does not change with the user who writes it.
std::string SizeText(std::uint64_t bytes);
