// The action buttons' tooltips: which tool a click starts, as the tool lookout last saw it.
#include <algorithm>
#include <iterator>

#include "app/main_window_win32.h"

#include <commctrl.h>

namespace vantrel::app {
namespace {

// The buttons that start a tool, with the operation each one's tooltip speaks for.
constexpr std::pair<ControlId, imaging::Operation> kActionButtons[] = {
    {ControlId::MountWim, imaging::Operation::MountReadOnly},
    {ControlId::unMountWim, imaging::Operation::UnmountDiscard},
    {ControlId::ExtWIM, imaging::Operation::Apply},
    {ControlId::MakeWimImage, imaging::Operation::Capture},
};

// The widest a tooltip line grows before it wraps, in design pixels.
constexpr int kToolTipWidth = 600;

}  // namespace

void MainWindow::MakeToolTips(HWND over) {
  if (toolTips_ || std::none_of(std::begin(kActionButtons), std::end(kActionButtons),
                                [&](const auto& button) { return Existing(button.first) == over; }))
    return;
  toolTips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance_,
                                  nullptr));
  if (!toolTips_) return;
  tools_.Start(hwnd());
  ScaleToolTips();
  AddToolTips(ControlId::WIM_Mount);
  AddToolTips(ControlId::WIM_Makes);
  // The move that brought the pointer here starts the tip's wait; the tip follows the buttons' own moves after.
  MSG move{};
  move.hwnd = over;
  move.message = WM_MOUSEMOVE;
  move.time = static_cast<DWORD>(GetMessageTime());
  GetCursorPos(&move.pt);
  POINT client = move.pt;
  ScreenToClient(over, &client);
  move.lParam = MAKELPARAM(client.x, client.y);
  SendMessageW(toolTips_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void MainWindow::ScaleToolTips() {
  if (toolTips_) SendMessageW(toolTips_.get(), TTM_SETMAXTIPWIDTH, 0, scale_.Px(kToolTipWidth));
}

void MainWindow::AddToolTips(ControlId panel) {
  if (!toolTips_) return;  // made when the pointer first comes over an action button
  const std::string_view panelName = Def(panel).name;
  for (const auto& [id, op] : kActionButtons) {
    HWND button = Existing(id);
    if (Def(id).parent != panelName || !button) continue;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = Existing(panel);
    info.uId = reinterpret_cast<UINT_PTR>(button);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(toolTips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

LRESULT MainWindow::OnToolTipText(NMHDR* header) {
  if (!toolTips_ || header->hwndFrom != toolTips_.get() || header->code != TTN_GETDISPINFOW) return 0;
  auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
  for (const auto& [id, op] : kActionButtons) {
    if (Existing(id) != reinterpret_cast<HWND>(header->idFrom)) continue;
    // As last looked at: no tip until the first look has come.
    const auto& tools = tools_.Known();
    toolTipText_ = tools ? imaging::ToolTipFor(op, *tools) : std::wstring();
    info->lpszText = toolTipText_.data();
  }
  return 0;
}

}  // namespace vantrel::app
