// The main window's controls as data: one row per control, in the design's stacking order inside each
// container (topmost first). The Win32 code creates the real windows from this table; nothing else in the
// program repeats a position, a size or a caption id.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "resources/control_ids.h"

namespace vantrel::app {

enum class Kind { OptionButton, Frame, FileDialog, TitleBar, Image, CommandButton, CheckBox, TextBox, Label };

// A colour: either a system colour index (5 window background, 8 window text) or an RGB value.
struct Colour {
  bool system = false;
  std::uint32_t value = 0;  // system index, or 0x00BBGGRR like a Windows COLORREF
};
constexpr Colour SystemColour(std::uint32_t index) { return {true, index}; }
constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return {false, static_cast<std::uint32_t>(r | (g << 8) | (b << 16))};
}

struct ControlDef {
  ControlId id;              // what the control's messages carry
  std::string_view name;
  Kind kind;
  std::string_view parent;  // "" for a direct child of the main window, else the panel's name
  double left, top;         // pixels in the parent (one design value is a third of a pixel)
  int width, height;        // pixels; 0 x 0 for labels that size themselves to their caption
  std::u16string_view designText;  // design caption or initial text
  std::uint16_t captionId;         // string table id that replaces the caption at start-up, or 0
  int tabIndex;                    // design tab index, or -1 for controls that take no focus
  std::optional<Colour> back, fore;
};

inline constexpr int kDesignWidth = 516, kDesignHeight = 481;    // client area as designed, pixels
inline constexpr int kWindowWidth = 406, kWindowHeight = 274;    // after start-up: the picture's size
inline constexpr int kTwipsPerPixel = 15;
inline constexpr std::uint32_t kColourKey = 0x00FF00FF;          // RGB(255,0,255), fully transparent
inline constexpr std::uint8_t kWindowAlpha = 200;

// Every control of the main window, containers before their children.
std::span<const ControlDef> ControlTree();
const ControlDef* FindControl(std::string_view name);
// The row of a control by its id.
const ControlDef& Def(ControlId id);

// The children of one container ("" = the main window) in tab order.
template <typename F>
void ForEachChildInTabOrder(std::string_view parent, F&& f);

// Keyboard navigation in the design tab order, across the panels and the window: the control that Tab
// (backwards: Shift+Tab) moves the focus to from the control `from` ("" when the focus is on none of them:
// Tab then finds the first stop, Shift+Tab the last). Tab stops are the text boxes, buttons, check boxes
// and mode buttons that `available` accepts (shown and enabled); of a group of mode buttons (option
// buttons next to each other in the order, in the same container) only the one `checked` accepts is a
// stop (the group's first when none is), and a move from inside a group leaves the group. Wraps round;
// "" when there is no other stop.
std::string_view NextTabStop(std::string_view from, bool backwards,
                             const std::function<bool(std::string_view)>& available,
                             const std::function<bool(std::string_view)>& checked);

// The label that names a text box for the user and for assistive technology (the caption above it, or
// beside it for the index), or "" when it has none. The label is placed just before its text box in the
// stacking order, where screen readers look for an edit box's name.
std::string_view LabelOf(std::string_view textBox);

// One step of the caption loader: which control's caption gets which string.
struct CaptionStep {
  std::string_view control;  // control name, or "up_Show" / "up_Copy" / "up_Runs" / "up_Exit" for the tray menu
                            // entries
  std::uint16_t id;
};
std::span<const CaptionStep> CaptionOrder();

}  // namespace vantrel::app

#include "app/control_tree_inl.h"
