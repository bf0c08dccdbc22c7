// What the Windows port's files share, and the parts of it that its own tests
// reach directly: the decisions that a test cannot bring about through a real
// file system. Only the files of src/platform/win32 include it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace platform::win32 {

// Text at the seam -----------------------------------------------------------

/// The flags for WideCharToMultiByte into codePage on a system whose ANSI
/// code page is acp: none where the result is UTF-8 (Windows rejects
/// WC_NO_BEST_FIT_CHARS there), else no look-alike characters.
DWORD EncodeFlags(UINT codePage, UINT acp);

/// Converts wide text into codePage; false when Windows cannot, and then
/// bytes is left empty.
bool Encode(UINT codePage, const std::wstring& wide, std::string& bytes);

/// Bytes in codePage as wide text; empty when they cannot be converted.
std::wstring Decode(UINT codePage, const char* bytes, size_t size);

/// UTF-8 text as wide text, and back.
std::wstring Wide(const std::string& text);
std::string Utf8(const wchar_t* wide, size_t size);
std::string Utf8(const std::wstring& wide);

/// The system's own text for an error code (a Win32 error or an HRESULT),
/// without the line end it ends in; empty when the system has none.
std::string SystemText(DWORD code);

/// SystemText, or "system error N" where the system has no text.
std::string SystemReason(DWORD error);

/// Writes text as it is (UTF-8) to standard error, where a message box
/// cannot be shown; nothing when there is no standard error.
void WriteToStandardError(const std::string& text);

/// Seconds between 1601-01-01 (FILETIME's origin) and 1970-01-01, and the
/// FILETIME ticks of a second.
inline constexpr std::int64_t kEpochDifference = 11644473600LL;
inline constexpr std::int64_t kTicksPerSecond = 10000000LL;

// Paths and handles ------------------------------------------------------------

/// The form of a path that every file call gets: absolute, with "\\?\" in
/// front ("\\?\UNC\" for a share), so that no 260-character limit applies.
/// Device paths and paths already in that form stay as they are.
std::wstring LongPath(const std::wstring& path);

/// The long form of a UTF-8 path, for the file calls.
std::wstring Long(const std::string& path);

/// A handle, closed when its holder goes.
struct UniqueHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE value) : handle(value) {}
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle(std::exchange(other.handle, INVALID_HANDLE_VALUE)) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() {
    if (Valid()) CloseHandle(handle);
  }
  bool Valid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  /// Closes now and tells how that went (GetLastError() says why not).
  bool Close() { return !Valid() || CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE)) != 0; }
};

/// Writes all of data to file; false when a write fails (GetLastError()
/// says why).
bool WriteAll(HANDLE file, const char* data, size_t size);

/// Creates a new, empty temporary file in folder (which ends in a
/// separator) and returns its handle; its name, short so that it fits
/// wherever the target's name does, is returned in temp. Safe from any
/// thread. Invalid when none can be made (GetLastError() says why).
UniqueHandle CreateTemporaryFile(const std::wstring& folder, std::wstring& temp);

/// A folder's identity from its volume serial, its file index and an open
/// handle to it. Where the file system reports index 0, the folder's final
/// path names it instead: equal paths give equal identities, and such an
/// identity never equals one made from a real index.
FolderId IdentityOf(DWORD serial, std::uint64_t index, HANDLE folder);

/// ReplaceTextFile, with the code page that kSystem text is written in.
bool ReplaceTextFileIn(UINT codePage, const std::string& path, const std::string& text,
                       TextEncoding encoding, std::string& reason);

// Video ------------------------------------------------------------------------

/// The decoder a clip lacks when Media Foundation fails with hr to open it
/// or to deliver its frames: by the video stream's own subtype (HEVC or
/// H.265: kHevc; VP8 or VP9: kWebm), or, when no source took the file
/// (subtype GUID_NULL), by its first bytes (EBML: kWebm; an MP4 or QuickTime
/// file naming hvc1 or hev1: kHevc). kNone for every other failure (a
/// damaged clip) and for any hr but MF_E_TOPO_CODEC_NOT_FOUND,
/// MF_E_INVALIDMEDIATYPE and MF_E_UNSUPPORTED_BYTESTREAM_TYPE.
MissingDecoder MissingVideoDecoder(HRESULT hr, const GUID& subtype, const std::string& head);

}  // namespace platform::win32
