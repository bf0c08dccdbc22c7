// The Windows port, paths and folders. Sections, in order:
//   1. Long paths: every file call gets "\\?\" (or "\\?\UNC\") in front.
//   2. Enumeration: FindFirstFileExW's own "*" and "?", hidden and system
//      entries left out, links counted as what they lead to.
//   3. What a path is: KindOfPath, GetFolderId (with the final path where a
//      share reports no file index).
//   4. File stamps: a link's target's size and time.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/win32/internal.h"

namespace platform {

using win32::Long;
using win32::UniqueHandle;
using win32::Utf8;
using win32::Wide;

// 1. Long paths --------------------------------------------------------------------

std::wstring win32::LongPath(const std::wstring& path) {
  auto startsWith = [](const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
  };
  if (path.empty() || startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\")) return path;
  // The full path resolves "." and "..", turns "/" into "\\" and drops
  // trailing dots and blanks, as Windows does to every path without the prefix.
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  if (startsWith(full, L"\\\\?\\") || startsWith(full, L"\\\\.\\")) return full;
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

std::wstring win32::Long(const std::string& path) { return LongPath(Wide(path)); }

namespace {

// What a path leads to, links followed: its information from an open handle.
// False when it cannot be opened, as for a link that leads nowhere.
bool TargetInformation(const std::wstring& longPath, BY_HANDLE_FILE_INFORMATION& info) {
  // Backup semantics let CreateFileW open a folder; no access right is needed
  // to read its information.
  UniqueHandle file(CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.Valid() && GetFileInformationByHandle(file.handle, &info) != 0;
}

// 2. Enumeration -------------------------------------------------------------------

bool Admits(DWORD attributes, Listing listing) {
  if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return listing == Listing::kFilesAndFolders;
  return true;
}

}  // namespace

struct EnumerationState {
  HANDLE find = INVALID_HANDLE_VALUE;
  Listing listing = Listing::kFiles;
  std::wstring folder;   // the pattern up to its last separator, for links
  bool pending = false;  // data holds an entry not yet looked at
  WIN32_FIND_DATAW data{};
  EnumerationState() = default;
  EnumerationState(const EnumerationState&) = delete;
  EnumerationState& operator=(const EnumerationState&) = delete;
  ~EnumerationState() {
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
};

Enumeration::Enumeration() = default;
Enumeration::~Enumeration() = default;

bool StartEnumeration(Enumeration& e, const std::string& pattern, Listing listing,
                      DirEntry& entry) {
  std::wstring wide = Wide(pattern);
  // A pattern that ends in a separator (or is empty) lists the folder's own
  // entries; FindFirstFileExW itself finds nothing for it.
  if (wide.empty() || wide.back() == L'\\' || wide.back() == L'/') wide += L'*';
  wide = win32::LongPath(wide);
  e.state = std::make_unique<EnumerationState>();
  EnumerationState* s = e.state.get();
  s->listing = listing;
  s->folder = wide.substr(0, wide.find_last_of(L'\\') + 1);
  s->find = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &s->data, FindExSearchNameMatch,
                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
  s->pending = s->find != INVALID_HANDLE_VALUE;
  return NextEntry(e, entry);
}

bool NextEntry(Enumeration& e, DirEntry& entry) {
  EnumerationState* s = e.state.get();
  if (s == nullptr) return false;
  while (s->find != INVALID_HANDLE_VALUE) {
    if (!s->pending && !FindNextFileW(s->find, &s->data)) break;
    s->pending = false;
    DWORD attributes = s->data.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0) {
      // A link counts as what it leads to; one that leads nowhere is skipped.
      BY_HANDLE_FILE_INFORMATION target{};
      if (!TargetInformation(s->folder + s->data.cFileName, target)) continue;
      attributes = (attributes & ~FILE_ATTRIBUTE_DIRECTORY) |
                   (target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    if (!Admits(attributes, s->listing)) continue;
    entry.name = Utf8(std::wstring(s->data.cFileName));
    entry.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
  EndEnumeration(e);
  return false;
}

void EndEnumeration(Enumeration& e) { e.state.reset(); }

// 3. What a path is ----------------------------------------------------------------

PathKind KindOfPath(const std::string& path) {
  PathKind result;
  DWORD attributes = GetFileAttributesW(Long(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return result;
  bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.kind = folder ? EntryKind::kFolder : EntryKind::kFile;
  result.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return result;
}

FolderId win32::IdentityOf(DWORD serial, std::uint64_t index, HANDLE folder) {
  if (index != 0) return FolderId{serial, index};
  // No index (some shares): the folder's final path names it. Each distinct
  // path gets a number of its own; bit 32 of the volume keeps these apart
  // from identities made of a real 32-bit serial and index. The numbers are
  // state of the process, as platform.h says.
  static std::map<std::wstring, std::uint64_t> numbers;
  static std::uint64_t unnamed = 0;
  const std::uint64_t pathVolume = (std::uint64_t{1} << 32) | serial;
  std::wstring path(1024, L'\0');
  for (;;) {
    DWORD length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      // Not even a path: an identity equal to no other, so the folder is
      // still entered (the depth limit ends any cycle through it).
      return FolderId{pathVolume | (std::uint64_t{1} << 33), ++unnamed};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.assign(length + 1, L'\0');
  }
  auto found = numbers.emplace(path, numbers.size() + 1).first;
  return FolderId{pathVolume, found->second};
}

bool GetFolderId(const std::string& path, FolderId& id) {
  // Backup semantics let CreateFileW open a folder; no access right is needed
  // to read its identity.
  UniqueHandle folder(CreateFileW(Long(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(folder.handle, &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  id = win32::IdentityOf(info.dwVolumeSerialNumber,
                         (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                         folder.handle);
  return true;
}

// 4. File stamps -------------------------------------------------------------------

// Windows looks each path up whole; a batch changes nothing here.
FileStampBatch::FileStampBatch() {}
FileStampBatch::~FileStampBatch() {}

bool GetFileStamp(const std::string& path, FileStamp& stamp, std::string& reason) {
  std::wstring file = Long(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    reason = win32::SystemReason(GetLastError());
    return false;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // The attributes describe the link itself: ask what it leads to.
    BY_HANDLE_FILE_INFORMATION target{};
    if (!TargetInformation(file, target)) {
      reason = win32::SystemReason(GetLastError());
      return false;
    }
    data.nFileSizeHigh = target.nFileSizeHigh;
    data.nFileSizeLow = target.nFileSizeLow;
    data.ftLastWriteTime = target.ftLastWriteTime;
  }
  stamp.size =
      static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  auto ticks =
      static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
  stamp.modified = ticks / win32::kTicksPerSecond - win32::kEpochDifference;
  return true;
}

}  // namespace platform
