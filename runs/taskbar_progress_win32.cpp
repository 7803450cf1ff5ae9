#include "runs/taskbar_progress_win32.h"

#include "runtime/test_seam.h"

namespace vantrel::runs {
namespace {

// CLSID_TaskbarList, spelt out so that no GUID library is linked for it.
constexpr CLSID kTaskbarList = {0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};

TBPFLAG FlagOf(TaskbarState state) {
  switch (state) {
    case TaskbarState::None: return TBPF_NOPROGRESS;
    case TaskbarState::Indeterminate: return TBPF_INDETERMINATE;
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Error: return TBPF_ERROR;
  }
  return TBPF_NOPROGRESS;
}

}  // namespace

TaskbarProgressView::TaskbarProgressView(HWND window)
    : window_(window), buttonCreated_(RegisterWindowMessageW(L"TaskbarButtonCreated")) {
  if (buttonCreated_) ChangeWindowMessageFilterEx(window_, buttonCreated_, MSGFLT_ALLOW, nullptr);
}

bool TaskbarProgressView::Handle(UINT message) {
  if (!buttonCreated_ || message != buttonCreated_) return false;
  buttonReady_ = true;
  shown_ = TaskbarProgress{};  // a new button shows no progress: nothing is called for none
  Apply();
  return true;
}

void TaskbarProgressView::Show(TaskbarProgress progress) {
  wanted_ = progress;
  Apply();
}

void TaskbarProgressView::Apply() {
  if (!buttonReady_ || wanted_ == shown_) return;
  if (!taskbar_) {
    ITaskbarList3* made = nullptr;
    if (FAILED(CoCreateInstance(kTaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made))) || !made) return;
    taskbar_.reset(made);
    if (FAILED(taskbar_.get()->HrInit())) {
      taskbar_.reset();
      return;
    }
  }
  const TBPFLAG flag = FlagOf(wanted_.state);
  // A value sets the normal state itself: the bar's value first, then the state it is to be shown in.
  if (wanted_.state == TaskbarState::Normal || wanted_.state == TaskbarState::Error)
    taskbar_.get()->SetProgressValue(window_, static_cast<ULONGLONG>(wanted_.tenths), 1000);
  const HRESULT result = taskbar_.get()->SetProgressState(window_, flag);
  if (auto* observe = runtime::TestSeam().taskbarProgress) observe(window_, flag, wanted_.tenths, result);
  shown_ = wanted_;
}

}  // namespace vantrel::runs
