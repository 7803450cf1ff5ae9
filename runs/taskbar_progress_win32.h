// The progress of the runs on the main window's taskbar button (ITaskbarList3). The button exists only once
// Explorer has sent "TaskbarButtonCreated"; nothing is called before that, and the taskbar object is made when
// it is first needed, so start-up makes none.
#pragma once
#include <windows.h>
// after windows.h
#include <shobjidl.h>

#include "runs/run_book.h"
#include "runtime/handles.h"

namespace vantrel::runs {

class TaskbarProgressView {
 public:
  // Lets "TaskbarButtonCreated" through the message filter of the elevated `window`, as the tray does with
  // "TaskbarCreated" (Explorer runs at a lower integrity level).
  explicit TaskbarProgressView(HWND window);
  TaskbarProgressView(const TaskbarProgressView&) = delete;
  TaskbarProgressView& operator=(const TaskbarProgressView&) = delete;

  // True for "TaskbarButtonCreated" (again after Explorer restarts): what is to be shown is shown now.
  bool Handle(UINT message);
  // Shows `progress` once the button exists; the same progress twice calls nothing.
  void Show(TaskbarProgress progress);

 private:
  void Apply();

  HWND window_;
  UINT buttonCreated_;
  bool buttonReady_ = false;
  runtime::UniqueCom<ITaskbarList3> taskbar_;
  TaskbarProgress wanted_, shown_;
};

}  // namespace vantrel::runs
