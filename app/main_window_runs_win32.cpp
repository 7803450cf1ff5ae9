// The runs the main window launched: watched until the tool ends, their logs followed while they run, and each
// one reported in a balloon that quotes the tool when it failed.
#include "app/main_window_win32.h"

#include <utility>

#include "imaging/operation_report.h"
#include "runs/log_reading_win32.h"
#include "runtime/runtime.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::app {
namespace {

std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }

std::u16string MessageTableText(imaging::MessageTable table, std::uint32_t code) {
  return runtime::Utf16(table == imaging::MessageTable::Ntdll ? runtime::NtStatusText(code)
                                                              : runtime::SystemMessageText(code));
}

runs::ClockTime Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

void MainWindow::Launched(imaging::Operation op, imaging::Tool tool, const std::u16string& line,
                          runtime::UniqueKernelHandle process, runs::RunLogResult log) {
  tray::APIStuff::SetCopyText(runtime::Wide(line));
  runs::Run& run = runs_.Add(TableText(imaging::ReportTitleId(op)), std::u16string(imaging::ToolName(tool)), line,
                             Now(), GetTickCount64());
  if (log.log) {
    run.logPath = runtime::Utf16(log.log->Path());
    run.log.reset(new runs::ToolLog(runs::OemCodePage()));
    logs_.push_back({run.id, std::move(*log.log)});
  } else {
    run.logProblem = runtime::Utf16(log.reason);
  }
  processes_.Watch(std::move(process),
                   [this, id = run.id, op, tool](runtime::ProcessEnd end) { RunEnded(id, op, tool, end); });
  // Looked at no more than four times a second while any run is in flight; the timer goes with the last one.
  SetTimer(hwnd(), kFollowTimer, kFollowMs, nullptr);
  RunsMoved();
}

bool MainWindow::FollowLogs() {
  bool changed = false;
  for (FollowedLog& followed : logs_)
    if (runs::Run* run = runs_.Find(followed.id); run && run->log && runs::ReadInto(followed.log, *run->log)) {
      changed = true;
      if (runWindow_) runWindow_->OutputChanged(followed.id);
    }
  return changed;
}

void MainWindow::OnFollowTimer() {
  if (runs_.InFlight() == 0) {
    KillTimer(hwnd(), kFollowTimer);
    return;
  }
  FollowLogs();
  // The durations and an indeterminate strip move on even when a tool is silent.
  RunsMoved();
}

void MainWindow::RunEnded(std::uint32_t id, imaging::Operation op, imaging::Tool tool, runtime::ProcessEnd end) {
  runs::Run* run = runs_.Find(id);
  // The log to its end: the tool has gone, and whatever it wrote is in the file.
  std::u16string toolError;
  for (auto it = logs_.begin(); it != logs_.end(); ++it) {
    if (it->id != id) continue;
    if (run && run->log) {
      // A bounded number of looks: a process the tool started may still hold the file and keep writing.
      for (int look = 0; look < kLooksAtEnd && runs::ReadInto(it->log, *run->log); ++look) {
      }
      run->log->Finish();
      toolError = run->log->errorText();
      if (runWindow_) runWindow_->OutputChanged(id);
    }
    logs_.erase(it);
    break;
  }
  const imaging::RunEnd runEnd{end.known, end.value};
  const imaging::Balloon balloon = imaging::DecideBalloon(op, tool, runEnd, TableText, MessageTableText, toolError);
  const bool failed = balloon.icon == imaging::BalloonIcon::Error;
  runs_.End(id,
            !end.known ? runs::RunState::EndUnknown : end.value == 0 ? runs::RunState::Finished : runs::RunState::Failed,
            imaging::ExitCodeText(end.value, TableText(imaging::kTextCodeWithHex)), GetTickCount64());
  if (failed) ShowFailureForAMoment();
  tray::APIStuff::ShowBalloon(runtime::Wide(balloon.title), runtime::Wide(balloon.text), failed);
  RunsMoved();
  if (runs_.InFlight() == 0) KillTimer(hwnd(), kFollowTimer);
  // The run may have written the files the panels name: their lists are read again; one that mounts, unmounts or
  // repairs has changed what is mounted.
  imageInfo_.RunEnded();
  switch (op) {
    case imaging::Operation::MountReadOnly:
    case imaging::Operation::MountReadWrite:
    case imaging::Operation::UnmountDiscard:
    case imaging::Operation::UnmountCommit:
    case imaging::Operation::Remount:
    case imaging::Operation::Cleanup:
      mounts_.Refresh(hwnd());
      break;
    default:
      break;
  }
}

void MainWindow::RunsMoved() {
  // The tip is sent to the shell only when it says something new, not at every look at the logs.
  std::wstring tip = runtime::Wide(mounts::TipWithMounts(runs::RunsTip(runs_, TableText), runs_.InFlight() > 0,
                                                          sessionMounts_.ReadWriteMounted(mounts_.Known()), TableText));
  if (tray::APIStuff::TrayIconInstalled() && tip != tipShown_) {
    tray::APIStuff::SetTrayTip(tip);
    tipShown_ = std::move(tip);
  }
  if (taskbar_) taskbar_->Show(runs::DecideTaskbar(runs_, showingFailure_));
  UpdateStrip();
  if (runWindow_) runWindow_->RunsChanged();
}

void MainWindow::ShowFailureForAMoment() {
  showingFailure_ = true;
  SetTimer(hwnd(), kFailureTimer, kFailureShownMs, nullptr);
}

void MainWindow::OnFailureTimer() {
  KillTimer(hwnd(), kFailureTimer);
  showingFailure_ = false;
  if (taskbar_) taskbar_->Show(runs::DecideTaskbar(runs_, showingFailure_));
}

}  // namespace vantrel::app
