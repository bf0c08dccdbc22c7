// The reasons that both ports give in their own words, the same on every
// system: a page that is not replaced. Portable code.
#pragma once

namespace platform {

/// A page's place holds a folder.
inline constexpr char kFolderInPagePlace[] = "a folder stands where the page should be written";
/// The page to be replaced is read-only.
inline constexpr char kPageReadOnly[] = "the existing page is read-only";

}  // namespace platform
