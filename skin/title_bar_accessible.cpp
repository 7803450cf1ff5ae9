#include "skin/title_bar_accessible.h"

namespace vantrel::skin {

std::optional<Part> AccPartOf(long child) {
  if (child == kAccCloseButton) return Part::BuStart;
  if (child == kAccMinimiseButton) return Part::BuEnd;
  return std::nullopt;
}

std::optional<long> AccChildAt(const MacWindow& bar, float x, float y) {
  const Rect all = bar.Box(Part::Surface);
  if (!(x >= all.left && y >= all.top && x < all.left + all.width && y < all.top + all.height)) return std::nullopt;
  switch (bar.HitTest(x, y)) {
    case Part::BuStart: return kAccCloseButton;
    case Part::BuEnd: return kAccMinimiseButton;
    default: return kAccSelf;
  }
}

long AccRole(long child) { return AccPartOf(child) ? kAccRolePushButton : kAccRoleTitleBar; }

long AccState(const MacWindow& bar, long child) {
  long state = bar.Enabled() ? 0 : kAccStateUnavailable;
  if (const std::optional<Part> part = AccPartOf(child)) {
    switch (bar.PictureOf(*part)) {
      case Picture::D_Img1:
      case Picture::D_Img2: state |= kAccStatePressed; break;
      case Picture::M_Img1:
      case Picture::M_Img2: state |= kAccStateHotTracked; break;
      default: break;
    }
  }
  return state;
}

std::uint16_t AccNameId(long child) {
  if (child == kAccCloseButton) return kAccCloseNameId;
  if (child == kAccMinimiseButton) return kAccMinimiseNameId;
  return 0;
}

std::optional<long> AccNavigate(long from, long direction) {
  constexpr long kLeft = 3, kRight = 4, kNext = 5, kPrevious = 6, kFirstChild = 7, kLastChild = 8;
  if (from == kAccSelf) {
    if (direction == kFirstChild) return kAccCloseButton;
    if (direction == kLastChild) return kAccMinimiseButton;
    return std::nullopt;
  }
  if (!AccPartOf(from)) return std::nullopt;
  if ((direction == kNext || direction == kRight) && from == kAccCloseButton) return kAccMinimiseButton;
  if ((direction == kPrevious || direction == kLeft) && from == kAccMinimiseButton) return kAccCloseButton;
  return std::nullopt;
}

}  // namespace vantrel::skin
