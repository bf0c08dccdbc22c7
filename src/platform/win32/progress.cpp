// The Windows part of the thumbnail work's seam. Everything but the functions
// of platform.h is static here; only wide (W) functions are called.
//
// Sections:
//   1. Progress: the shell's progress dialog (IProgressDialog), with Cancel.
//   2. Notices of a run that went on: one message box at the end.
//   3. Local civil times, and removing a file of our own.
#include <windows.h>
// windows.h first: the shell headers rely on its definitions.
#include <objbase.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/internal.h"

namespace platform {
namespace {

using win32::kEpochDifference;
using win32::kTicksPerSecond;
using win32::Wide;

// A message box lists this many notices; the rest are counted.
constexpr size_t kNoticesShown = 30;

// ---- 1. Progress -------------------------------------------------------------

struct ProgressState {
  IProgressDialog* dialog = nullptr;
  bool comStarted = false;
  std::wstring title;
};
ProgressState g_progress;

// Whether windows can appear at all: without a desktop (a service, or wine
// without a display) the dialog's thread would wait for a window that never
// comes, so no dialog is started there.
bool WindowsCanAppear() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

}  // namespace

void StartProgress(const std::string& title) {
  EndProgress();
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  g_progress.comStarted = SUCCEEDED(com);
  g_progress.title = Wide(title);
  if (!WindowsCanAppear()) return;
  IProgressDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IProgressDialog, reinterpret_cast<void**>(&dialog))) ||
      dialog == nullptr) {
    return;  // no dialog: the work goes on without one
  }
  dialog->SetTitle(L"pagrimo");
  dialog->SetLine(1, g_progress.title.c_str(), FALSE, nullptr);
  if (FAILED(dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_NORMAL | PROGDLG_AUTOTIME,
                                         nullptr))) {
    dialog->Release();
    return;
  }
  g_progress.dialog = dialog;
}

void UpdateProgress(std::int64_t done, std::int64_t total) {
  if (g_progress.dialog == nullptr || total <= 0) return;
  g_progress.dialog->SetProgress64(static_cast<ULONGLONG>(done), static_cast<ULONGLONG>(total));
  std::wstring line = std::to_wstring(done) + L" / " + std::to_wstring(total);
  g_progress.dialog->SetLine(2, line.c_str(), FALSE, nullptr);
}

bool ProgressCancelled() {
  return g_progress.dialog != nullptr && g_progress.dialog->HasUserCancelled();
}

void EndProgress() {
  if (g_progress.dialog != nullptr) {
    g_progress.dialog->StopProgressDialog();
    g_progress.dialog->Release();
  }
  if (g_progress.comStarted) CoUninitialize();
  g_progress = ProgressState{};
}

// ---- 2. Notices ----------------------------------------------------------------

void ReportNotices(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::string text;
  for (size_t i = 0; i < lines.size() && i < kNoticesShown; ++i) text += lines[i] + "\r\n";
  if (lines.size() > kNoticesShown) {
    text += "... (" + std::to_string(lines.size() - kNoticesShown) + ")\r\n";
  }
  std::wstring wide = Wide(text);
  int answer =
      MessageBoxW(nullptr, wide.c_str(), L"pagrimo", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  if (answer > 0) return;
  // No message box can be shown: standard error, in the POSIX form.
  std::string all;
  for (const auto& line : lines) all += "pagrimo: " + line + "\n";
  win32::WriteToStandardError(all);
}

// ---- 3. Local civil times, and removing a file of our own ----------------------

bool LocalTimeSeconds(int year, int month, int day, int hour, int minute, int second,
                      std::int64_t& seconds) {
  if (year < 1601 || year > 30827) return false;
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = static_cast<WORD>(month);
  local.wDay = static_cast<WORD>(day);
  local.wHour = static_cast<WORD>(hour);
  local.wMinute = static_cast<WORD>(minute);
  local.wSecond = static_cast<WORD>(second > 59 ? 59 : second);
  SYSTEMTIME utc{};
  FILETIME file{};
  // The zone's rules for that day, so a summer date keeps its summer offset.
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &file)) {
    return false;
  }
  auto ticks =
      static_cast<std::int64_t>((std::uint64_t{file.dwHighDateTime} << 32) | file.dwLowDateTime);
  seconds = ticks / kTicksPerSecond - kEpochDifference;
  return true;
}

bool RemoveOwnFile(const std::string& path, std::string& reason) {
  if (DeleteFileW(win32::Long(path).c_str())) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  reason = win32::SystemReason(error);
  return false;
}

}  // namespace platform
