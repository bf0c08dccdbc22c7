// The platform layer on Windows. Everything but the functions of platform.h is
// static to this file. Only the wide (W) functions of Windows are called: text
// crosses the seam as UTF-8 and is converted here. The ANSI code page serves
// two things only, the bytes of a template without a byte order mark and the
// bytes of the pages written from it; those bytes are converted as a whole,
// never scanned, so a double-byte character whose second byte is 0x5C stays
// one character and never reads as a backslash.
#include <windows.h>
// windows.h first: the shell headers rely on its definitions.
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/win32_internal.h"

namespace platform {
namespace win32 {

DWORD EncodeFlags(UINT codePage, UINT acp) {
  // CP_ACP stands for the system's code page, which may itself be UTF-8.
  UINT resolved = codePage == CP_ACP ? acp : codePage;
  return resolved == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}

bool Encode(UINT codePage, const std::wstring& wide, std::string& bytes) {
  bytes.clear();
  if (wide.empty()) return true;
  // Characters that the ANSI code page lacks become its default character;
  // no look-alike is put in their place (a full-width backslash stays no
  // backslash).
  DWORD flags = EncodeFlags(codePage, GetACP());
  int size = static_cast<int>(wide.size());
  int length =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  bytes.assign(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr,
                          nullptr) != length) {
    bytes.clear();
    return false;
  }
  return true;
}

std::wstring LongPath(const std::wstring& path) {
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

FolderId IdentityOf(DWORD serial, std::uint64_t index, HANDLE folder) {
  if (index != 0) return FolderId{serial, index};
  // No index (some shares): the folder's final path names it. Each distinct
  // path gets a number of its own; bit 32 of the volume keeps these apart
  // from identities made of a real 32-bit serial and index.
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

}  // namespace win32

namespace {

using win32::LongPath;

struct EnumState {
  HANDLE find = INVALID_HANDLE_VALUE;
  unsigned mask = 0;
  std::wstring folder;   // the pattern up to its last separator, for links
  bool pending = false;  // data holds an entry not yet looked at
  WIN32_FIND_DATAW data{};
};

// Seconds between 1601-01-01 (FILETIME's origin) and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

std::wstring Decode(UINT codePage, const char* bytes, size_t size) {
  if (size == 0) return std::wstring();
  int length = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), wide.data(), length);
  return wide;
}

std::wstring Wide(const std::string& text) { return Decode(CP_UTF8, text.data(), text.size()); }

// The long form of a UTF-8 path, for the file calls.
std::wstring Long(const std::string& path) { return LongPath(Wide(path)); }

std::string Utf8(const wchar_t* wide, size_t size) {
  std::string bytes;
  win32::Encode(CP_UTF8, std::wstring(wide, size), bytes);
  return bytes;
}
std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), wide.size()); }

// The system's own text for an error code, without the line end it ends in.
std::string SystemReason(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "system error " + std::to_string(error);
  return Utf8(text);
}

std::wstring TrimBlanks(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L" \t");
  if (begin == std::wstring::npos) return std::wstring();
  size_t end = text.find_last_not_of(L" \t");
  return text.substr(begin, end - begin + 1);
}

bool Admits(DWORD attributes, unsigned mask) {
  if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return (mask & kFolderAttribute) != 0;
  return true;
}

// What a path leads to, links followed: its information from an open handle.
// False when it cannot be opened, as for a link that leads nowhere.
bool TargetInformation(const std::wstring& longPath, BY_HANDLE_FILE_INFORMATION& info) {
  // Backup semantics let CreateFileW open a folder; no access right is needed
  // to read its information.
  HANDLE handle = CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return ok;
}

std::int64_t Seconds(const FILETIME& time) {
  auto ticks =
      static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  return ticks / kTicksPerSecond - kEpochDifference;
}

// Writes "caption: text" and a line end, in UTF-8, to standard error: the
// place of a message box where none can be shown.
void WriteToStandardError(const std::string& caption, const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  std::string line = caption + ": " + text + "\n";
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(error, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
      return;
    }
    data += written;
    left -= written;
  }
}

// A message box; falls back to standard error when none can be shown, which
// MessageBoxW tells by returning 0 (or less, as under a display-less wine).
void MessageOrStandardError(const std::string& text, UINT style, const std::string& caption) {
  std::wstring wideText = Wide(text), wideCaption = Wide(caption);
  int answer =
      MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), style | MB_SETFOREGROUND);
  if (answer <= 0) WriteToStandardError(caption, text);
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::string& reason) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bytes.clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      reason = SystemReason(GetLastError());
      CloseHandle(file);
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Whether the file at path (in the long form) holds exactly bytes: the sizes
// are compared first, the contents only when they match. False when the file
// cannot be read.
bool HoldsBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool same = GetFileSizeEx(file, &size) != 0 &&
              static_cast<std::uint64_t>(size.QuadPart) == std::uint64_t{bytes.size()};
  char buffer[65536];
  for (size_t done = 0; same && done < bytes.size();) {
    DWORD want = static_cast<DWORD>(std::min(sizeof buffer, bytes.size() - done)), got = 0;
    same = ReadFile(file, buffer, want, &got, nullptr) && got > 0 &&
           std::memcmp(buffer, bytes.data() + done, got) == 0;
    done += got;
  }
  CloseHandle(file);
  return same;
}

// Creates a new, empty temporary file in folder (which ends in a separator);
// its name, short so that it fits wherever the page's name does, is returned
// in temp.
HANDLE CreateTemporaryFile(const std::wstring& folder, std::wstring& temp) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder + L"~pg" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

Enumeration::~Enumeration() { EndEnumeration(*this); }

void StartProcess(int, char**) {
  // Libraries loaded after start come from the system folder only, never from
  // the folder being indexed or the current one.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::string ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return ".";
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);  // cut off: try again with more room
  }
  size_t slash = buffer.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : Utf8(buffer.data(), slash);
}

std::string ArgumentText() {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return "";
  const wchar_t* p = line;
  // The program's own name: up to the closing quote when it starts with one,
  // else up to the first blank.
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return Utf8(std::wstring(p));
}

bool StartEnumeration(Enumeration& e, const std::string& pattern, unsigned mask, DirEntry& entry) {
  EndEnumeration(e);
  std::wstring wide = Wide(pattern);
  // A pattern that ends in a separator (or is empty) lists the folder's own
  // entries; FindFirstFileExW itself finds nothing for it.
  if (wide.empty() || wide.back() == L'\\' || wide.back() == L'/') wide += L'*';
  wide = LongPath(wide);
  auto* s = new EnumState;
  e.state = s;
  s->mask = mask;
  s->folder = wide.substr(0, wide.find_last_of(L'\\') + 1);
  s->find = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &s->data, FindExSearchNameMatch,
                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
  s->pending = s->find != INVALID_HANDLE_VALUE;
  return NextEntry(e, entry);
}

bool NextEntry(Enumeration& e, DirEntry& entry) {
  auto* s = static_cast<EnumState*>(e.state);
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
    if (!Admits(attributes, s->mask)) continue;
    entry.name = Utf8(std::wstring(s->data.cFileName));
    entry.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
  EndEnumeration(e);
  return false;
}

void EndEnumeration(Enumeration& e) {
  auto* s = static_cast<EnumState*>(e.state);
  if (s == nullptr) return;
  if (s->find != INVALID_HANDLE_VALUE) FindClose(s->find);
  delete s;
  e.state = nullptr;
}

unsigned GetAttributes(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Long(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? 0 : static_cast<unsigned>(attributes);
}

bool GetFolderId(const std::string& path, FolderId& id) {
  // Backup semantics let CreateFileW open a folder; no access right is needed
  // to read its identity.
  HANDLE handle = CreateFileW(Long(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool ok = GetFileInformationByHandle(handle, &info) != 0 &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (ok) {
    id = win32::IdentityOf(info.dwVolumeSerialNumber,
                           (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, handle);
  }
  CloseHandle(handle);
  return ok;
}

// Windows looks each path up whole; a batch changes nothing here.
FileStampBatch::FileStampBatch() {}
FileStampBatch::~FileStampBatch() {}

bool GetFileStamp(const std::string& path, FileStamp& stamp, std::string& reason) {
  std::wstring file = Long(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    reason = SystemReason(GetLastError());
    return false;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // The attributes describe the link itself: ask what it leads to.
    BY_HANDLE_FILE_INFORMATION target{};
    if (!TargetInformation(file, target)) {
      reason = SystemReason(GetLastError());
      return false;
    }
    data.nFileSizeHigh = target.nFileSizeHigh;
    data.nFileSizeLow = target.nFileSizeLow;
    data.ftLastWriteTime = target.ftLastWriteTime;
  }
  stamp.size =
      static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  stamp.modified = Seconds(data.ftLastWriteTime);
  return true;
}

std::string LocalDateTimeText(std::int64_t modified) {
  std::int64_t ticks = (modified + kEpochDifference) * kTicksPerSecond;
  if (ticks < 0) return "";
  FILETIME utcFile{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{}, local{};
  // The zone's rules for that day, so a summer date keeps its summer offset.
  if (!FileTimeToSystemTime(&utcFile, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return "";
  }
  wchar_t date[128], time[128];
  if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 128,
                      nullptr) == 0 ||
      GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 128) == 0) {
    return "";
  }
  return Utf8(std::wstring(date)) + " " + Utf8(std::wstring(time));
}

std::string LowerText(const std::string& text) {
  std::wstring wide = Wide(text);
  if (wide.empty()) return text;
  int length = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, wide.data(),
                             static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
  if (length <= 0) return text;
  std::wstring lower(static_cast<size_t>(length), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, wide.data(),
                static_cast<int>(wide.size()), lower.data(), length, nullptr, nullptr, 0);
  return Utf8(lower);
}

std::string CollationKey(const std::string& text) {
  std::wstring wide = Wide(text);
  if (wide.empty()) return std::string();
  // A sort key is a byte string; comparing two keys byte by byte (unsigned)
  // orders them as CompareStringEx does with the same flags.
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  int size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(),
                           static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) return LowerText(text);
  std::string key(static_cast<size_t>(size), '\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(), static_cast<int>(wide.size()),
                reinterpret_cast<LPWSTR>(key.data()), size, nullptr, nullptr, 0);
  while (!key.empty() && key.back() == '\0') key.pop_back();  // the terminator
  return key;
}

std::vector<std::pair<std::string, std::string>> ReadSettingsSection(const std::string& path,
                                                                     const std::string& section) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::wstring widePath = Wide(path), wideSection = Wide(section);
  // One read of the whole section: "key=value" strings, each ended by a NUL,
  // the last by two. A result of size - 2 means it was cut off.
  std::wstring buffer(32768, L'\0');
  for (;;) {
    DWORD length = GetPrivateProfileSectionW(wideSection.c_str(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), widePath.c_str());
    if (length + 2 < buffer.size() || buffer.size() >= (1u << 24)) {
      buffer.resize(length);
      break;
    }
    buffer.assign(buffer.size() * 4, L'\0');
  }
  size_t pos = 0;
  while (pos < buffer.size()) {
    size_t end = buffer.find(L'\0', pos);
    if (end == std::wstring::npos) end = buffer.size();
    std::wstring line = buffer.substr(pos, end - pos);
    pos = end + 1;
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    std::wstring key = TrimBlanks(line.substr(0, equals));
    if (key.empty() || key[0] == L';' || key[0] == L'#') continue;
    std::wstring value = TrimBlanks(line.substr(equals + 1));
    // As GetPrivateProfileStringW does: one pair of enclosing quotes goes.
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    entries.emplace_back(Utf8(key), Utf8(value));
  }
  return entries;
}

std::uint16_t KeyState(int virtualKey) {
  return static_cast<std::uint16_t>(GetAsyncKeyState(virtualKey));
}

void ShowMessage(const std::string& text, int style, const std::string& caption) {
  MessageOrStandardError(text, static_cast<UINT>(style), caption);
}

void ReportFailure(const std::string& text) {
  MessageOrStandardError(text, MB_OK | MB_ICONERROR, "pagrimo");
}

std::string ChooseFolder(const std::string& title) {
  // The shell's chooser needs COM on this thread, apartment-threaded.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::wstring wideTitle = Wide(title);
  BROWSEINFOW info{};
  info.hwndOwner = nullptr;
  info.pidlRoot = nullptr;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;  // 3
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  std::string folder;
  if (item != nullptr) {
    wchar_t path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListW(item, path)) folder = Utf8(std::wstring(path));
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return folder;
}

bool ReadTextFile(const std::string& path, std::string& text, TextEncoding& encoding,
                  std::string& reason) {
  std::string bytes;
  if (!ReadWholeFile(Long(path), bytes, reason)) return false;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    encoding = TextEncoding::kUtf8Bom;
    text = bytes.substr(3);
  } else {
    encoding = TextEncoding::kSystem;
    std::wstring wide = Decode(CP_ACP, bytes.data(), bytes.size());
    text = Utf8(wide);
  }
  return true;
}

bool ReplaceTextFile(const std::string& path, const std::string& text, TextEncoding encoding,
                     std::string& reason) {
  return win32::ReplaceTextFileIn(CP_ACP, path, text, encoding, reason);
}

bool win32::ReplaceTextFileIn(UINT codePage, const std::string& path, const std::string& text,
                              TextEncoding encoding, std::string& reason) {
  std::wstring target = Long(path);
  DWORD attributes = GetFileAttributesW(target.c_str());
  const bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
  if (replacing) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      reason = "a folder stands where the page should be written";
      return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      reason = "the existing page is read-only";
      return false;
    }
  }
  std::string bytes;
  if (encoding == TextEncoding::kUtf8Bom) {
    bytes = "\xEF\xBB\xBF" + text;
  } else if (!win32::Encode(codePage, Wide(text), bytes)) {
    reason = "the text cannot be converted to the system's code page (" +
             SystemReason(GetLastError()) + ")";
    return false;
  }
  // A page that already holds these bytes is left as it is, with its time.
  if (replacing && HoldsBytes(target, bytes)) return true;
  size_t slash = target.find_last_of(L'\\');
  std::wstring folder = target.substr(0, slash + 1);
  std::wstring temp;
  HANDLE file = CreateTemporaryFile(folder, temp);
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bool ok = WriteAll(file, bytes.data(), bytes.size());
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  // The new page reaches the disk before it takes the old one's place, so a
  // power loss leaves the old page or the new one, never an empty one. A new
  // page has no old one to lose.
  if (ok && replacing && !FlushFileBuffers(file)) {
    ok = false;
    error = GetLastError();
  }
  if (!CloseHandle(file) && ok) {
    ok = false;
    error = GetLastError();
  }
  const DWORD moveFlags =
      MOVEFILE_REPLACE_EXISTING | (replacing ? MOVEFILE_WRITE_THROUGH : DWORD{0});
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(), moveFlags)) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileW(temp.c_str());
    reason = SystemReason(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
  }
  return ok;
}

bool ReadFileBytes(const std::string& path, std::int64_t offset, size_t count, std::string& bytes,
                   std::string& reason) {
  bytes.clear();
  if (offset < 0) {
    reason = SystemReason(ERROR_NEGATIVE_SEEK);
    return false;
  }
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemReason(GetLastError());
    return false;
  }
  LARGE_INTEGER at;
  at.QuadPart = offset;
  if (GetFileType(file) != FILE_TYPE_DISK || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
    reason =
        GetFileType(file) != FILE_TYPE_DISK ? "not a regular file" : SystemReason(GetLastError());
    CloseHandle(file);
    return false;
  }
  bytes.resize(count);
  size_t have = 0;
  while (have < count) {
    DWORD chunk = count - have > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count - have);
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + have, chunk, &got, nullptr)) {
      reason = SystemReason(GetLastError());
      CloseHandle(file);
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    have += got;
  }
  CloseHandle(file);
  bytes.resize(have);
  return true;
}

}  // namespace platform

namespace platform {

// The portable program keeps its settings and templates beside it, always.
std::vector<std::string> SettingsFolderCandidates() { return {ExecutableFolder()}; }

}  // namespace platform
