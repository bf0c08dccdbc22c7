// The Windows port, text files. Sections, in order:
//   1. Reading: ReadTextFile (the byte order mark, see plain_text.h, else the
//      ANSI code page), ReadSettingsSection (GetPrivateProfileSectionW, each
//      line read by ini_lines.h), ReadFileBytes (a part of a file).
//   2. Replacing a page: a temporary file with a short name beside it,
//      written, flushed when it replaces a page, moved over it with write
//      through; a page that already holds the bytes is left alone.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/ini_lines.h"
#include "platform/plain_text.h"
#include "platform/platform.h"
#include "platform/reasons.h"
#include "platform/win32/internal.h"

namespace platform {

using win32::Long;
using win32::SystemReason;
using win32::UniqueHandle;
using win32::Utf8;
using win32::Wide;

// 1. Reading -----------------------------------------------------------------------

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::string& reason) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bytes.clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.handle, buffer, sizeof buffer, &got, nullptr)) {
      reason = SystemReason(GetLastError());
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return true;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, TextEncoding& encoding,
                  std::string& reason) {
  std::string bytes;
  if (!ReadWholeFile(Long(path), bytes, reason)) return false;
  if (StripByteOrderMark(bytes)) {
    encoding = TextEncoding::kUtf8Bom;
    text = std::move(bytes);
  } else {
    encoding = TextEncoding::kSystem;
    std::wstring wide = win32::Decode(CP_ACP, bytes.data(), bytes.size());
    text = Utf8(wide);
  }
  return true;
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
    std::string line = Utf8(buffer.data() + pos, end - pos);
    pos = end + 1;
    std::string key, value;
    if (ParseIniEntry(line, key, value)) entries.emplace_back(std::move(key), std::move(value));
  }
  return entries;
}

bool ReadFileBytes(const std::string& path, std::int64_t offset, size_t count, std::string& bytes,
                   std::string& reason) {
  bytes.clear();
  if (offset < 0) {
    reason = SystemReason(ERROR_NEGATIVE_SEEK);
    return false;
  }
  UniqueHandle file(CreateFileW(Long(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    reason = SystemReason(GetLastError());
    return false;
  }
  if (GetFileType(file.handle) != FILE_TYPE_DISK) {
    reason = "not a regular file";
    return false;
  }
  LARGE_INTEGER at;
  at.QuadPart = offset;
  if (!SetFilePointerEx(file.handle, at, nullptr, FILE_BEGIN)) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bytes.resize(count);
  size_t have = 0;
  while (have < count) {
    DWORD chunk = count - have > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count - have);
    DWORD got = 0;
    if (!ReadFile(file.handle, bytes.data() + have, chunk, &got, nullptr)) {
      reason = SystemReason(GetLastError());
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    have += got;
  }
  bytes.resize(have);
  return true;
}

// 2. Replacing a page ------------------------------------------------------------

namespace {

// Whether the file at path (in the long form) holds exactly bytes: the sizes
// are compared first, the contents only when they match. False when the file
// cannot be read.
bool HoldsBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) return false;
  LARGE_INTEGER size{};
  bool same = GetFileSizeEx(file.handle, &size) != 0 &&
              static_cast<std::uint64_t>(size.QuadPart) == std::uint64_t{bytes.size()};
  char buffer[65536];
  for (size_t done = 0; same && done < bytes.size();) {
    DWORD want = static_cast<DWORD>(std::min(sizeof buffer, bytes.size() - done)), got = 0;
    same = ReadFile(file.handle, buffer, want, &got, nullptr) && got > 0 &&
           std::memcmp(buffer, bytes.data() + done, got) == 0;
    done += got;
  }
  return same;
}

}  // namespace

bool win32::WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

UniqueHandle win32::CreateTemporaryFile(const std::wstring& folder, std::wstring& temp) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder + L"~pg" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L".tmp";
    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid() || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return UniqueHandle();
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
      reason = kFolderInPagePlace;
      return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      reason = kPageReadOnly;
      return false;
    }
  }
  std::string bytes;
  if (encoding == TextEncoding::kUtf8Bom) {
    bytes = std::string(kUtf8ByteOrderMark) + text;
  } else if (!Encode(codePage, Wide(text), bytes)) {
    reason = "the text cannot be converted to the system's code page (" +
             SystemReason(GetLastError()) + ")";
    return false;
  }
  // A page that already holds these bytes is left as it is, with its time.
  if (replacing && HoldsBytes(target, bytes)) return true;
  size_t slash = target.find_last_of(L'\\');
  std::wstring folder = target.substr(0, slash + 1);
  std::wstring temp;
  UniqueHandle file = CreateTemporaryFile(folder, temp);
  if (!file.Valid()) {
    reason = SystemReason(GetLastError());
    return false;
  }
  bool ok = WriteAll(file.handle, bytes.data(), bytes.size());
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  // The new page reaches the disk before it takes the old one's place, so a
  // power loss leaves the old page or the new one, never an empty one. A new
  // page has no old one to lose.
  if (ok && replacing && !FlushFileBuffers(file.handle)) {
    ok = false;
    error = GetLastError();
  }
  if (!file.Close() && ok) {
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
    file.Close();
    DeleteFileW(temp.c_str());
    reason = SystemReason(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
  }
  return ok;
}

// For the picture header reader ------------------------------------------------------

}  // namespace platform
