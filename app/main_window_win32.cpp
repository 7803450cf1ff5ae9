#include "app/main_window_win32.h"

#include <commctrl.h>

#include "app/window_drag_win32.h"
#include "runtime/dpi.h"
#include "runtime/runtime.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::app {
namespace {

// Asked before WM_DPICHANGED (Windows 10 1703 and later); older SDK headers lack it.
constexpr UINT kGetDpiScaledSize = 0x02E4;

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
  tray::APIStuff::SetOpenRunsHandler(nullptr);  // it calls this object
  // The window and its controls go first, while the fonts, brushes and pictures they use still exist.
  runWindow_.reset();
  toolTips_.reset();
  stripTip_.reset();
  DestroyWindowNow();
}

void MainWindow::OnWindowGone() {
  mounts_.Stop();  // a read in flight posts nothing to the window gone
  toolTips_.release();  // owned by the window, gone with it
  stripTip_.release();
  controls_.fill(nullptr);
}

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance, int showCommand) {
  std::unique_ptr<MainWindow> self(new MainWindow(instance));
  self->panelBrush_.reset(CreateSolidBrush(RGB(236, 236, 236)));
  self->optionBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));

  // Created at its design size, centred for the size it will have, and hidden until loaded; sizes at the
  // screen's DPI until the window knows its own.
  const resources::DpiScale screen(runtime::WindowDpi(nullptr));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + ((work.right - work.left) - screen.Px(kWindowWidth)) / 2;
  const int y = work.top + ((work.bottom - work.top) - screen.Px(kWindowHeight)) / 2;
  if (!self->CreateFor(WindowClass(instance), 0, L"", WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                       screen.Px(kDesignWidth), screen.Px(kDesignHeight), nullptr))
    return nullptr;
  // Artwork and GDI objects are made once for the life of the window, at its DPI (again when that changes).
  self->scale_ = resources::DpiScale(runtime::WindowDpi(self->hwnd()));
  self->MakeArtwork();
  self->MakeIcons(/*atStartUp=*/true);
  if (!self->CreateControls()) return nullptr;
  self->imageInfo_.Attach();
  self->AttachMountsLine();
  self->taskbar_.reset(new runs::TaskbarProgressView(self->hwnd()));

  self->Form_Load();
  if (self->macWindow_) self->macWindow_->Show();  // shown with the window: lays out, centres the caption
  ShowWindow(self->hwnd(), showCommand);
  UpdateWindow(self->hwnd());
  return self;
}

void MainWindow::Form_Load() {
  HWND window = hwnd();
  // 1-3: a layered window: magenta is cut out, the rest drawn at alpha 200.
  SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window, kColourKey, kWindowAlpha, LWA_COLORKEY | LWA_ALPHA);
  // 4: every caption from the string table.
  LoadCaptions();
  // 5: the capture panel moves onto the mount panel (top first, then left).
  HWND makes = Control(ControlId::WIM_Makes);
  RECT r{};
  GetWindowRect(makes, &r);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(makes, nullptr, r.left, scale_.Px(96), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(makes, nullptr, scale_.Px(8), scale_.Px(96), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 6: the picture's size: the height first, then the width.
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, r.right - r.left, scale_.Px(kWindowHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(window, nullptr, 0, 0, scale_.Px(kWindowWidth), scale_.Px(kWindowHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 7-8: the tray icon, whose popup is the menu of up_Menus, then its tip. From here on the window's
  // messages pass through the tray procedure first.
  tray::APIStuff::AddTrayIcon(window, tray::up_Menus().PopupMenus());
  tipShown_ = runtime::LoadResString(40101);
  tray::APIStuff::SetTrayTip(tipShown_);
  ConnectRunWindow();
}

void MainWindow::LoadCaptions() {
  // The window's own controls were created with their captions; here the title bar's and the tray menu's,
  // in the loader's order.
  for (const CaptionStep& step : CaptionOrder()) {
    if (step.control.starts_with("up_")) {
      // The tray menu entries live on the hidden form up_Menus, which the first of them loads.
      tray::up_Menus().SetCaption(step.control, runtime::LoadResString(step.id));
    } else if (step.control == "MacWindow" && macWindow_) {
      // The title bar's own Caption property; it re-centres when the control is shown. The window, which
      // draws no caption of its own, carries the same text as its name (for the taskbar and screen readers).
      const std::wstring caption = runtime::LoadResString(step.id);
      macWindow_->SetCaption(runtime::Utf16(caption));
      SetWindowTextW(hwnd(), caption.c_str());
    }
  }
}

void MainWindow::Option1_Click() { ShowView(ControlId::WIM_Mount, ControlId::WIM_Makes); }
void MainWindow::Option2_Click() { ShowView(ControlId::WIM_Makes, ControlId::WIM_Mount); }

void MainWindow::Image1_MouseDown(std::int16_t& Button, std::int16_t&, float&, float&) { DragWindow(hwnd(), Button); }

// A press of any button on the title strip or caption moves the window.
void MainWindow::MacWindow_MoveWindow(std::int16_t& Button, std::int16_t&, float&, float&) {
  DragWindow(hwnd(), Button);
}

void MainWindow::MacWindow_CloseWindow() {
  // The tray icon goes first (it needs the window), then the window, then the program. The tools still
  // running go on; only their handles are let go.
  tray::APIStuff::RemoveTrayIcon();
  processes_.Forget();
  toolTips_.reset();
  stripTip_.reset();
  runWindow_.reset();
  DestroyWindowNow();
  runtime::EndProgram();
}

void MainWindow::MacWindow_MiniWindow() { ShowWindow(hwnd(), SW_MINIMIZE); }

void MainWindow::MacWindowEvent(skin::Event e, skin::MouseArgs& args) {
  switch (e) {
    case skin::Event::MoveWindow: return MacWindow_MoveWindow(args.Button, args.Shift, args.X, args.Y);
    case skin::Event::CloseWindow: return MacWindow_CloseWindow();
    case skin::Event::MiniWindow: return MacWindow_MiniWindow();
    default: return;  // MouseOut, MouseDown and the rest: raised with no listener
  }
}

void MainWindow::OnCommand(ControlId id, HWND control, int notification) {
  // Only a control of ours, by its id and its window both: another window's message carries no command.
  if (!control || IdOf(control) != id) return;
  imageInfo_.Command(id, notification);  // the WIM file's list follows the path, index and append boxes
  if (id == ControlId::MountsInfo && notification == STN_CLICKED) return ShowMountsList();
  if (notification != BN_CLICKED) return;
  switch (id) {
    case ControlId::Option1: return Option1_Click();
    case ControlId::Option2: return Option2_Click();
    case ControlId::MountWim: return imaging::MountWim_Click(*this);
    case ControlId::unMountWim: return imaging::unMountWim_Click(*this);
    case ControlId::ExtWIM: return imaging::ExtWIM_Click(*this);
    case ControlId::MakeWimImage: return imaging::MakeWimImage_Click(*this);
    case ControlId::WimB: return imaging::WimB_Click(*this, filesDialog_);
    case ControlId::MountB: return imaging::MountB_Click(*this);
    case ControlId::mk_WimB01: return imaging::mk_WimB01_Click(*this);
    case ControlId::mk_WimB02: return imaging::mk_WimB02_Click(*this, filesDialog_);
    default: return;
  }
}

void MainWindow::ListCommandPicked(wim::ListCommand command) {
  switch (command) {
    case wim::ListCommand::Export: return imaging::ExportImage_Click(*this, exportDialog_);
    case wim::ListCommand::Split: return imaging::SplitImage_Click(*this, splitDialog_);
    case wim::ListCommand::Delete: return imaging::DeleteImage_Click(*this);
    case wim::ListCommand::None: return;
  }
}

LRESULT MainWindow::OnNotify(NMHDR* header) {
  if (stripTip_ && header->hwndFrom == stripTip_.get()) return OnStripTipText(header);
  return OnToolTipText(header);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (imageInfo_.HandleMessage(message, wParam, lParam) || tools_.Handle(message) ||
      (taskbar_ && taskbar_->Handle(message)))
    return 0;
  if (mounts_.Handle(message)) {
    MountsRead();
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam == kFollowTimer) OnFollowTimer();
      if (wParam == kFailureTimer) OnFailureTimer();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintWindow();
      return 0;
    case WM_COMMAND:
      OnCommand(static_cast<ControlId>(LOWORD(wParam)), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:  // the strip's tooltip asks the window itself for its text
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      if (message == WM_LBUTTONDOWN && StripPressed(POINT{static_cast<short>(LOWORD(lParam)),
                                                          static_cast<short>(HIWORD(lParam))}))
        return 0;
      // Image1: the picture-less band under the title bar drags the window, with any mouse button.
      const ControlDef& image = Def(ControlId::Image1);
      const double x = scale_.Design(static_cast<short>(LOWORD(lParam)));
      const double y = scale_.Design(static_cast<short>(HIWORD(lParam)));
      if (x >= image.left && x < image.left + image.width && y >= image.top && y < image.top + image.height) {
        std::int16_t button = runtime::MouseButtonOf(message);
        std::int16_t shift = runtime::ShiftState(wParam);
        float imageX = static_cast<float>(x - image.left), imageY = static_cast<float>(y - image.top);
        Image1_MouseDown(button, shift, imageX, imageY);
      }
      return 0;
    }
    case WM_ACTIVATE:
    case WM_SIZE:
      // Back from another program, which may have mounted or unmounted images: the list is read again.
      if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) mounts_.Refresh(hwnd());
      KeepFocusOnDeactivation(message, wParam);
      break;  // activated and not minimised: the default focuses the window, and WM_SETFOCUS goes on
    case WM_SETFOCUS:
      OnSetFocus(reinterpret_cast<HWND>(wParam));
      return 0;
    case kGetDpiScaledSize: {
      // Windows would scale the size linearly, which can miss the picture's own size at the new DPI by a pixel.
      const resources::DpiScale next(static_cast<int>(wParam));
      *reinterpret_cast<SIZE*>(lParam) = SIZE{next.Px(kWindowWidth), next.Px(kWindowHeight)};
      return TRUE;
    }
    case WM_DPICHANGED:
      // Moved to a monitor with another scale: laid out and drawn again at the position Windows suggests.
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      // Closing from outside (the taskbar, Alt+F4) takes the same way out as the close button, so the
      // program never lingers without a window.
      MacWindow_CloseWindow();
      return 0;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace vantrel::app
