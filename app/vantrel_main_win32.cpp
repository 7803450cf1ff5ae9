// Vantrel.exe: a front-end for the imagex WIM tool. The main window is the whole program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/main_window_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The shell's folder browser needs a single-threaded apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  auto window = vantrel::app::MainWindow::Create(instance, showCommand);
  if (!window) return 1;
  return vantrel::app::MainWindow::RunMessageLoop(window->hwnd());
}
