// The program's entry point on Windows: a GUI-subsystem program with a Unicode
// entry, so no console window appears when it is double-clicked or started
// from a script. The command line is read by ArgumentText, not from here.
// wWinMain is declared as the C runtime calls it (its handles are pointers,
// and WINAPI means nothing on x86-64), so that <windows.h> stays in
// src/platform.
#include "app/run.h"
#include "platform/platform.h"

extern "C" int wWinMain(void* /*instance*/, void* /*previous*/, wchar_t* /*commandLine*/,
                        int /*show*/) {
  platform::StartProcess(0, nullptr);
  return Main();
}
