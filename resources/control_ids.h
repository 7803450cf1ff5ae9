// The ids of the main window's controls, as a Win32 resource header holds them: what WM_COMMAND, WM_NOTIFY
// and the colour messages carry, and what the handlers ask their host for. Each id is the row of the control
// tree (app/control_tree.cpp) with the control of that name, in the table's order; the tree checks that at
// compile time.
#pragma once

namespace vantrel {

enum class ControlId : int {
  // Direct children of the window.
  Option2 = 1000,
  Option1,
  WIM_Makes,
  WIM_Mount,
  FilesDialog,
  MacWindow,
  Image1,
  // The mount panel's.
  ExtWIM,
  WIMR_Check,
  unMountWim,
  MountWim,
  MountB,
  MountPath,
  WIMPath,
  WimB,
  WIMindex,
  Label1,
  Label2,
  Label3,
  WimInfo,
  MountsInfo,
  Image3,
  // The capture panel's.
  mk_WimB02,
  WimBoot,
  WIM_Info,
  MakeWimImage,
  WIMSavePath,
  WIM_add_c,
  mk_WimB01,
  mk_WIMPath,
  Label6,
  Label5,
  Label4,
  WimAddInfo,
  Image2,
};

inline constexpr int kFirstControlId = static_cast<int>(ControlId::Option2);
inline constexpr int kControlCount = static_cast<int>(ControlId::Image2) - kFirstControlId + 1;

// The control's row in the tree, 0 for the first.
constexpr int RowOf(ControlId id) { return static_cast<int>(id) - kFirstControlId; }
// True for the value of one of the ids (a WM_COMMAND from a menu or another window carries others).
constexpr bool IsControlId(int value) { return value >= kFirstControlId && value < kFirstControlId + kControlCount; }

}  // namespace vantrel
