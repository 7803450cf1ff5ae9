#include "app/main_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "imaging/operation_report.h"
#include "resources/artwork.h"
#include "runtime/bitmaps.h"
#include "runtime/dpi.h"
#include "runtime/runtime.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::app {
namespace {

constexpr wchar_t kWindowClass[] = L"VantrelMainWindow";
constexpr wchar_t kPanelClass[] = L"VantrelPanel";
constexpr int kFirstControlId = 1000;

int Px(double value) { return static_cast<int>(value + 0.5); }

COLORREF ColourOf(const Colour& c) {
  return c.system ? GetSysColor(static_cast<int>(c.value)) : static_cast<COLORREF>(c.value);
}

// The program icon `size` pixels on a side: the stored image where the size is a stored one, drawn otherwise.
runtime::UniqueIcon ProgramIcon(HINSTANCE instance, int size) {
  if (size == 16 || size == 32 || size == 48)
    if (auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)))
      return runtime::UniqueIcon(icon);
  return runtime::MakeIcon(resources::IconImage(size));
}

// The main window class's icons, made once for the screen's DPI (the DPI the window starts at, as a rule) and
// kept for the program's life: the tray icon shows the small one.
int g_classIconDpi = 0;
runtime::UniqueIcon g_classIcons[2];

bool RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC panelProc) {
  WNDCLASSEXW window{};
  window.lpfnWndProc = windowProc;
  window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);  // hidden everywhere by the picture
  window.lpszClassName = kWindowClass;
  if (!g_classIconDpi) {
    g_classIconDpi = runtime::WindowDpi(nullptr);
    g_classIcons[0] = ProgramIcon(instance, runtime::IconSize(SM_CXICON, g_classIconDpi));
    g_classIcons[1] = ProgramIcon(instance, runtime::IconSize(SM_CXSMICON, g_classIconDpi));
  }
  window.hIcon = g_classIcons[0].get();
  window.hIconSm = g_classIcons[1].get();
  WNDCLASSEXW panel{};
  panel.lpfnWndProc = panelProc;
  panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  panel.lpszClassName = kPanelClass;
  return runtime::EnsureWindowClass(window) && runtime::EnsureWindowClass(panel);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  // The window and its controls go first, while the fonts, brushes and pictures they use still exist.
  toolTips_.reset();
  window_.reset();
}

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance, int showCommand) {
  if (!RegisterClasses(instance, &MainWindow::WindowProc, &MainWindow::PanelProc)) return nullptr;
  std::unique_ptr<MainWindow> self(new MainWindow(instance));

  self->panelBrush_.reset(CreateSolidBrush(RGB(236, 236, 236)));
  self->optionBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));

  // Created at its design size, centred for the size it will have, and hidden until loaded; sizes at the
  // screen's DPI until the window knows its own.
  const resources::DpiScale screen(runtime::WindowDpi(nullptr));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - screen.Px(kWindowWidth)) / 2;
  int y = work.top + ((work.bottom - work.top) - screen.Px(kWindowHeight)) / 2;
  HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                              screen.Px(kDesignWidth), screen.Px(kDesignHeight), nullptr, nullptr, instance, self.get());
  if (!hwnd) return nullptr;
  self->window_.reset(hwnd);
  // Artwork and GDI objects are made once for the life of the window, at its DPI (again when that changes).
  self->scale_ = resources::DpiScale(runtime::WindowDpi(hwnd));
  self->MakeArtwork();
  self->MakeIcons(/*atStartUp=*/true);
  if (!self->CreateControls()) return nullptr;
  self->imageInfo_.Attach();

  self->Form_Load();
  if (self->macWindow_) self->macWindow_->Show();  // shown with the window: lays out, centres the caption
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);
  return self;
}

void MainWindow::MakeArtwork() {
  windowPicture_ = runtime::MakeBitmap(resources::WindowPicture(scale_));
  // Both panels have the same size and show the same corner of the panel picture.
  const ControlDef* panel = FindControl("WIM_Mount");
  panelPicture_ = runtime::MakeBitmap(resources::PanelPicture(scale_.Extent(panel->left, panel->width),
                                                              scale_.Extent(panel->top, panel->height), scale_));
  // The window's default font: SimSun 9 pt, GB2312, at the window's DPI. The controls using the font it
  // replaces are given this one before that one goes.
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(9, scale_.Dpi(), 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lstrcpynW(lf.lfFaceName, L"宋体", LF_FACESIZE);
  runtime::UniqueGdiObject font(CreateFontIndirectW(&lf));
  for (const auto& [name, control] : controls_)
    if (name != "MacWindow") SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  font_ = std::move(font);
}

void MainWindow::MakeIcons(bool atStartUp) {
  if (atStartUp && scale_.Dpi() == g_classIconDpi) return;  // the class's icons are this DPI's
  const auto make = [&](int metric, runtime::UniqueIcon& kept, WPARAM which) {
    runtime::UniqueIcon made = ProgramIcon(instance_, runtime::IconSize(metric, scale_.Dpi()));
    if (!made) return;
    SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(made.get()));
    // The tray icon is added with the window's small icon of start-up, and keeps it; any other icon replaced
    // goes only now the window no longer shows it.
    (which == ICON_SMALL && atStartUp ? trayIcon_ : kept) = std::move(made);
  };
  make(SM_CXICON, bigIcon_, ICON_BIG);
  make(SM_CXSMICON, smallIcon_, ICON_SMALL);
}

RECT MainWindow::Place(const ControlDef& def) const {
  return RECT{scale_.Px(def.left), scale_.Px(def.top), scale_.Px(def.left + def.width), scale_.Px(def.top + def.height)};
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  scale_ = resources::DpiScale(dpi);
  MakeArtwork();
  MakeIcons(/*atStartUp=*/false);
  // Every control at its design place at the new scale; the capture panel where the mount panel is, as
  // Form_Load put it; labels at the size of their caption in the new font.
  for (const auto& [name, control] : controls_) {
    const ControlDef* def = FindControl(name);
    if (!def) continue;
    if (def->kind == Kind::TitleBar) {
      if (macWindow_) macWindow_->SetDpi(dpi);
      continue;
    }
    const RECT r = Place(def->name == "WIM_Makes" ? *FindControl("WIM_Mount") : *def);
    SIZE size{r.right - r.left, r.bottom - r.top};
    if (def->kind == Kind::Label && def->width == 0) size = TextSize(runtime::WindowText(control));
    SetWindowPos(control, nullptr, r.left, r.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool MainWindow::CreateControls() {
  // Containers first, then the children of the panel shown at start-up; inside a container in tab order,
  // which is also the order the dialog manager walks with Tab. The capture panel's children wait until
  // the panel is first shown or one of them is asked for.
  bool ok = true;
  ForEachChildInTabOrder("", [&](const ControlDef& def) {
    if (ok && !CreateControl(def, hwnd_) && (def.kind != Kind::Image && def.kind != Kind::FileDialog &&
                                             def.kind != Kind::TitleBar))
      ok = false;
  });
  return ok && CreatePanelChildren("WIM_Mount");
}

bool MainWindow::CreatePanelChildren(std::string_view panel) {
  HWND parent = Existing(panel);
  if (!parent) return false;
  if (FindWindowExW(parent, nullptr, nullptr, nullptr)) return true;  // filled already
  // A text box's label comes just before it in the stacking order, where screen readers look for its name.
  bool ok = true;
  ForEachChildInTabOrder(panel, [&](const ControlDef& def) {
    if (!ok || Existing(def.name)) return;
    if (const ControlDef* label = FindControl(LabelOf(def.name)); label && !Existing(label->name))
      ok = CreateControl(*label, parent) != nullptr;
    if (ok && !CreateControl(def, parent) && def.kind != Kind::Image) ok = false;
  });
  AddToolTips(panel);
  return ok;
}

HWND MainWindow::CreateControl(const ControlDef& def, HWND parent) {
  const wchar_t* cls = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  switch (def.kind) {
    case Kind::OptionButton:
      cls = WC_BUTTONW;
      style |= BS_AUTORADIOBUTTON | BS_PUSHLIKE;
      if (def.name == "Option1") style |= WS_GROUP | WS_TABSTOP;  // the two options form one group
      break;
    case Kind::Frame:
      cls = kPanelClass;
      exStyle |= WS_EX_CONTROLPARENT;
      style |= WS_CLIPSIBLINGS | WS_GROUP;
      if (def.name == "WIM_Makes") style &= ~WS_VISIBLE;  // hidden as designed
      break;
    case Kind::CommandButton:
      cls = WC_BUTTONW;
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case Kind::CheckBox:
      cls = WC_BUTTONW;
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case Kind::TextBox:
      cls = WC_EDITW;
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::Label:
      cls = WC_STATICW;
      style |= SS_LEFT | SS_NOPREFIX;
      // A label of a fixed size holds changing text: cut with an ellipsis, and clickable.
      if (def.width) style |= SS_ENDELLIPSIS | SS_NOTIFY;
      break;
    case Kind::TitleBar: {
      // The title-bar control, loaded from the record the window keeps for it (caption "10101",
      // SimSun 9 pt); the window's own name for it and its font are the ambient properties.
      skin::MacWindowControl::Site site;
      site.parent = parent;
      site.left = Px(def.left);
      site.top = Px(def.top);
      site.width = def.width;
      site.height = def.height;
      site.dpi = scale_.Dpi();
      site.displayName = std::u16string(def.name.begin(), def.name.end());
      site.ambientFont = std::make_shared<const skin::FontDesc>(skin::FontDesc{u"宋体", 9, 400, 134});
      site.events = this;
      macWindow_ = skin::MacWindowControl::Create(instance_, site);
      if (!macWindow_) return nullptr;
      macWindow_->ReadProperties(skin::MainWindowStoredRecord());
      // The title bar takes no keys: it starts a group of its own, so the arrow keys of the mode buttons stay
      // within their two.
      SetWindowLongPtrW(macWindow_->hwnd(), GWL_STYLE, GetWindowLongPtrW(macWindow_->hwnd(), GWL_STYLE) | WS_GROUP);
      controls_.emplace(std::string(def.name), macWindow_->hwnd());
      return macWindow_->hwnd();
    }
    case Kind::Image:
    case Kind::FileDialog:
      return nullptr;  // windowless: Image1 is a region of the main window, the panels paint their picture
  }
  // Created with the caption the string table gives it; an auto-sized label at the size of that caption,
  // its left and top as designed.
  std::wstring text = def.captionId ? runtime::LoadResString(def.captionId) : runtime::Wide(def.designText);
  int width = def.width, height = def.height;
  if (def.kind == Kind::Label && def.width == 0) {
    const SIZE size = TextSize(text);
    width = size.cx, height = size.cy;
  }
  int id = kFirstControlId + static_cast<int>(&def - ControlTree().data());
  const RECT place = Place(def);
  if (def.kind != Kind::Label || def.width != 0) width = place.right - place.left, height = place.bottom - place.top;
  HWND control = CreateWindowExW(exStyle, cls, text.c_str(), style, place.left, place.top, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
  if (!control) return nullptr;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  if (def.name == "Option1") SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
  controls_.emplace(std::string(def.name), control);
  return control;
}

HWND MainWindow::Existing(std::string_view name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

HWND MainWindow::Control(std::string_view name) const {
  if (HWND control = Existing(name)) return control;
  // A child of a panel not yet filled: the panel gets its children now. Only the object's own windows
  // change; the window object itself is never const.
  const ControlDef* def = FindControl(name);
  if (!def || def->parent.empty() || !hwnd_) return nullptr;
  const_cast<MainWindow*>(this)->CreatePanelChildren(def->parent);
  return Existing(name);
}

void MainWindow::Form_Load() {
  // 1-3: a layered window: magenta is cut out, the rest drawn at alpha 200.
  LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  SetLayeredWindowAttributes(hwnd_, kColourKey, kWindowAlpha, LWA_COLORKEY | LWA_ALPHA);
  // 4: every caption from the string table.
  LoadCaptions();
  // 5: the capture panel moves onto the mount panel (top first, then left).
  HWND makes = Control("WIM_Makes");
  RECT r{};
  GetWindowRect(makes, &r);
  MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(makes, nullptr, r.left, scale_.Px(96), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(makes, nullptr, scale_.Px(8), scale_.Px(96), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 6: the picture's size: the height first, then the width.
  GetWindowRect(hwnd_, &r);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, scale_.Px(kWindowHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(hwnd_, nullptr, 0, 0, scale_.Px(kWindowWidth), scale_.Px(kWindowHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 7-8: the tray icon, whose popup is the menu of up_Menus, then its tip. From here on the window's
  // messages pass through the tray procedure first.
  tray::APIStuff::AddTrayIcon(hwnd_, tray::up_Menus().PopupMenus());
  tray::APIStuff::SetTrayTip(runtime::LoadResString(40101));
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
      SetWindowTextW(hwnd_, caption.c_str());
    }
  }
}

SIZE MainWindow::TextSize(const std::wstring& text) const {
  HDC dc = GetDC(nullptr);
  SIZE size{};
  {
    runtime::SelectObjectScope select(dc, font_.get());
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  }
  ReleaseDC(nullptr, dc);
  return size;
}

void MainWindow::Option1_Click() { ShowView("WIM_Mount", "WIM_Makes"); }
void MainWindow::Option2_Click() { ShowView("WIM_Makes", "WIM_Mount"); }

void MainWindow::ShowView(std::string_view shown, std::string_view hidden) {
  CreatePanelChildren(shown);
  const bool focusLeaves = IsChild(Control(hidden), GetFocus());
  ShowWindow(Control(shown), SW_SHOW);
  ShowWindow(Control(hidden), SW_HIDE);
  // Focus in the panel now hidden goes to the first tab stop of the one now shown.
  if (focusLeaves) FocusFirstTabStop();
}

bool MainWindow::CanTakeFocus(HWND control) const {
  return control && hwnd_ && IsChild(hwnd_, control) && IsWindowVisible(control) && IsWindowEnabled(control);
}

void MainWindow::FocusControl(HWND control, bool selectText) {
  // As the dialog manager does: a text box reached by the keyboard has its text selected, so typing
  // replaces it; a control given back after a deactivation keeps its caret and selection.
  if (selectText && (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageW(control, EM_SETSEL, 0, -1);
  SetFocus(control);
}

// The tab stop after (or before) the control named `from` in the design order, among those that can take
// the focus now; the empty name when there is none.
std::string_view MainWindow::TabStopFrom(std::string_view from, bool backwards) const {
  return NextTabStop(
      from, backwards, [this](std::string_view name) { return CanTakeFocus(Existing(name)); },
      [this](std::string_view name) {
        HWND control = Existing(name);
        return control && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
      });
}

bool MainWindow::MoveFocusByTab(bool backwards) {
  HWND focus = GetFocus();
  std::string_view from;
  for (const auto& [name, control] : controls_)
    if (control == focus) from = name;
  const std::string_view next = TabStopFrom(from, backwards);
  if (next.empty()) return false;
  FocusControl(Control(next), true);
  return true;
}

void MainWindow::FocusFirstTabStop() {
  const std::string_view first = TabStopFrom("", false);
  if (!first.empty()) FocusControl(Control(first), true);
}

void MainWindow::OnSetFocus(HWND lost) {
  // The window itself takes no keys: its focus goes on to a control. The one that just gave it up (the
  // tray's restore focuses the window), else the one it had when the window was deactivated, else the
  // first tab stop of the view shown.
  if (!hwnd_ || IsIconic(hwnd_)) return;
  if (CanTakeFocus(lost)) return FocusControl(lost, false);
  if (CanTakeFocus(savedFocus_)) return FocusControl(savedFocus_, false);
  FocusFirstTabStop();
}

void MainWindow::StartWindowMove() {
  ReleaseCapture();
  SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void MainWindow::Image1_MouseDown(std::int16_t& Button, std::int16_t&, float&, float&) {
  if (Button == skin::kLeftButton)
    StartWindowMove();
  else
    FollowPointerWhileHeld(Button);
}

// A press of any button on the title strip or caption moves the window.
void MainWindow::MacWindow_MoveWindow(std::int16_t& Button, std::int16_t&, float&, float&) {
  if (Button == skin::kLeftButton)
    StartWindowMove();
  else
    FollowPointerWhileHeld(Button);
}

// The system's own move follows the left button only: started for another button, it keeps the window on
// the pointer after that button is let go, until the next left click. For the right and middle buttons the
// window follows the pointer here, for as long as the button that pressed stays down; Esc puts it back.
void MainWindow::FollowPointerWhileHeld(std::int16_t button) {
  const int key = button == 2 ? VK_RBUTTON : button == 4 ? VK_MBUTTON : 0;
  const UINT release = button == 2 ? WM_RBUTTONUP : WM_MBUTTONUP;
  const WPARAM held = button == 2 ? MK_RBUTTON : MK_MBUTTON;
  // Only a button that is really down has a drag to follow (a press sent as a message has none).
  if (!key || !(GetKeyState(key) & 0x8000) || !hwnd_) return;
  // Positions are those of the messages, not of the pointer now: input that has already arrived (a quick
  // drag and release) is followed step by step, and a move after the release is not.
  const DWORD pressedAt = GetMessagePos();
  const POINT start{static_cast<short>(LOWORD(pressedAt)), static_cast<short>(HIWORD(pressedAt))};
  RECT origin{};
  GetWindowRect(hwnd_, &origin);
  const HWND window = hwnd_;
  ReleaseCapture();
  SetCapture(window);
  auto moveTo = [&](int left, int top) {
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  MSG msg;
  while (IsWindow(window) && GetCapture() == window) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop ends the program
      break;
    }
    if (msg.hwnd == window && (msg.message == WM_MOUSEMOVE || msg.message == release)) {
      moveTo(origin.left + msg.pt.x - start.x, origin.top + msg.pt.y - start.y);
      if (msg.message == release || !(msg.wParam & held)) break;
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      moveTo(origin.left, origin.top);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (GetCapture() == window) ReleaseCapture();
}

void MainWindow::Launched(imaging::Operation op, imaging::Tool tool, const std::u16string& line,
                          runtime::UniqueKernelHandle process) const {
  tray::APIStuff::SetCopyText(runtime::Wide(line));
  processes_->Watch(std::move(process), [this, op, tool](runtime::ProcessEnd end) { RunEnded(op, tool, end); });
  ShowRunsInTip();
}

namespace {
std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }
std::u16string MessageTableText(imaging::MessageTable table, std::uint32_t code) {
  return runtime::Utf16(table == imaging::MessageTable::Ntdll ? runtime::NtStatusText(code)
                                                              : runtime::SystemMessageText(code));
}
}  // namespace

void MainWindow::RunEnded(imaging::Operation op, imaging::Tool tool, runtime::ProcessEnd end) const {
  const imaging::Balloon balloon =
      imaging::DecideBalloon(op, tool, imaging::RunEnd{end.known, end.value}, TableText, MessageTableText);
  tray::APIStuff::ShowBalloon(runtime::Wide(balloon.title), runtime::Wide(balloon.text),
                              balloon.icon == imaging::BalloonIcon::Error);
  ShowRunsInTip();
  imageInfo_.RunEnded();
}

namespace {
// The buttons that start a tool, with the operation each one's tooltip speaks for.
constexpr std::pair<std::string_view, imaging::Operation> kActionButtons[] = {
    {"MountWim", imaging::Operation::MountReadOnly},
    {"unMountWim", imaging::Operation::UnmountDiscard},
    {"ExtWIM", imaging::Operation::Apply},
    {"MakeWimImage", imaging::Operation::Capture},
};
}  // namespace

void MainWindow::MakeToolTips(HWND over) {
  if (toolTips_ || std::none_of(std::begin(kActionButtons), std::end(kActionButtons),
                                [&](const auto& button) { return Existing(button.first) == over; }))
    return;
  toolTips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                                  nullptr));
  if (!toolTips_) return;
  SendMessageW(toolTips_.get(), TTM_SETMAXTIPWIDTH, 0, 600);
  AddToolTips("WIM_Mount");
  AddToolTips("WIM_Makes");
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

void MainWindow::AddToolTips(std::string_view panel) {
  if (!toolTips_) return;  // made when the pointer first comes over an action button
  HWND parent = Existing(panel);
  for (const auto& [name, op] : kActionButtons) {
    const ControlDef* def = FindControl(name);
    HWND button = Existing(name);
    if (!def || def->parent != panel || !button) continue;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = parent;
    info.uId = reinterpret_cast<UINT_PTR>(button);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(toolTips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

LRESULT MainWindow::OnNotify(NMHDR* header) {
  if (!toolTips_ || header->hwndFrom != toolTips_.get() || header->code != TTN_GETDISPINFOW) return 0;
  auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
  for (const auto& [name, op] : kActionButtons) {
    if (Existing(name) != reinterpret_cast<HWND>(header->idFrom)) continue;
    // Read afresh each time it shows: imagex.exe may have been put beside the program meanwhile.
    toolTipText_ = imaging::ToolTipFor(op);
    info->lpszText = toolTipText_.data();
  }
  return 0;
}

void MainWindow::ShowRunsInTip() const {
  if (tray::APIStuff::TrayIconInstalled())
    tray::APIStuff::SetTrayTip(runtime::Wide(imaging::TrayTip(processes_->InFlight(), TableText)));
}

void MainWindow::MacWindow_CloseWindow() {
  // The tray icon goes first (it needs the window), then the window, then the program. The tools still
  // running go on; only their handles are let go.
  tray::APIStuff::RemoveTrayIcon();
  processes_->Forget();
  toolTips_.reset();
  window_.reset();
  hwnd_ = nullptr;
  runtime::EndProgram();
}

void MainWindow::MacWindow_MiniWindow() { ShowWindow(hwnd_, SW_MINIMIZE); }

void MainWindow::MacWindowEvent(skin::Event e, skin::MouseArgs& args) {
  switch (e) {
    case skin::Event::MoveWindow: return MacWindow_MoveWindow(args.Button, args.Shift, args.X, args.Y);
    case skin::Event::CloseWindow: return MacWindow_CloseWindow();
    case skin::Event::MiniWindow: return MacWindow_MiniWindow();
    default: return;  // MouseOut, MouseDown and the rest: raised with no listener
  }
}

void MainWindow::OnCommand(HWND control, int notification) {
  for (const auto& [name, window] : controls_) {
    if (window != control) continue;
    imageInfo_.Command(name, notification);  // the WIM file's list follows the path, index and append boxes
    if (notification != BN_CLICKED) return;
    if (name == "Option1") Option1_Click();
    else if (name == "Option2") Option2_Click();
    else if (name == "MountWim") imaging::MountWim_Click(*this);
    else if (name == "unMountWim") imaging::unMountWim_Click(*this);
    else if (name == "ExtWIM") imaging::ExtWIM_Click(*this);
    else if (name == "MakeWimImage") imaging::MakeWimImage_Click(*this);
    else if (name == "WimB") imaging::WimB_Click(*this, filesDialog_);
    else if (name == "MountB") imaging::MountB_Click(*this);
    else if (name == "mk_WimB01") imaging::mk_WimB01_Click(*this);
    else if (name == "mk_WimB02") imaging::mk_WimB02_Click(*this, filesDialog_);
    return;
  }
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  for (const auto& [name, window] : controls_) {
    if (window != control) continue;
    const ControlDef* def = FindControl(name);
    if (!def) break;
    if (def->fore) SetTextColor(dc, ColourOf(*def->fore));
    if (def->kind == Kind::Label) {
      // Labels draw only their text; the panel picture shows around it.
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    if (def->kind == Kind::CheckBox) {
      SetBkColor(dc, RGB(236, 236, 236));
      return reinterpret_cast<LRESULT>(panelBrush_.get());
    }
    if (def->kind == Kind::OptionButton) {
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(optionBrush_.get());
    }
    break;
  }
  return DefWindowProcW(GetParent(control), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void MainWindow::PaintWindow() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  runtime::DrawBitmap(dc, static_cast<HBITMAP>(windowPicture_.get()), 0, 0, scale_.Px(kWindowWidth),
                      scale_.Px(kWindowHeight));
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = runtime::WindowObject<MainWindow>(hwnd, message, lParam);
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCCREATE) self->hwnd_ = hwnd;
  if (self->imageInfo_.HandleMessage(message, wParam, lParam)) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      self->PaintWindow();
      return 0;
    case WM_COMMAND:
      self->OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return self->OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // Image1: the picture-less band under the title bar drags the window, with any mouse button.
      const ControlDef* image = FindControl("Image1");
      const double x = self->scale_.Design(static_cast<short>(LOWORD(lParam)));
      const double y = self->scale_.Design(static_cast<short>(HIWORD(lParam)));
      if (x >= image->left && x < image->left + image->width && y >= image->top && y < image->top + image->height) {
        std::int16_t button = runtime::MouseButtonOf(message);
        std::int16_t shift = runtime::ShiftState(wParam);
        float imageX = static_cast<float>(x - image->left), imageY = static_cast<float>(y - image->top);
        self->Image1_MouseDown(button, shift, imageX, imageY);
      }
      return 0;
    }
    case WM_ACTIVATE:
    case WM_SIZE:
      // Deactivated or minimised (a minimised window may stay the active one): the control with the focus
      // is remembered for when the window gets the focus back.
      if ((message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) || (message == WM_SIZE && wParam == SIZE_MINIMIZED)) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) self->savedFocus_ = focus;
      } else if (message == WM_SIZE && GetFocus() == hwnd) {
        // Restored: the focus the window took while it was still minimised goes on to its control.
        self->OnSetFocus(nullptr);
      }
      break;  // activated and not minimised: the default focuses the window, and WM_SETFOCUS goes on
    case WM_SETFOCUS:
      self->OnSetFocus(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_DPICHANGED:
      // Moved to a monitor with another scale: laid out and drawn again at the rectangle Windows suggests.
      self->OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      // Closing from outside (the taskbar, Alt+F4) takes the same way out as the close button, so the
      // program never lingers without a window.
      self->MacWindow_CloseWindow();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      self->window_.release();
      self->toolTips_.release();  // owned by the window, gone with it
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = runtime::WindowObject<MainWindow>(hwnd, message, lParam);
  if (self) {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        // The panel picture is larger than the panel and is clipped by it.
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client{};
        GetClientRect(hwnd, &client);
        runtime::DrawBitmap(dc, static_cast<HBITMAP>(self->panelPicture_.get()), 0, 0, client.right, client.bottom);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_COMMAND:
        self->OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
      case WM_NOTIFY:
        return self->OnNotify(reinterpret_cast<NMHDR*>(lParam));
      case WM_SETCURSOR:  // asked of the panel by the control under the pointer first
        if (HIWORD(lParam) == WM_MOUSEMOVE) self->MakeToolTips(reinterpret_cast<HWND>(wParam));
        break;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
        return self->OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool MainWindow::DialogMessage(HWND window, MSG* msg) {
  if (!IsWindow(window)) return false;
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && (msg->hwnd == window || IsChild(window, msg->hwnd)) &&
      !(SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) & DLGC_WANTTAB)) {
    // The dialog manager walks each panel's children together; the design order puts the capture panel's
    // last button after the mode buttons, outside the panel.
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->hwnd_ == window) {
      self->MoveFocusByTab((GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return true;
    }
  }
  return IsDialogMessageW(window, msg) != FALSE;
}

int MainWindow::RunMessageLoop(HWND window) {
  // Messages and the ends of the launched tools, together: the loop sleeps until either comes. Nested loops
  // (message boxes, dialogs, the tray menu, a window move) do not look at the tools; a tool that ends meanwhile
  // is reported here once they are over.
  MSG msg;
  for (;;) {
    // A queue that never runs dry must not keep the tools' ends from being seen: the wait comes round at least
    // every half second.
    const DWORD started = GetTickCount();
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      if (!DialogMessage(window, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (GetTickCount() - started >= runtime::ProcessWatch::kTurnMs) break;
    }
    runtime::ProcessWatch::WaitForMessagesOrProcesses(INFINITE);
  }
}

}  // namespace vantrel::app
