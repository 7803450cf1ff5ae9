// What the title bar tells assistive technology (screen readers, through Active Accessibility): the bar
// itself, named by its caption, with two children, the close button (1) and the minimise button (2). They
// are drawn, not windows, so the control answers for them. Platform-free: the values of roles and states
// are those of Active Accessibility, checked against the system's headers where the adapter uses them.
#pragma once

#include <cstdint>
#include <optional>

#include "skin/mac_window.h"

namespace vantrel::skin {

inline constexpr long kAccSelf = 0;  // the bar itself (CHILDID_SELF)
inline constexpr long kAccCloseButton = 1, kAccMinimiseButton = 2;
inline constexpr long kAccChildCount = 2;

// Roles and states (ROLE_SYSTEM_*, STATE_SYSTEM_*).
inline constexpr long kAccRoleTitleBar = 0x1, kAccRolePushButton = 0x2B;
inline constexpr long kAccStatePressed = 0x8, kAccStateHotTracked = 0x80, kAccStateUnavailable = 0x1;

// String-table ids of the buttons' names and of their default action.
inline constexpr std::uint16_t kAccCloseNameId = 10118, kAccMinimiseNameId = 10119, kAccPressActionId = 10120;

// The part a child id stands for; none for the bar itself and for ids the bar does not have.
std::optional<Part> AccPartOf(long child);
// The child at (x, y) in control pixels: a button, the bar itself (strip, caption, surface), or none
// outside the control.
std::optional<long> AccChildAt(const MacWindow& bar, float x, float y);
long AccRole(long child);
// The buttons are hot while they show their hover picture and pressed while they show their pressed one;
// unavailable while the control is disabled.
long AccState(const MacWindow& bar, long child);
// The string-table id of a button's name; 0 for the bar, whose name is its caption.
std::uint16_t AccNameId(long child);
// Keyboard-free navigation among the children: next and previous (no wrapping), first and last child of
// the bar. Directions are NAVDIR_* (1 up, 2 down, 3 left, 4 right, 5 next, 6 previous, 7 first child,
// 8 last child); left and right go between the buttons as they sit. None where there is nothing.
std::optional<long> AccNavigate(long from, long direction);

}  // namespace vantrel::skin
