#include "imaging/tool_lookout_win32.h"

#include <utility>

#include "runtime/runtime.h"

namespace vantrel::imaging {

struct ToolLookout::Shared {
  HWND window = nullptr;
  UINT message = 0;
  runtime::UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  SRWLOCK lock = SRWLOCK_INIT;
  std::optional<ToolSetup> latest;  // the latest look not yet taken by the window
};

namespace {

// How long the end of the program waits for a look in progress.
constexpr DWORD kStopWaitMs = 2000;

DWORD WINAPI Watch(void* context) {
  // The thread's own reference: the lookout may be gone before this thread is.
  const std::unique_ptr<std::shared_ptr<ToolLookout::Shared>> owned(
      static_cast<std::shared_ptr<ToolLookout::Shared>*>(context));
  ToolLookout::Shared& shared = **owned;
  const runtime::UniqueChangeNotification change(
      FindFirstChangeNotificationW(runtime::ProgramFolder().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
  for (;;) {
    ToolSetup setup = CurrentTool();
    {
      const runtime::ExclusiveLock lock(shared.lock);
      shared.latest = std::move(setup);
    }
    PostMessageW(shared.window, shared.message, 0, 0);
    // A folder that cannot be watched is looked at once; then the thread waits only to be stopped.
    const HANDLE waits[] = {shared.stop.get(), change.get()};
    const DWORD count = change ? 2 : 1;
    if (WaitForMultipleObjects(count, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
    if (!FindNextChangeNotification(change.get())) {
      WaitForSingleObject(shared.stop.get(), INFINITE);
      break;
    }
  }
  return 0;
}

}  // namespace

ToolLookout::ToolLookout(UINT message) : message_(message) {}

ToolLookout::~ToolLookout() {
  if (!thread_) return;
  SetEvent(shared_->stop.get());
  WaitForSingleObject(thread_.get(), kStopWaitMs);
}

void ToolLookout::Start(HWND window) {
  if (shared_) return;
  shared_.reset(new Shared());  // not make_shared: see skin::MakeFont
  shared_->window = window;
  shared_->message = message_;
  if (!shared_->stop) return;
  auto context = std::make_unique<std::shared_ptr<Shared>>(shared_);
  thread_.reset(CreateThread(nullptr, 64 * 1024, &Watch, context.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (thread_) context.release();
}

bool ToolLookout::Handle(UINT message) {
  if (message != message_ || !shared_) return false;
  const runtime::ExclusiveLock lock(shared_->lock);
  if (shared_->latest) known_ = std::move(shared_->latest);
  shared_->latest.reset();
  return true;
}

}  // namespace vantrel::imaging
