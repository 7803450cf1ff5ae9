#include "app/control_tree.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vantrel::app {
namespace {

constexpr Colour kPanelBack = Rgb(236, 236, 236);
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr std::nullopt_t none = std::nullopt;

// Direct children of the window, then the mount panel's, then the capture panel's; each block in the
// design's stacking order, topmost first.
constexpr std::array kTree{
    ControlDef{ControlId::Option2, "Option2", Kind::OptionButton, "", 114, 68, 113, 20, u"10103", 10103, 26, SystemColour(5), SystemColour(8)},
    ControlDef{ControlId::Option1, "Option1", Kind::OptionButton, "", 1, 68, 113, 20, u"10102", 10102, 25, SystemColour(5), SystemColour(8)},
    ControlDef{ControlId::WIM_Makes, "WIM_Makes", Kind::Frame, "", 8, 296, 392, 169, u"WIM 镜像制作", 0, 13, kPanelBack, none},
    ControlDef{ControlId::WIM_Mount, "WIM_Mount", Kind::Frame, "", 8, 96, 392, 169, u"WIM 镜像挂载", 0, 1, kPanelBack, none},
    ControlDef{ControlId::FilesDialog, "FilesDialog", Kind::FileDialog, "", 424, 48, 0, 0, u"", 0, -1, none, none},
    ControlDef{ControlId::MacWindow, "MacWindow", Kind::TitleBar, "", 5, 2, 396, 18, u"10101", 10101, -1, none, none},
    ControlDef{ControlId::Image1, "Image1", Kind::Image, "", 1, 19, 404, 49, u"", 0, -1, none, none},

    ControlDef{ControlId::ExtWIM, "ExtWIM", Kind::CommandButton, "WIM_Mount", 3875.0 / kTwipsPerPixel, 136, 129, 25, u"10111", 10111, 18, none, none},
    ControlDef{ControlId::WIMR_Check, "WIMR_Check", Kind::CheckBox, "WIM_Mount", 144, 56, 73, 17, u"10106", 10106, 12, kPanelBack, kBlack},
    ControlDef{ControlId::unMountWim, "unMountWim", Kind::CommandButton, "WIM_Mount", 125, 136, 129, 25, u"10110", 10110, 11, none, none},
    ControlDef{ControlId::MountWim, "MountWim", Kind::CommandButton, "WIM_Mount", 0, 136, 121, 25, u"10109", 10109, 10, none, none},
    ControlDef{ControlId::MountB, "MountB", Kind::CommandButton, "WIM_Mount", 325, 96, 57, 18, u"10108", 10108, 6, none, none},
    ControlDef{ControlId::MountPath, "MountPath", Kind::TextBox, "WIM_Mount", 16, 96, 297, 18, u"", 0, 5, none, none},
    ControlDef{ControlId::WIMPath, "WIMPath", Kind::TextBox, "WIM_Mount", 16, 32, 297, 18, u"", 0, 4, none, none},
    ControlDef{ControlId::WimB, "WimB", Kind::CommandButton, "WIM_Mount", 325, 32, 57, 18, u"10108", 10108, 3, none, none},
    ControlDef{ControlId::WIMindex, "WIMindex", Kind::TextBox, "WIM_Mount", 104, 56, 33, 18, u"1", 0, 2, none, none},
    ControlDef{ControlId::Label1, "Label1", Kind::Label, "WIM_Mount", 8, 80, 0, 0, u"10107", 10107, 9, none, kBlack},
    ControlDef{ControlId::Label2, "Label2", Kind::Label, "WIM_Mount", 8, 16, 0, 0, u"10104", 10104, 8, none, kBlack},
    ControlDef{ControlId::Label3, "Label3", Kind::Label, "WIM_Mount", 16, 58, 0, 0, u"10105", 10105, 7, none, kBlack},
    // The image the index names, in the file the path names (filled in as they are typed; empty at first).
    ControlDef{ControlId::WimInfo, "WimInfo", Kind::Label, "WIM_Mount", 221, 58, 161, 14, u"", 0, -1, none, kBlack},
    // What Windows says is mounted, beside the mount folder's label (empty while nothing is mounted).
    ControlDef{ControlId::MountsInfo, "MountsInfo", Kind::Label, "WIM_Mount", 190, 82, 192, 14, u"", 0, -1, none, kBlack},
    ControlDef{ControlId::Image3, "Image3", Kind::Image, "WIM_Mount", 0, 0, 400, 300, u"", 0, -1, none, none},

    ControlDef{ControlId::mk_WimB02, "mk_WimB02", Kind::CommandButton, "WIM_Makes", 325, 80, 57, 18, u"10108", 10108, 27, none, none},
    ControlDef{ControlId::WimBoot, "WimBoot", Kind::CheckBox, "WIM_Makes", 120, 44, 73, 17, u"10114", 10114, 24, kPanelBack, kBlack},
    ControlDef{ControlId::WIM_Info, "WIM_Info", Kind::TextBox, "WIM_Makes", 24, 120, 289, 18, u"", 0, 23, none, none},
    ControlDef{ControlId::MakeWimImage, "MakeWimImage", Kind::CommandButton, "WIM_Makes", 216, 144, 105, 25, u"10117", 10117, 21, none, none},
    ControlDef{ControlId::WIMSavePath, "WIMSavePath", Kind::TextBox, "WIM_Makes", 24, 80, 289, 18, u"", 0, 20, none, none},
    ControlDef{ControlId::WIM_add_c, "WIM_add_c", Kind::CheckBox, "WIM_Makes", 24, 44, 81, 17, u"10113", 10113, 17, kPanelBack, kBlack},
    ControlDef{ControlId::mk_WimB01, "mk_WimB01", Kind::CommandButton, "WIM_Makes", 325, 24, 57, 18, u"10108", 10108, 16, none, none},
    ControlDef{ControlId::mk_WIMPath, "mk_WIMPath", Kind::TextBox, "WIM_Makes", 24, 24, 289, 18, u"", 0, 15, none, none},
    ControlDef{ControlId::Label6, "Label6", Kind::Label, "WIM_Makes", 8, 104, 0, 0, u"10116", 10116, 22, none, kBlack},
    ControlDef{ControlId::Label5, "Label5", Kind::Label, "WIM_Makes", 8, 64, 0, 0, u"10115", 10115, 19, none, kBlack},
    ControlDef{ControlId::Label4, "Label4", Kind::Label, "WIM_Makes", 8, 8, 0, 0, u"10112", 10112, 14, none, kBlack},
    // While appending: how many images the file holds and the new one's number.
    ControlDef{ControlId::WimAddInfo, "WimAddInfo", Kind::Label, "WIM_Makes", 198, 46, 184, 14, u"", 0, -1, none, kBlack},
    ControlDef{ControlId::Image2, "Image2", Kind::Image, "WIM_Makes", 0, 0, 400, 300, u"", 0, -1, none, none},
};

// Each row's id is its place in the table, so that an id finds its row at once.
constexpr bool IdsFollowTheRows() {
  for (std::size_t i = 0; i < kTree.size(); ++i)
    if (RowOf(kTree[i].id) != static_cast<int>(i)) return false;
  return kTree.size() == kControlCount;
}
static_assert(IdsFollowTheRows());

// The caption loader's order. Each step looks its string up again, so 10108 is read four times.
constexpr std::array kCaptionOrder{
    CaptionStep{"MacWindow", 10101}, CaptionStep{"Option1", 10102},   CaptionStep{"Option2", 10103},
    CaptionStep{"Label2", 10104},    CaptionStep{"Label3", 10105},    CaptionStep{"Label1", 10107},
    CaptionStep{"WIMR_Check", 10106}, CaptionStep{"WimB", 10108},     CaptionStep{"MountB", 10108},
    CaptionStep{"mk_WimB01", 10108}, CaptionStep{"mk_WimB02", 10108}, CaptionStep{"MountWim", 10109},
    CaptionStep{"unMountWim", 10110}, CaptionStep{"ExtWIM", 10111},   CaptionStep{"Label4", 10112},
    CaptionStep{"WIM_add_c", 10113}, CaptionStep{"WimBoot", 10114},   CaptionStep{"Label5", 10115},
    CaptionStep{"Label6", 10116},    CaptionStep{"MakeWimImage", 10117}, CaptionStep{"up_Show", 30101}, CaptionStep{"up_Copy", 30103},
    CaptionStep{"up_Runs", 30104}, CaptionStep{"up_Exit", 30102},
};

struct Labelled {
  std::string_view textBox, label;
};
constexpr std::array kLabels{
    Labelled{"WIMPath", "Label2"},    Labelled{"WIMindex", "Label3"},    Labelled{"MountPath", "Label1"},
    Labelled{"mk_WIMPath", "Label4"}, Labelled{"WIMSavePath", "Label5"}, Labelled{"WIM_Info", "Label6"},
};

}  // namespace

std::span<const ControlDef> ControlTree() { return kTree; }

std::string_view LabelOf(std::string_view textBox) {
  for (const Labelled& l : kLabels)
    if (l.textBox == textBox) return l.label;
  return {};
}

const ControlDef* FindControl(std::string_view name) {
  for (const ControlDef& c : kTree)
    if (c.name == name) return &c;
  return nullptr;
}

const ControlDef& Def(ControlId id) { return kTree[static_cast<std::size_t>(RowOf(id))]; }

std::span<const CaptionStep> CaptionOrder() { return kCaptionOrder; }

std::string_view NextTabStop(std::string_view from, bool backwards,
                             const std::function<bool(std::string_view)>& available,
                             const std::function<bool(std::string_view)>& checked) {
  // The controls that can take the focus, in design tab order, each with the first of its group.
  std::vector<const ControlDef*> order;
  for (const ControlDef& c : kTree) {
    const bool focusable = c.kind == Kind::TextBox || c.kind == Kind::CommandButton || c.kind == Kind::CheckBox ||
                           c.kind == Kind::OptionButton;
    if (focusable && c.tabIndex >= 0) order.push_back(&c);
  }
  std::sort(order.begin(), order.end(), [](const ControlDef* a, const ControlDef* b) { return a->tabIndex < b->tabIndex; });
  const std::size_t n = order.size();
  std::vector<std::size_t> group(n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool joinsPrevious = i > 0 && order[i]->kind == Kind::OptionButton &&
                               order[i - 1]->kind == Kind::OptionButton && order[i]->parent == order[i - 1]->parent;
    group[i] = joinsPrevious ? group[i - 1] : i;
  }
  auto isStop = [&](std::size_t i) {
    if (!available(order[i]->name)) return false;
    if (order[i]->kind != Kind::OptionButton) return true;
    if (checked(order[i]->name)) return true;
    if (group[i] != i) return false;
    for (std::size_t j = i + 1; j < n && group[j] == i; ++j)
      if (available(order[j]->name) && checked(order[j]->name)) return false;
    return true;
  };

  std::size_t at = n;
  for (std::size_t i = 0; i < n; ++i)
    if (order[i]->name == from) at = i;
  // From none of them: as if from just before the first (Tab) or just after the last (Shift+Tab).
  for (std::size_t step = 1; step <= n; ++step) {
    std::size_t i;
    if (at == n)
      i = backwards ? n - step : step - 1;
    else
      i = backwards ? (at + n - step) % n : (at + step) % n;
    if (at != n && group[i] == group[at]) continue;
    if (isStop(i)) return order[i]->name;
  }
  return {};
}

}  // namespace vantrel::app
