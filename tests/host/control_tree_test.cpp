// The main window's control table: the facts the window code relies on when it builds the window.
#include <gtest/gtest.h>

#include <map>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "app/control_tree.h"

namespace vantrel::app {
namespace {

TEST(ControlTree, EveryCaptionedControlIsLoadedOnceWithItsOwnId) {
  std::map<std::string, int> loads;
  for (const CaptionStep& step : CaptionOrder()) {
    ++loads[std::string(step.control)];
    if (const ControlDef* def = FindControl(step.control)) {
      EXPECT_EQ(def->captionId, step.id) << step.control;
      // The design caption is the id's decimal text, a placeholder the loader replaces.
      std::string digits = std::to_string(step.id);
      EXPECT_EQ(def->designText, std::u16string(digits.begin(), digits.end())) << step.control;
    } else {
      EXPECT_TRUE(step.control == "up_Show" || step.control == "up_Copy" || step.control == "up_Runs" ||
                  step.control == "up_Exit") << step.control;
    }
  }
  for (const ControlDef& def : ControlTree())
    if (def.captionId != 0) {
      EXPECT_EQ(loads[std::string(def.name)], 1) << def.name;
    }
  for (const auto& [name, count] : loads) EXPECT_EQ(count, 1) << name;
}

TEST(ControlTree, CaptionOrderStartsWithTheTitleBarAndEndsWithTheTrayMenu) {
  auto order = CaptionOrder();
  ASSERT_EQ(order.size(), 24u);
  EXPECT_EQ(order.front().control, "MacWindow");
  EXPECT_EQ(order.front().id, 10101);
  EXPECT_EQ(order[order.size() - 4].control, "up_Show");
  EXPECT_EQ(order[order.size() - 4].id, 30101);
  EXPECT_EQ(order[order.size() - 3].control, "up_Copy");
  EXPECT_EQ(order[order.size() - 3].id, 30103);
  EXPECT_EQ(order[order.size() - 2].control, "up_Runs");
  EXPECT_EQ(order[order.size() - 2].id, 30104);
  EXPECT_EQ(order.back().control, "up_Exit");
  EXPECT_EQ(order.back().id, 30102);
  // The four browse buttons share one string and are loaded one after the other.
  std::vector<std::string_view> browse;
  for (const CaptionStep& s : order)
    if (s.id == 10108) browse.push_back(s.control);
  EXPECT_EQ(browse, (std::vector<std::string_view>{"WimB", "MountB", "mk_WimB01", "mk_WimB02"}));
}

TEST(ControlTree, ChildrenFitTheirPanelAndTabIndexesAreUnique) {
  std::set<int> tabs;
  for (const ControlDef& def : ControlTree()) {
    if (def.tabIndex >= 0) {
      EXPECT_TRUE(tabs.insert(def.tabIndex).second) << def.name;
    }
    if (def.parent.empty() || def.kind == Kind::Image || def.kind == Kind::Label) continue;
    const ControlDef* panel = FindControl(def.parent);
    ASSERT_NE(panel, nullptr) << def.name;
    EXPECT_EQ(panel->kind, Kind::Frame);
    EXPECT_GE(def.left, 0) << def.name;
    EXPECT_LE(def.left + def.width, panel->width) << def.name;
    EXPECT_LE(def.top + def.height, panel->height) << def.name;
  }
}

TEST(ControlTree, EveryTextBoxIsNamedByTheLabelJustAboveOrBeforeIt) {
  std::set<std::string_view> used;
  for (const ControlDef& box : ControlTree()) {
    if (box.kind != Kind::TextBox) continue;
    const ControlDef* label = FindControl(LabelOf(box.name));
    ASSERT_NE(label, nullptr) << box.name;
    EXPECT_EQ(label->kind, Kind::Label) << box.name;
    EXPECT_EQ(label->parent, box.parent) << box.name;
    EXPECT_TRUE(used.insert(label->name).second) << label->name << " names two boxes";
    // Its caption ends where the box starts: in the rows just above it, or on its row to its left.
    const bool above = label->top < box.top && box.top - label->top <= 20 && label->left <= box.left;
    const bool before = std::abs(label->top - box.top) <= 4 && label->left < box.left;
    EXPECT_TRUE(above || before) << box.name << " / " << label->name;
  }
  EXPECT_EQ(used.size(), 6u);
  EXPECT_EQ(LabelOf("MountWim"), "");
}

TEST(ControlTree, ModeButtonsSitSideBySideUnderTheHeaderBand) {
  const ControlDef* one = FindControl("Option1");
  const ControlDef* two = FindControl("Option2");
  const ControlDef* band = FindControl("Image1");
  const ControlDef* mount = FindControl("WIM_Mount");
  ASSERT_TRUE(one && two && band && mount);
  EXPECT_EQ(one->left + one->width, two->left);  // no gap
  EXPECT_EQ(one->top, two->top);
  EXPECT_EQ(band->top + band->height, one->top);  // the band ends where the buttons start
  EXPECT_LE(one->top + one->height, mount->top);
  EXPECT_LE(band->left + band->width, kWindowWidth);
}

TEST(ControlTree, ChildrenComeInTabOrderWithWindowlessOnesLast) {
  std::vector<std::string_view> names;
  ForEachChildInTabOrder("WIM_Mount", [&](const ControlDef& def) { names.push_back(def.name); });
  EXPECT_EQ(names, (std::vector<std::string_view>{"WIMindex", "WimB", "WIMPath", "MountPath", "MountB", "Label3",
                                                  "Label2", "Label1", "MountWim", "unMountWim", "WIMR_Check",
                                                  "ExtWIM", "WimInfo", "MountsInfo", "Image3"}));
  names.clear();
  ForEachChildInTabOrder("", [&](const ControlDef& def) { names.push_back(def.name); });
  EXPECT_EQ(names, (std::vector<std::string_view>{"WIM_Mount", "WIM_Makes", "Option1", "Option2", "FilesDialog",
                                                  "MacWindow", "Image1"}));
}

// Tab walks the design tab order of the view shown, across the panel and the mode buttons, wrapping round,
// and Shift+Tab walks it back; of the mode buttons only the checked one is a stop.
TEST(ControlTree, TabWalksTheDesignOrderOfEachView) {
  struct View {
    const char* hiddenPanel;
    const char* checkedMode;
    std::vector<std::string_view> order;
  };
  const View views[] = {
      {"WIM_Makes", "Option1",
       {"WIMindex", "WimB", "WIMPath", "MountPath", "MountB", "MountWim", "unMountWim", "WIMR_Check", "ExtWIM",
        "Option1"}},
      {"WIM_Mount", "Option2",
       {"mk_WIMPath", "mk_WimB01", "WIM_add_c", "WIMSavePath", "MakeWimImage", "WIM_Info", "WimBoot", "Option2",
        "mk_WimB02"}},
  };
  for (const View& view : views) {
    SCOPED_TRACE(view.checkedMode);
    const std::string hidden = view.hiddenPanel, mode = view.checkedMode;
    auto available = [&](std::string_view name) { return FindControl(name)->parent != hidden; };
    auto checked = [&](std::string_view name) { return name == mode; };
    const std::size_t n = view.order.size();
    EXPECT_EQ(NextTabStop("", false, available, checked), view.order.front());
    EXPECT_EQ(NextTabStop("", true, available, checked), view.order.back());
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(NextTabStop(view.order[i], false, available, checked), view.order[(i + 1) % n]);
      EXPECT_EQ(NextTabStop(view.order[(i + 1) % n], true, available, checked), view.order[i]);
    }
  }
  // From the unchecked mode button (focused by a click a moment before it is checked) the walk leaves the
  // group either way; a disabled control is passed over; with no mode checked the group's first is the stop.
  auto capture = [](std::string_view name) { return FindControl(name)->parent != "WIM_Mount"; };
  auto option2 = [](std::string_view name) { return name == "Option2"; };
  EXPECT_EQ(NextTabStop("Option1", false, capture, option2), "mk_WimB02");
  EXPECT_EQ(NextTabStop("Option1", true, capture, option2), "WimBoot");
  auto noBrowseButton = [&](std::string_view name) { return capture(name) && name != "mk_WimB02"; };
  EXPECT_EQ(NextTabStop("Option2", false, noBrowseButton, option2), "mk_WIMPath");
  auto none = [](std::string_view) { return false; };
  EXPECT_EQ(NextTabStop("WimBoot", false, capture, none), "Option1");
  // Nothing to go to: no stop at all, or only the one the focus is on.
  EXPECT_EQ(NextTabStop("", false, none, none), "");
  auto onlyIndex = [](std::string_view name) { return name == "WIMindex"; };
  EXPECT_EQ(NextTabStop("WIMindex", false, onlyIndex, none), "");
}

}  // namespace
}  // namespace vantrel::app
