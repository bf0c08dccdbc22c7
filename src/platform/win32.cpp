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

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

struct EnumState {
  HANDLE find = INVALID_HANDLE_VALUE;
  unsigned mask = 0;
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

std::string Encode(UINT codePage, const wchar_t* wide, size_t size) {
  if (size == 0) return std::string();
  // Characters that the ANSI code page lacks become its default character;
  // no look-alike is put in their place (a full-width backslash stays no
  // backslash). The flag is not allowed with UTF-8.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int length = WideCharToMultiByte(codePage, flags, wide, static_cast<int>(size), nullptr, 0,
                                   nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide, static_cast<int>(size), bytes.data(), length, nullptr,
                      nullptr);
  return bytes;
}

std::wstring Wide(const std::string& text) { return Decode(CP_UTF8, text.data(), text.size()); }

std::string Utf8(const wchar_t* wide, size_t size) { return Encode(CP_UTF8, wide, size); }
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

bool Admits(const WIN32_FIND_DATAW& data, unsigned mask) {
  DWORD attributes = data.dwFileAttributes;
  if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return (mask & kFolderAttribute) != 0;
  return true;
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

// Creates a new, empty temporary file in folder (which ends in a separator or
// is empty); its name is returned in temp.
HANDLE CreateTemporaryFile(const std::wstring& folder, std::wstring& temp) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder + L"~pagrimo-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter) + L".tmp";
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
  auto* s = new EnumState;
  e.state = s;
  s->mask = mask;
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
    if (!Admits(s->data, s->mask)) continue;
    entry.name = Utf8(std::wstring(s->data.cFileName));
    entry.isFolder = (s->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? 0 : static_cast<unsigned>(attributes);
}

bool GetFolderId(const std::string& path, FolderId& id) {
  // Backup semantics let CreateFileW open a folder; no access right is needed
  // to read its identity.
  HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool ok = GetFileInformationByHandle(handle, &info) != 0 &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

// Windows looks each path up whole; a batch changes nothing here.
FileStampBatch::FileStampBatch() {}
FileStampBatch::~FileStampBatch() {}

bool GetFileStamp(const std::string& path, FileStamp& stamp, std::string& reason) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    reason = SystemReason(GetLastError());
    return false;
  }
  stamp.size =
      static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  auto ticks =
      static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
  stamp.modified = ticks / kTicksPerSecond - kEpochDifference;
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
  if (!ReadWholeFile(Wide(path), bytes, reason)) return false;
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
  std::wstring target = Wide(path);
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
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
  } else {
    std::wstring wide = Wide(text);
    bytes = Encode(CP_ACP, wide.data(), wide.size());
  }
  size_t slash = target.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
  std::wstring temp;
  HANDLE file = CreateTemporaryFile(folder, temp);
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bool ok = WriteAll(file, bytes.data(), bytes.size());
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    error = GetLastError();
  }
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
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
