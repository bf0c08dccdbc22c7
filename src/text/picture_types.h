// Which files are pictures: the extensions the "pictures" setting names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// File name extensions that count as pictures: lower case, without the dot.
using PictureTypes = std::vector<std::string>;

/// The list without a "pictures" setting: gif jpg jpeg png bmp.
const PictureTypes& DefaultPictureTypes();

/// Reads a "pictures" value: extensions separated by blanks or commas, in any
/// ASCII letter case, each with or without a leading dot ("jpg .HEIC,webp");
/// repeated ones count once. False, types untouched, when it names none.
bool ParsePictureTypes(std::string_view text, PictureTypes& types);

/// The types of first, followed by those of second that first lacks.
PictureTypes JoinedTypes(const PictureTypes& first, const PictureTypes& second);

/// True when name ends in a dot and one of types, ASCII letter case ignored.
bool HasPictureType(std::string_view name, const PictureTypes& types);
