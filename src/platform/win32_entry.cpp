// The program's entry point on Windows: a GUI-subsystem program with a Unicode
// entry, so no console window appears when it is double-clicked or started
// from a script. The command line is read by ArgumentText, not from here.
#include <windows.h>

#include "app/run.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  platform::StartProcess(0, nullptr);
  return Main();
}
