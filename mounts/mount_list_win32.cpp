#include "mounts/mount_list_win32.h"

#include <utility>

#include "mounts/wimgapi_win32.h"
#include "runtime/handles.h"

namespace vantrel::mounts {

struct MountListReader::Slot {
  SRWLOCK lock = SRWLOCK_INIT;
  HWND window = nullptr;  // null once the window is going: nothing is posted then
  UINT message = 0;
  bool inFlight = false;  // a read runs now
  bool again = false;     // asked for while it ran: it reads once more before it posts
  bool arrived = false;   // `list` holds a read the window has not taken yet
  MountList list;
};

namespace {

volatile LONG g_inFlight = 0;

// Work for a thread-pool thread: read the list until no read was asked for meanwhile, leave it in the slot and
// nudge the window. The post is made under the lock, so Stop never returns while a post to its window is still to
// come. Any program of the same integrity level can post the message too: it carries nothing the window would take.
void CALLBACK ReadInBackground(PTP_CALLBACK_INSTANCE, void* context) {
  {
    const std::unique_ptr<std::shared_ptr<MountListReader::Slot>> owned(
        static_cast<std::shared_ptr<MountListReader::Slot>*>(context));
    MountListReader::Slot& slot = **owned;
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
  }
  InterlockedDecrement(&g_inFlight);
}

}  // namespace

// Not make_shared: see skin::MakeFont.
MountListReader::MountListReader(UINT message) : message_(message), slot_(new Slot()) {
  slot_->message = message;
}

MountListReader::~MountListReader() {
  Stop();
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
    slot_->inFlight = true;
  }
  auto context = std::make_unique<std::shared_ptr<Slot>>(slot_);
  InterlockedIncrement(&g_inFlight);
  if (TrySubmitThreadpoolCallback(&ReadInBackground, context.get(), nullptr)) {
    context.release();
    return;
  }
  InterlockedDecrement(&g_inFlight);
  const runtime::ExclusiveLock lock(slot_->lock);
  slot_->inFlight = false;
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
