// The runs the main window launched: watched until the tool ends, counted in the tray tip, reported in a balloon.
#include "app/main_window_win32.h"

#include <memory>

#include "imaging/operation_report.h"
#include "runtime/runtime.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::app {
namespace {

std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }

std::u16string MessageTableText(imaging::MessageTable table, std::uint32_t code) {
  return runtime::Utf16(table == imaging::MessageTable::Ntdll ? runtime::NtStatusText(code)
                                                              : runtime::SystemMessageText(code));
}

}  // namespace

void MainWindow::Launched(imaging::Operation op, imaging::Tool tool, const std::u16string& line,
                          runtime::UniqueKernelHandle process, runs::RunLogResult log) {
  tray::APIStuff::SetCopyText(runtime::Wide(line));
  // The run's log stays with its watch until the run is reported (a watch's report must be copyable).
  std::shared_ptr<runs::RunLogResult> runLog(new runs::RunLogResult(std::move(log)));
  processes_.Watch(std::move(process),
                   [this, op, tool, runLog](runtime::ProcessEnd end) { RunEnded(op, tool, end); });
  ShowRunsInTip();
}

void MainWindow::RunEnded(imaging::Operation op, imaging::Tool tool, runtime::ProcessEnd end) {
  const imaging::Balloon balloon =
      imaging::DecideBalloon(op, tool, imaging::RunEnd{end.known, end.value}, TableText, MessageTableText);
  tray::APIStuff::ShowBalloon(runtime::Wide(balloon.title), runtime::Wide(balloon.text),
                              balloon.icon == imaging::BalloonIcon::Error);
  ShowRunsInTip();
  // The run may have written the files the panels name: their lists are read again.
  imageInfo_.RunEnded();
}

void MainWindow::ShowRunsInTip() {
  if (tray::APIStuff::TrayIconInstalled())
    tray::APIStuff::SetTrayTip(runtime::Wide(imaging::TrayTip(processes_.InFlight(), TableText)));
}

}  // namespace vantrel::app
