#include "mounts/mount_list_win32.h"

#include <utility>

#include "mounts/wimgapi_win32.h"
#include "runtime/handles.h"

namespace vantrel::mounts {

struct MountListReader::Slot {
  SRWLOCK lock = SRWLOCK_INIT;
  HWND window = nullptr;  // null once the window is going: nothing is posted then
  UINT message = 0;
  bool inFlight = false;  // a read is asked for or runs now
  bool again = false;     // asked for while it ran: it reads once more before it posts
  bool arrived = false;   // `list` holds a read the window has not taken yet
  MountList list;
  runtime::UniqueKernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // a read is asked for
  runtime::UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};   // the reader is gone
};

namespace {

volatile LONG g_inFlight = 0;

// How long the reader's end waits for a read stuck in the library.
constexpr DWORD kStopWaitMs = 2000;

// The reading thread: one for the reader's life, asleep in the kernel until a read is asked for. (A thread-pool
// work item at each activation made the pool's threads come and go, and the resident set grew with them.) It
// reads the list until no read was asked for meanwhile, leaves it in the slot and nudges the window. The post is
// made under the lock, so Stop never returns while a post to its window is still to come. Any program of the same
// integrity level can post the message too: it carries nothing the window would take.
DWORD WINAPI ReadWhenAsked(void* context) {
  const std::unique_ptr<std::shared_ptr<MountListReader::Slot>> owned(
      static_cast<std::shared_ptr<MountListReader::Slot>*>(context));
  MountListReader::Slot& slot = **owned;
  const HANDLE waits[] = {slot.stop.get(), slot.wake.get()};
  while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    for (;;) {
      MountList list = ReadMountedImages();
      const runtime::ExclusiveLock lock(slot.lock);
      if (!slot.window) {
        slot.inFlight = slot.again = false;
        break;
      }
      if (slot.again) {
        slot.again = false;
        continue;
      }
      slot.inFlight = false;
      slot.list = std::move(list);
      slot.arrived = true;
      PostMessageW(slot.window, slot.message, 0, 0);
      break;
    }
    InterlockedDecrement(&g_inFlight);
  }
  return 0;
}

}  // namespace

// Not make_shared: see skin::MakeFont.
MountListReader::MountListReader(UINT message) : message_(message), slot_(new Slot()) {
  slot_->message = message;
}

MountListReader::~MountListReader() {
  Stop();
  if (!thread_) return;
  SetEvent(slot_->stop.get());
  WaitForSingleObject(thread_.get(), kStopWaitMs);
}

long MountListReader::ReadsInFlight() {
  return InterlockedCompareExchange(&g_inFlight, 0, 0);
}

void MountListReader::Stop() {
  const runtime::ExclusiveLock lock(slot_->lock);
  slot_->window = nullptr;
  slot_->arrived = false;
  slot_->list.reset();
}

void MountListReader::Refresh(HWND window) {
  {
    const runtime::ExclusiveLock lock(slot_->lock);
    slot_->window = window;
    if (slot_->inFlight) {
      slot_->again = true;
      return;
    }
  }
  if (!thread_ && slot_->wake && slot_->stop) {
    // Made at the first read, never at start-up; its stack is small, since all it does is call the library.
    auto context = std::make_unique<std::shared_ptr<Slot>>(slot_);
    thread_.reset(CreateThread(nullptr, 64 * 1024, &ReadWhenAsked, context.get(), STACK_SIZE_PARAM_IS_A_RESERVATION,
                               nullptr));
    if (thread_) context.release();
  }
  if (!thread_) return;
  {
    const runtime::ExclusiveLock lock(slot_->lock);
    slot_->inFlight = true;
  }
  InterlockedIncrement(&g_inFlight);
  SetEvent(slot_->wake.get());
}

bool MountListReader::Handle(UINT message) {
  if (message != message_) return false;
  const runtime::ExclusiveLock lock(slot_->lock);
  if (slot_->arrived) known_ = std::move(slot_->list);
  slot_->arrived = false;
  slot_->list.reset();
  return true;
}

}  // namespace vantrel::mounts
