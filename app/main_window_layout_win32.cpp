// The main window's controls made from the control tree, its artwork, fonts and icons at its DPI, and the
// relayout when that DPI changes.
#include "app/main_window_win32.h"

#include <commctrl.h>

#include "resources/artwork.h"
#include "runtime/bitmaps.h"
#include "runtime/controls.h"
#include "runtime/dpi.h"
#include "runtime/runtime.h"

namespace vantrel::app {
namespace {

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

}  // namespace

WNDCLASSEXW MainWindow::WindowClass(HINSTANCE instance) {
  WNDCLASSEXW window{};
  window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);  // hidden everywhere by the picture
  if (!g_classIconDpi) {
    g_classIconDpi = runtime::WindowDpi(nullptr);
    g_classIcons[0] = ProgramIcon(instance, runtime::IconSize(SM_CXICON, g_classIconDpi));
    g_classIcons[1] = ProgramIcon(instance, runtime::IconSize(SM_CXSMICON, g_classIconDpi));
  }
  window.hIcon = g_classIcons[0].get();
  window.hIconSm = g_classIcons[1].get();
  return window;
}

void MainWindow::MakeArtwork() {
  windowPicture_ = runtime::MakeBitmap(resources::WindowPicture(scale_));
  // Both panels have the same size and show the same corner of the panel picture.
  const ControlDef& panel = Def(ControlId::WIM_Mount);
  panelPicture_ = runtime::MakeBitmap(resources::PanelPicture(scale_.Extent(panel.left, panel.width),
                                                              scale_.Extent(panel.top, panel.height), scale_));
  // The window's default font at the window's DPI. The controls using the font it replaces are given this one
  // before that one goes.
  runtime::UniqueFont font = runtime::ControlFont(scale_.Dpi());
  const HWND titleBar = macWindow_ ? macWindow_->hwnd() : nullptr;
  for (HWND control : controls_)
    if (control && control != titleBar)
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  font_ = std::move(font);
}

void MainWindow::MakeIcons(bool atStartUp) {
  if (atStartUp && scale_.Dpi() == g_classIconDpi) return;  // the class's icons are this DPI's
  const auto make = [&](int metric, runtime::UniqueIcon& kept, WPARAM which) {
    runtime::UniqueIcon made = ProgramIcon(instance_, runtime::IconSize(metric, scale_.Dpi()));
    if (!made) return;
    SendMessageW(hwnd(), WM_SETICON, which, reinterpret_cast<LPARAM>(made.get()));
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

SIZE MainWindow::WindowSize() const { return SIZE{scale_.Px(kWindowWidth), scale_.Px(kWindowHeight)}; }

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  scale_ = resources::DpiScale(dpi);
  MakeArtwork();
  MakeIcons(/*atStartUp=*/false);
  // Every control at its design place at the new scale; the capture panel where the mount panel is, as
  // Form_Load put it; labels at the size of their caption in the new font.
  for (const ControlDef& def : ControlTree()) {
    HWND control = Existing(def.id);
    if (!control) continue;
    if (def.kind == Kind::TitleBar) {
      if (macWindow_) macWindow_->SetDpi(dpi);
      continue;
    }
    const RECT r = Place(def.id == ControlId::WIM_Makes ? Def(ControlId::WIM_Mount) : def);
    SIZE size{r.right - r.left, r.bottom - r.top};
    if (def.kind == Kind::Label && def.width == 0) size = TextSize(runtime::WindowText(control));
    SetWindowPos(control, nullptr, r.left, r.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // At the position Windows suggests, with the window's own size at the new DPI: the suggested size is the old
  // one scaled linearly, which can be a pixel off the picture.
  const SIZE size = WindowSize();
  SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  ScaleToolTips();
  if (stripTip_) {
    SendMessageW(stripTip_.get(), TTM_SETMAXTIPWIDTH, 0, scale_.Px(kStripTipWidth));
    MakeStripTip();  // the strip's place at the new scale
  }
  imageInfo_.ScaleChanged(dpi);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool MainWindow::CreateControls() {
  // Containers first, then the children of the panel shown at start-up; inside a container in tab order,
  // which is also the order the dialog manager walks with Tab. The capture panel's children wait until
  // the panel is first shown or one of them is asked for.
  bool ok = true;
  ForEachChildInTabOrder("", [&](const ControlDef& def) {
    if (ok && !CreateControl(def, hwnd()) && (def.kind != Kind::Image && def.kind != Kind::FileDialog &&
                                              def.kind != Kind::TitleBar))
      ok = false;
  });
  return ok && CreatePanelChildren(ControlId::WIM_Mount);
}

bool MainWindow::CreatePanelChildren(ControlId panel) {
  HWND parent = Existing(panel);
  if (!parent) return false;
  if (FindWindowExW(parent, nullptr, nullptr, nullptr)) return true;  // filled already
  // A text box's label comes just before it in the stacking order, where screen readers look for its name.
  bool ok = true;
  ForEachChildInTabOrder(Def(panel).name, [&](const ControlDef& def) {
    if (!ok || Existing(def.id)) return;
    if (const ControlDef* label = FindControl(LabelOf(def.name)); label && !Existing(label->id))
      ok = CreateControl(*label, parent) != nullptr;
    if (ok && !CreateControl(def, parent) && def.kind != Kind::Image) ok = false;
  });
  AddToolTips(panel);
  return ok;
}

bool MainWindow::CreateTitleBar(const ControlDef& def, HWND parent) {
  // The title-bar control, loaded from the record the window keeps for it (caption "10101", SimSun 9 pt); the
  // window's own name for it and its font are the ambient properties.
  skin::MacWindowControl::Site site;
  site.parent = parent;
  site.left = Px(def.left);
  site.top = Px(def.top);
  site.width = def.width;
  site.height = def.height;
  site.dpi = scale_.Dpi();
  site.displayName = std::u16string(def.name.begin(), def.name.end());
  site.ambientFont = skin::MakeFont({u"宋体", 9, 400, 134});
  site.events = this;
  site.id = static_cast<int>(def.id);
  macWindow_ = skin::MacWindowControl::Create(instance_, site);
  if (!macWindow_) return false;
  macWindow_->ReadProperties(skin::MainWindowStoredRecord());
  // The title bar takes no keys: it starts a group of its own, so the arrow keys of the mode buttons stay
  // within their two.
  HWND bar = macWindow_->hwnd();
  SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) | WS_GROUP);
  controls_[static_cast<std::size_t>(RowOf(def.id))] = bar;
  return true;
}

HWND MainWindow::CreateControl(const ControlDef& def, HWND parent) {
  const wchar_t* cls = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  switch (def.kind) {
    case Kind::OptionButton:
      cls = WC_BUTTONW;
      style |= BS_AUTORADIOBUTTON | BS_PUSHLIKE;
      if (def.id == ControlId::Option1) style |= WS_GROUP | WS_TABSTOP;  // the two options form one group
      break;
    case Kind::Frame: {
      Panel& panel = def.id == ControlId::WIM_Mount ? mountPanel_ : capturePanel_;
      style |= WS_CLIPSIBLINGS | WS_GROUP;
      if (def.id == ControlId::WIM_Makes) style &= ~WS_VISIBLE;  // hidden as designed
      if (!panel.Create(parent, def.id, style, Place(def), runtime::Wide(def.designText).c_str())) return nullptr;
      SendMessageW(panel.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
      return controls_[static_cast<std::size_t>(RowOf(def.id))] = panel.hwnd();
    }
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
    case Kind::TitleBar:
      return CreateTitleBar(def, parent) ? macWindow_->hwnd() : nullptr;
    case Kind::Image:
    case Kind::FileDialog:
      return nullptr;  // windowless: Image1 is a region of the main window, the panels paint their picture
  }
  // Created with the caption the string table gives it; an auto-sized label at the size of that caption,
  // its left and top as designed.
  const std::wstring text = def.captionId ? runtime::LoadResString(def.captionId) : runtime::Wide(def.designText);
  const RECT place = Place(def);
  SIZE size{place.right - place.left, place.bottom - place.top};
  if (def.kind == Kind::Label && def.width == 0) size = TextSize(text);
  HWND control = CreateWindowExW(exStyle, cls, text.c_str(), style, place.left, place.top, size.cx, size.cy, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance_, nullptr);
  if (!control) return nullptr;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  if (def.id == ControlId::Option1) runtime::SetChecked(control, true);
  return controls_[static_cast<std::size_t>(RowOf(def.id))] = control;
}

std::optional<ControlId> MainWindow::IdOf(HWND control) const {
  if (!control) return std::nullopt;
  const int value = GetDlgCtrlID(control);
  if (!IsControlId(value) || Existing(static_cast<ControlId>(value)) != control) return std::nullopt;
  return static_cast<ControlId>(value);
}

HWND MainWindow::Control(ControlId id) {
  if (!IsControlId(static_cast<int>(id))) return nullptr;
  if (HWND control = Existing(id)) return control;
  // A child of a panel not yet filled: the panel gets its children now.
  const ControlDef& def = Def(id);
  const ControlDef* parent = def.parent.empty() ? nullptr : FindControl(def.parent);
  if (!parent || !hwnd()) return nullptr;
  CreatePanelChildren(parent->id);
  return Existing(id);
}

SIZE MainWindow::TextSize(const std::wstring& text) const {
  const runtime::WindowDc dc(nullptr);
  SIZE size{};
  if (!dc) return size;
  const runtime::SelectObjectScope select(dc.get(), font_.get());
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  if (const std::optional<ControlId> id = IdOf(control)) {
    const ControlDef& def = Def(*id);
    if (def.fore) SetTextColor(dc, ColourOf(*def.fore));
    switch (def.kind) {
      case Kind::Label:
        // Labels draw only their text; the panel picture shows around it.
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      case Kind::CheckBox:
        SetBkColor(dc, RGB(236, 236, 236));
        return reinterpret_cast<LRESULT>(panelBrush_.get());
      case Kind::OptionButton:
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(optionBrush_.get());
      default:
        break;
    }
  }
  return DefWindowProcW(GetParent(control), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void MainWindow::PaintWindow() {
  const runtime::PaintDc paint(hwnd());
  runtime::DrawBitmap(paint.get(), windowPicture_.get(), 0, 0, scale_.Px(kWindowWidth), scale_.Px(kWindowHeight));
  PaintStrip(paint.get());
}

}  // namespace vantrel::app
