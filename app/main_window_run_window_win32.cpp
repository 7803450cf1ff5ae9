// The run window and the ways to open it: the tray menu's 「运行记录」 entry and a click on a balloon. The tray
// module knows nothing of the main window; it calls the function set here.
#include "app/main_window_win32.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::app {

void MainWindow::ConnectRunWindow() {
  tray::APIStuff::SetOpenRunsHandler([this] { OpenRunWindow(); });
}

void MainWindow::OpenRunWindow() {
  if (!runWindow_) runWindow_ = runs::RunWindow::Create(instance_, hwnd(), runs_);
  if (runWindow_) runWindow_->Show();
}

}  // namespace vantrel::app
