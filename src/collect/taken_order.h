// The order of pictures by the date they were taken.
#pragma once

#include <string>

#include "collect/picture_facts.h"
#include "text/names.h"

/// When the picture at path was taken: its date of PhotoDates (EXIF
/// DateTimeOriginal first), or for a file that is no picture but a video its
/// recording date, else its file's modification time in local time; all
/// zero when none can be read.
CivilTime TakenTime(const std::string& path);

/// Sorts the entries first..end-1 of names, pictures in folder (which ends in
/// the separator), by TakenTime, oldest first, equal times in natural order;
/// the other way round when descending. Stable.
void SortByTaken(const std::string& folder, NameList& names, size_t first, size_t end,
                 bool descending);
