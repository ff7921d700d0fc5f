// A program that only waits: the locked-file test runs a copy of it so that a
// running process holds its executable file.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(60000);
  return 0;
}
