// Test support on Windows: running a program with its output captured through
// pipes, and the file attributes that only Windows tests set.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "support/test_support.h"

namespace testing_support {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring UpperName(const std::wstring& entry) {
  std::wstring name = entry.substr(0, entry.find(L'=', 1));
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// This process's environment with the extra NAME=VALUE entries put in place
// of those of the same name (names match without regard to case).
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::wstring> added;
  for (const auto& entry : extra) added.push_back(Wide(entry));
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
    std::wstring entry = p;
    // A test run from a desktop session must not open dialogs that wait for
    // a click: the display reaches the program only when a test passes it.
    if (entry.rfind(L"DISPLAY=", 0) == 0 || entry.rfind(L"WAYLAND_DISPLAY=", 0) == 0) continue;
    bool replaced = false;
    for (const auto& a : added) replaced = replaced || UpperName(a) == UpperName(entry);
    if (!replaced) block += entry + L'\0';
  }
  if (strings != nullptr) FreeEnvironmentStringsW(strings);
  for (const auto& a : added) block += a + L'\0';
  block += L'\0';
  return block;
}

// Appends what the pipe holds now to sink, without waiting for more.
void TakeAvailable(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0, got = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
    DWORD want = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    if (!::ReadFile(pipe, buffer, want, &got, nullptr) || got == 0) return;
    sink.append(buffer, got);
  }
}

}  // namespace

Language DefaultLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese
                                                                    : Language::kEnglish;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment) {
  RunResult result;
  // The command line: the program's quoted name, then the arguments joined by
  // single blanks exactly as given, which is what the program reads as its
  // argument text.
  std::wstring commandLine = L"\"" + Wide(program) + L"\"";
  for (const auto& arg : args) commandLine += L" " + Wide(arg);
  std::wstring block = EnvironmentBlock(environment);

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
  if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    CloseHandle(outRead);
    CloseHandle(outWrite);
    return result;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(),
                                nullptr, &startup, &process);
  DWORD startError = GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (!started) {
    CloseHandle(outRead);
    CloseHandle(errRead);
    result.err = "cannot start " + program + ": error " + std::to_string(startError);
    return result;
  }
  // The output is taken until the program ends, not until the pipes close:
  // the first wine program that needs a desktop starts wine's explorer.exe,
  // which inherits the pipes and holds them open long after.
  for (;;) {
    DWORD wait = WaitForSingleObject(process.hProcess, 10);
    TakeAvailable(outRead, result.out);
    TakeAvailable(errRead, result.err);
    if (wait != WAIT_TIMEOUT) break;
  }
  CloseHandle(outRead);
  CloseHandle(errRead);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  result.status = static_cast<int>(status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

bool SetHiddenAttribute(const std::filesystem::path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::string InSystemCodePage(const std::string& utf8) {
  std::wstring wide = Wide(utf8);
  if (wide.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

void SetWriteTime(const std::filesystem::path& file, std::int64_t seconds) {
  std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &time));
  CloseHandle(handle);
}

bool MakeLink(const std::filesystem::path&, const std::filesystem::path&) { return false; }

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace testing_support
