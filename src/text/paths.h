// Path text under the rules of either system: the separator, a trailing
// separator, and a folder's display name. The rules are chosen by a style
// parameter that defaults to the running system's, so the backslash, drive
// letter and share cases are tested in every build.
#pragma once

#include <string>

#include "platform/platform.h"

/// Whose rules a path follows: POSIX ("/" separates) or Windows ("\"
/// separates; "C:" and "\\server\share" start absolute paths).
enum class PathStyle { kPosix, kWindows };

/// The style of the system the program runs on.
inline constexpr PathStyle kNativeStyle =
    platform::kSeparator == '\\' ? PathStyle::kWindows : PathStyle::kPosix;

/// The character that separates path components and ends a folder path.
constexpr char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }

/// The path itself when it already ends in the separator, else the path
/// followed by one; "" gives the separator alone. Only that one character is
/// tested.
std::string WithTrailingSeparator(const std::string& path, PathStyle style = kNativeStyle);

/// The folder's last path component after dropping one trailing separator;
/// "root" when no separator remains; empty after two trailing separators.
std::string FolderDisplayName(const std::string& path, PathStyle style = kNativeStyle);

/// The folder's own name, as a page heading shows it: the last component of
/// the path without its trailing separators; a root ("/", "C:\\") is its own
/// name. In the Windows style "/" separates too, and a drive ("C:photos\\")
/// is no part of the name.
std::string FolderOwnName(const std::string& path, PathStyle style = kNativeStyle);
