#include <windows.h>

#include "app/main_window.h"
#include "app/win32_form.h"
#include "platform/win32_platform_ops.h"
#include "platform/win32_util.h"

namespace {

// DLLs load from the system folder only: a DLL dropped beside the program, or in the
// folder it was started from, must never be loaded into it.
void RestrictDllSearchToSystemFolder() {
  // kernel32 is always loaded: found, never loaded from a search path.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto setDefault = kestrane::LookUpFunction<SetDirectories>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  RestrictDllSearchToSystemFolder();
  kestrane::Win32PlatformOps platform;
  kestrane::Form1.Bind(platform);
  kestrane::Win32Form form(platform);
  if (!form.Create(instance)) return 1;
  kestrane::FormLoad();
  form.Show(showCommand);
  return kestrane::RunMessageLoop(form.Handle());
}
