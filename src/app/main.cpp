// The program's entry point.
#include "app/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::StartProcess(argc, argv);
  return Main();
}
