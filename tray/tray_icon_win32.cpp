#include "tray/tray_icon_win32.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "runtime/runtime.h"
#include "runtime/test_seam.h"

namespace vantrel::tray {

namespace APIStuff {

HWND TrayForm = nullptr;
HMENU TrayMenu = nullptr;
WNDPROC OldWndProc = nullptr;
tray::TrayIconData TrayIconData;

#if !defined(_WIN64)
// On 32-bit Windows the native first-version record is exactly the platform-free one, byte for byte.
static_assert(NOTIFYICONDATAA_V1_SIZE == tray::kRecordSize);
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == 4 && offsetof(NOTIFYICONDATAA, uID) == 8 &&
              offsetof(NOTIFYICONDATAA, uFlags) == 12 && offsetof(NOTIFYICONDATAA, uCallbackMessage) == 16 &&
              offsetof(NOTIFYICONDATAA, hIcon) == 20 && offsetof(NOTIFYICONDATAA, szTip) == tray::kTipOffset);
#endif
static_assert(sizeof(NOTIFYICONDATAA{}.szTip) >= tray::kTipSize);
// The procedure goes into the window through SetWindowLongPtrW, which takes any integer: it must have the
// window procedure's exact type (CALLBACK is stdcall on 32-bit Windows), and the decision gets lParam whole.
static_assert(std::is_same_v<decltype(&TrayWndProc), WNDPROC>);
static_assert(sizeof(LPARAM) == sizeof(std::intptr_t) && std::is_signed_v<LPARAM>);
// The balloon's record: NOTIFYICONDATAW up to dwInfoFlags (the size Windows 2000 and later read balloons
// from). Its handle fields are pointer-sized, so its size differs between the two builds.
#if defined(_WIN64)
static_assert(NOTIFYICONDATAW_V2_SIZE == 952);
#else
static_assert(NOTIFYICONDATAW_V2_SIZE == 936);
#endif
// The Unicode tip's record: the first-version NOTIFYICONDATAW, which ends after 64 UTF-16 units of its tip.
#if defined(_WIN64)
static_assert(NOTIFYICONDATAW_V1_SIZE == 168);
#else
static_assert(NOTIFYICONDATAW_V1_SIZE == 152);
#endif
static_assert(NOTIFYICONDATAW_V1_SIZE == offsetof(NOTIFYICONDATAW, szTip) + 64 * sizeof(wchar_t));
static_assert(sizeof(NOTIFYICONDATAW{}.szInfoTitle) / sizeof(wchar_t) == 64 &&
              sizeof(NOTIFYICONDATAW{}.szInfo) / sizeof(wchar_t) == 256);

namespace {

bool g_installed = false;   // TrayWndProc is the main window's procedure and the icon was added
std::wstring g_unicodeTip;  // the tip last sent through the Unicode record, empty when the 8-bit one has it
std::wstring g_copyText;    // what the copy entry of the menu puts on the clipboard
std::function<void()> g_openRuns;  // opens the run window
UINT g_taskbarCreated = 0;  // Explorer's broadcast after it (re)starts

// `text` cut to a NUL-terminated field of `N` units, never inside a surrogate pair.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], std::wstring_view text) {
  const std::u16string fitted = tray::FitField(runtime::Utf16(text), N);
  std::memcpy(field, fitted.data(), fitted.size() * sizeof(wchar_t));
  field[fitted.size()] = L'\0';
}

// Window and icon handles keep their value in 32 bits on 64-bit Windows as well.
std::uint32_t HandleBits(const void* handle) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}

template <typename Handle>
Handle HandleFromBits(std::uint32_t bits) {
  return reinterpret_cast<Handle>(static_cast<INT_PTR>(static_cast<std::int32_t>(bits)));
}

// The main window's icon as the notification area shows it: its small image.
HICON WindowIcon(HWND window) {
  auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
  return icon;
}

BOOL Notify(DWORD message) {
  NOTIFYICONDATAA record = NativeRecord(TrayIconData);
  BOOL result = Shell_NotifyIconA(message, &record);
  if (const auto observe = runtime::TestSeam().trayNotify) observe(message, record, result);
  return result;
}

// A change of the icon in the Unicode record of `size` bytes: the icon as the 8-bit record names it, `flags`.
NOTIFYICONDATAW UnicodeRecord(DWORD size, UINT flags) {
  NOTIFYICONDATAW record{};
  record.cbSize = size;
  record.hWnd = HandleFromBits<HWND>(TrayIconData.hWnd);
  record.uID = TrayIconData.uID;
  record.uFlags = flags;
  return record;
}

BOOL NotifyUnicode(NOTIFYICONDATAW& record) {
  const BOOL result = Shell_NotifyIconW(NIM_MODIFY, &record);
  if (const auto observe = runtime::TestSeam().balloon) observe(record, result);
  return result;
}

// A tip the system code page cannot hold goes through the Unicode record in its first-version form, whose tip
// field the shell reads as 64 UTF-16 units (the later forms have 128); the 8-bit record keeps what it had.
constexpr std::size_t kUnicodeTipUnits = 64;
BOOL NotifyUnicodeTip(const std::wstring& text) {
  NOTIFYICONDATAW record = UnicodeRecord(NOTIFYICONDATAW_V1_SIZE, NIF_TIP);
  const std::u16string fitted = tray::FitField(runtime::Utf16(text), kUnicodeTipUnits);
  std::memcpy(record.szTip, fitted.data(), fitted.size() * sizeof(wchar_t));
  record.szTip[fitted.size()] = L'\0';
  return NotifyUnicode(record);
}

// True when every character of `text` has a form of its own in the system code page.
bool FitsCodePage(std::wstring_view text) {
  if (text.empty() || GetACP() == CP_UTF8) return true;
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                                       0, nullptr, &lossy);
  return size > 0 && !lossy;
}

// Explorer lost every icon when it restarted: add ours again as it was, with its tip.
void AddAgain() {
  TrayIconData.uFlags = tray::kFlagsAdd;
  Notify(NIM_ADD);
  TrayIconData.uFlags = tray::kFlagsTip;
  Notify(NIM_MODIFY);
  if (!g_unicodeTip.empty()) NotifyUnicodeTip(g_unicodeTip);
}

// The copy entry can be chosen once there is something to copy.
void ShowCopyEntryState() {
  if (TrayMenu)
    EnableMenuItem(TrayMenu, kCopyCommandId, MF_BYCOMMAND | (g_copyText.empty() ? MF_GRAYED : MF_ENABLED));
}

void RestoreAndFocus() {
  // Nothing records the state the window had before it was minimised; it comes back restored.
  if (IsIconic(TrayForm)) ShowWindow(TrayForm, SW_RESTORE);
  SetForegroundWindow(TrayForm);
  SetFocus(TrayForm);
}

void Popup() {
  POINT at{};
  GetCursorPos(&at);
  // The menu is opened on the main window, which must be in the foreground for a click elsewhere to
  // close it; the posted null message lets a second popup open normally afterwards.
  SetForegroundWindow(TrayForm);
  ShowCopyEntryState();
  const UINT command = static_cast<UINT>(TrackPopupMenu(
      TrayMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, TrayForm, nullptr));
  PostMessageW(TrayForm, WM_NULL, 0, 0);
  // The chosen command runs once the menu has closed.
  switch (HandlerForCommand(command)) {
    case MenuHandler::up_Show_Click:
      up_Show_Click();
      break;
    case MenuHandler::up_Copy_Click:
      up_Copy_Click();
      break;
    case MenuHandler::up_Runs_Click:
      up_Runs_Click();
      break;
    case MenuHandler::up_Exit_Click:
      up_Exit_Click();
      break;
    case MenuHandler::None:
      break;
  }
}

}  // namespace

NOTIFYICONDATAA NativeRecord(const tray::TrayIconData& record) {
  NOTIFYICONDATAA native{};
  native.cbSize = NOTIFYICONDATAA_V1_SIZE;
  native.hWnd = HandleFromBits<HWND>(record.hWnd);
  native.uID = record.uID;
  native.uFlags = record.uFlags;
  native.uCallbackMessage = record.uCallbackMessage;
  native.hIcon = HandleFromBits<HICON>(record.hIcon);
  std::memcpy(native.szTip, record.szTip.data(), tray::kTipSize);
  return native;
}

std::vector<std::string> EncodeTipCharacters(std::wstring_view text, UINT codePage) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    // A character outside the basic plane is two UTF-16 units and one character of the code page.
    const int units = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
    const int size = WideCharToMultiByte(codePage, 0, text.data() + i, units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(codePage, 0, text.data() + i, units, bytes.data(), size, nullptr, nullptr);
    characters.push_back(size > 0 ? bytes : std::string("?"));
    i += static_cast<std::size_t>(units);
  }
  return characters;
}

void AddTrayIcon(HWND form, HMENU menu) {
  // Installing twice would make TrayWndProc its own previous procedure.
  if (g_installed) RemoveTrayIcon();
  TrayForm = form;
  TrayMenu = menu;
  // The procedure goes in first, so the icon's very first message already reaches it.
  OldWndProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWndProc)));
  g_installed = true;
  // The program runs elevated; Explorer's restart broadcast comes from a lower integrity level.
  g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  if (g_taskbarCreated) ChangeWindowMessageFilterEx(form, g_taskbarCreated, MSGFLT_ALLOW, nullptr);
  PrepareAdd(TrayIconData, HandleBits(form), HandleBits(WindowIcon(form)));
  Notify(NIM_ADD);
}

void SetTrayTip(std::wstring_view text) {
  if (!FitsCodePage(text)) {
    g_unicodeTip.assign(text);
    NotifyUnicodeTip(g_unicodeTip);
    return;
  }
  g_unicodeTip.clear();
  PrepareTip(TrayIconData, TipField(EncodeTipCharacters(text)));
  Notify(NIM_MODIFY);
}

void SetCopyText(std::wstring_view text) {
  g_copyText.assign(text);
  ShowCopyEntryState();
}

const std::wstring& CopyText() { return g_copyText; }

void SetOpenRunsHandler(std::function<void()> handler) { g_openRuns = std::move(handler); }

void ShowBalloon(std::wstring_view title, std::wstring_view text, bool error) {
  if (!g_installed) return;
  NOTIFYICONDATAW record = UnicodeRecord(NOTIFYICONDATAW_V2_SIZE, NIF_INFO);
  CopyField(record.szInfoTitle, title);
  CopyField(record.szInfo, text);
  record.uTimeout = 10000;  // read by Windows before Vista only; later ones use the accessibility setting
  record.dwInfoFlags = error ? NIIF_ERROR : NIIF_INFO;
  NotifyUnicode(record);
}

bool TrayIconInstalled() { return g_installed; }

void RemoveTrayIcon() {
  if (!g_installed) return;
  PrepareDelete(TrayIconData);
  Notify(NIM_DELETE);
  SetWindowLongPtrW(TrayForm, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OldWndProc));
  g_installed = false;
}

LRESULT CALLBACK TrayWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  // Kept before any handler runs: the exit command puts the previous procedure back.
  const WNDPROC previous = OldWndProc;
  if (g_taskbarCreated != 0 && uMsg == g_taskbarCreated) {
    AddAgain();
  } else if (uMsg == WM_DESTROY) {
    // The window is going away without a way out having removed the icon: take the icon with it, so
    // none is left pointing at a window that no longer exists.
    RemoveTrayIcon();
  } else {
    switch (DecideTrayMessage(uMsg, lParam)) {
      case TrayAction::RestoreAndFocus:
        RestoreAndFocus();
        return 0;
      case TrayAction::Popup:
        Popup();
        return 0;
      case TrayAction::OpenRuns:
        up_Runs_Click();
        return 0;
      case TrayAction::PassOn:
        break;
    }
  }
  if (!previous) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  return CallWindowProcW(previous, hWnd, uMsg, wParam, lParam);
}

}  // namespace APIStuff

namespace {

std::unique_ptr<MenuForm>& LoadedMenuForm() {
  static std::unique_ptr<MenuForm> form;
  return form;
}

std::wstring Widen(std::string_view ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

MenuForm::MenuForm() {
  // Loaded, never shown: it only owns the menu.
  CreateFor(WNDCLASSEXW{}, WS_EX_TOOLWINDOW, Widen(kMenuFormName).c_str(), WS_OVERLAPPED, 0, 0, 0, 0, nullptr);
  bar_.reset(CreateMenu());
  HMENU popup = CreatePopupMenu();
  for (const MenuItem& item : kPopupMenuItems) {
    if (item.separator) {
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    } else {
      // The copy entry is greyed until there is a command line to copy.
      const UINT state = item.commandId == kCopyCommandId && APIStuff::CopyText().empty() ? MF_GRAYED : 0;
      AppendMenuW(popup, MF_STRING | state, item.commandId, Widen(item.designCaption).c_str());
    }
  }
  if (AppendMenuW(bar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), Widen(kPopupMenuName).c_str())) {
    popup_ = popup;
  } else {
    DestroyMenu(popup);
  }
}

void MenuForm::SetCaption(std::string_view item, const std::wstring& text) {
  for (const MenuItem& entry : kPopupMenuItems) {
    if (entry.name != item || entry.separator) continue;
    std::wstring caption = text;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = caption.data();
    SetMenuItemInfoW(popup_, entry.commandId, FALSE, &info);
    return;
  }
}

MenuForm& up_Menus() {
  std::unique_ptr<MenuForm>& form = LoadedMenuForm();
  if (!form) form = std::make_unique<MenuForm>();
  return *form;
}

void Unload_up_Menus() {
  LoadedMenuForm().reset();
}

bool up_Menus_Loaded() {
  return LoadedMenuForm() != nullptr;
}

void up_Show_Click() {
  // A minimised window comes back in the state it had before it was minimised, in front.
  if (IsIconic(APIStuff::TrayForm)) {
    ShowWindow(APIStuff::TrayForm, SW_RESTORE);
    SetForegroundWindow(APIStuff::TrayForm);
    return;
  }
  // Hidden and shown in one step: the window is displayed afresh where it is, in the state it is in.
  ShowWindow(APIStuff::TrayForm, SW_HIDE);
  ShowWindow(APIStuff::TrayForm, SW_SHOW);
}

void up_Copy_Click() { runtime::CopyToClipboard(APIStuff::TrayForm, APIStuff::CopyText()); }

void up_Runs_Click() {
  // A copy: what it opens may set another handler meanwhile.
  if (const std::function<void()> open = APIStuff::g_openRuns) open();
}

void up_Exit_Click() {
  APIStuff::RemoveTrayIcon();
  Unload_up_Menus();
  runtime::EndProgram();
}

}  // namespace vantrel::tray
