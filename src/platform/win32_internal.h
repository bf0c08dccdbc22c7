// Parts of the Windows platform layer that its own tests reach directly:
// the decisions that a test cannot bring about through a real file system.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform::win32 {

/// The flags for WideCharToMultiByte into codePage on a system whose ANSI
/// code page is acp: none where the result is UTF-8 (Windows rejects
/// WC_NO_BEST_FIT_CHARS there), else no look-alike characters.
DWORD EncodeFlags(UINT codePage, UINT acp);

/// Converts wide text into codePage; false when Windows cannot, and then
/// bytes is left empty.
bool Encode(UINT codePage, const std::wstring& wide, std::string& bytes);

/// The form of a path that every file call gets: absolute, with "\\?\" in
/// front ("\\?\UNC\" for a share), so that no 260-character limit applies.
/// Device paths and paths already in that form stay as they are.
std::wstring LongPath(const std::wstring& path);

/// A folder's identity from its volume serial, its file index and an open
/// handle to it. Where the file system reports index 0, the folder's final
/// path names it instead: equal paths give equal identities, and such an
/// identity never equals one made from a real index.
FolderId IdentityOf(DWORD serial, std::uint64_t index, HANDLE folder);

/// ReplaceTextFile, with the code page that kSystem text is written in.
bool ReplaceTextFileIn(UINT codePage, const std::string& path, const std::string& text,
                       TextEncoding encoding, std::string& reason);

}  // namespace platform::win32
