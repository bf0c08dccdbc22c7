// The Windows port, the process and the desktop. Sections, in order:
//   1. The process: StartProcess, its own folder, its command line, the
//      user's language, the one folder that holds its settings.
//   2. What a person sees and presses: held keys, message boxes (standard
//      error where none can be shown), the answers to --help and --version,
//      the failure report, the folder chooser.
#include <windows.h>
// windows.h first: the shell headers rely on its definitions.
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/internal.h"

namespace platform {

using win32::Utf8;
using win32::Wide;

// 1. The process ---------------------------------------------------------------------

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

std::vector<std::string> UserLanguages() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                       LOCALE_NAME_MAX_LENGTH, 0) <= 1) {
    return {};
  }
  return {Utf8(std::wstring(name))};
}

// The portable program keeps its settings and templates beside it, always.
std::vector<std::string> SettingsFolderCandidates() { return {ExecutableFolder()}; }

// 2. What a person sees and presses --------------------------------------------------

namespace {

// Writes all of text to one of the standard handles; false when there is none
// or a write fails.
bool WriteToStandardHandle(DWORD which, const std::string& text) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// A message box; falls back to standard error when none can be shown, which
// MessageBoxW tells by returning 0 (or less, as under a display-less wine).
void MessageOrStandardError(const std::string& text, UINT style, const std::string& caption) {
  std::wstring wideText = Wide(text), wideCaption = Wide(caption);
  int answer =
      MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), style | MB_SETFOREGROUND);
  if (answer <= 0) win32::WriteToStandardError(caption + ": " + text + "\n");
}

}  // namespace

void win32::WriteToStandardError(const std::string& text) {
  WriteToStandardHandle(STD_ERROR_HANDLE, text);
}

bool IsKeyHeld(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption) {
  MessageOrStandardError(text, kind == MessageKind::kWarning ? MB_OK | MB_ICONEXCLAMATION : MB_OK,
                         caption);
}

bool ShowAnswer(const std::string& text, const std::string& caption) {
  std::wstring wideText = Wide(text), wideCaption = Wide(caption);
  if (MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(),
                  MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND) > 0) {
    return true;
  }
  return WriteToStandardHandle(STD_OUTPUT_HANDLE, text);
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

}  // namespace platform
