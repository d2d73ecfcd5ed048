// Planted beside the launcher as "cmd.exe": if it ever runs, it leaves a marker.
#include <windows.h>

#include "tests/standins/standin_common.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  standin::Log("planted", "a planted program ran");
  standin::WriteWholeFile(standin::ExeFolder() + L"\\PLANTED-RAN.txt", "planted program ran\r\n");
  return 0;
}
