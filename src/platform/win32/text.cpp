// The Windows port, text. Sections, in order:
//   1. Text at the seam: UTF-8 inside, UTF-16 for the W functions; the ANSI
//      code page only for a template without a byte order mark and the pages
//      written from it, converted as a whole and never scanned, so a
//      double-byte character whose second byte is 0x5C stays one character.
//   2. The system's reasons for its error codes.
//   3. The user's locale: dates (as text and as calendar fields), lower
//      case, sort keys.
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/win32/internal.h"

namespace platform {
namespace win32 {

// 1. Text at the seam ------------------------------------------------------------

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

std::wstring Decode(UINT codePage, const char* bytes, size_t size) {
  if (size == 0) return std::wstring();
  int length = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), wide.data(), length);
  return wide;
}

std::wstring Wide(const std::string& text) { return Decode(CP_UTF8, text.data(), text.size()); }

std::string Utf8(const wchar_t* wide, size_t size) {
  std::string bytes;
  Encode(CP_UTF8, std::wstring(wide, size), bytes);
  return bytes;
}

std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), wide.size()); }

// 2. The system's reasons ------------------------------------------------------

std::string SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return Utf8(text);
}

std::string SystemReason(DWORD error) {
  std::string text = SystemText(error);
  return text.empty() ? "system error " + std::to_string(error) : text;
}

}  // namespace win32

// 3. The user's locale -------------------------------------------------------------

using win32::Utf8;
using win32::Wide;

using win32::kEpochDifference;
using win32::kTicksPerSecond;

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

bool ToLocalTime(std::int64_t seconds, LocalTime& local) {
  if (seconds < -kEpochDifference || seconds > INT64_MAX / kTicksPerSecond - kEpochDifference) {
    return false;
  }
  std::int64_t ticks = (seconds + kEpochDifference) * kTicksPerSecond;
  FILETIME utcFile{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{}, fields{};
  if (!FileTimeToSystemTime(&utcFile, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &fields)) {
    return false;
  }
  local = {fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond};
  return true;
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

}  // namespace platform
