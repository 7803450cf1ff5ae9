#include "imaging/tool_lookout_win32.h"

#include "runtime/handles.h"

namespace vantrel::imaging {

struct ToolLookout::Slot {
  SRWLOCK lock = SRWLOCK_INIT;
  bool inFlight = false;
  std::optional<ToolSetup> outcome;
};

namespace {

struct Look {
  HWND window;
  UINT message;
  std::shared_ptr<ToolLookout::Slot> slot;
};

void CALLBACK LookInBackground(PTP_CALLBACK_INSTANCE, void* context) {
  const std::unique_ptr<Look> look(static_cast<Look*>(context));
  ToolSetup setup = CurrentTool();
  {
    const runtime::ExclusiveLock lock(look->slot->lock);
    look->slot->outcome = std::move(setup);
    look->slot->inFlight = false;
  }
  // The message carries nothing: the facts are taken from the slot.
  PostMessageW(look->window, look->message, 0, 0);
}

}  // namespace

ToolLookout::ToolLookout(UINT message) : message_(message), slot_(std::make_shared<Slot>()) {}

void ToolLookout::Refresh(HWND window) {
  {
    const runtime::ExclusiveLock lock(slot_->lock);
    if (slot_->inFlight) return;
    slot_->inFlight = true;
  }
  auto look = std::make_unique<Look>(Look{window, message_, slot_});
  if (TrySubmitThreadpoolCallback(&LookInBackground, look.get(), nullptr)) {
    look.release();
    return;
  }
  const runtime::ExclusiveLock lock(slot_->lock);
  slot_->inFlight = false;
}

bool ToolLookout::Handle(UINT message) {
  if (message != message_) return false;
  const runtime::ExclusiveLock lock(slot_->lock);
  if (slot_->outcome) known_ = std::move(slot_->outcome);
  slot_->outcome.reset();
  return true;
}

}  // namespace vantrel::imaging
