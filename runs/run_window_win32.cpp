#include "runs/run_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "runtime/controls.h"
#include "runtime/dpi.h"
#include "runtime/runtime.h"

namespace vantrel::runs {
namespace {

// The list's selection has changed; posted, so that the pair of changes a move of the selection makes (one row
// left, the other taken) shows the new run's output once.
constexpr UINT kSelectionSettled = WM_APP + 1;

std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }

void Place(HWND control, const Box& box) {
  SetWindowPos(control, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window's place when it first opens: centred on its owner, within the work area of the owner's monitor.
RECT InitialRect(HWND owner, resources::DpiScale scale) {
  const int width = scale.Px(kRunWindowWidth), height = scale.Px(kRunWindowHeight);
  RECT around{};
  if (!owner || !GetWindowRect(owner, &around)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromRect(&around, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  int x = (around.left + around.right - width) / 2, y = (around.top + around.bottom - height) / 2;
  x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
  y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  return RECT{x, y, x + width, y + height};
}

}  // namespace

std::unique_ptr<RunWindow> RunWindow::Create(HINSTANCE instance, HWND owner, RunBook& book) {
  // The list view's class is registered by this call, not by the program's start-up, which asks for the
  // standard controls only.
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  std::unique_ptr<RunWindow> self(new RunWindow(instance, book));
  WNDCLASSEXW wc{};
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The main window class's icons, which live as long as the program.
  if (owner) {
    wc.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICON));
    wc.hIconSm = reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICONSM));
  }
  // Sized at the owner's DPI, which is the new window's as a rule; set right below where it is not.
  const resources::DpiScale ownerScale(runtime::WindowDpi(owner));
  const RECT r = InitialRect(owner, ownerScale);
  const std::wstring title = runtime::LoadResString(kRunWindowTitle);
  if (!self->CreateFor(wc, 0, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, r.left, r.top, r.right - r.left,
                       r.bottom - r.top, owner))
    return nullptr;
  self->scale_ = resources::DpiScale(runtime::WindowDpi(self->hwnd()));
  if (self->scale_ != ownerScale) {
    const RECT mine = InitialRect(owner, self->scale_);
    SetWindowPos(self->hwnd(), nullptr, mine.left, mine.top, mine.right - mine.left, mine.bottom - mine.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  self->MakeFont();
  if (!self->CreateControls()) return nullptr;
  self->LayOut();
  self->RunsChanged();
  return self;
}

RunWindow::~RunWindow() {
  // The controls go while the font they use still exists.
  DestroyWindowNow();
}

void RunWindow::OnWindowGone() { list_ = output_ = savedFocus_ = nullptr; }

void RunWindow::MakeFont() {
  // The program's font at the window's DPI; the controls get the new one before the old one goes.
  runtime::UniqueFont font = runtime::ControlFont(scale_.Dpi());
  if (!font) return;
  for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  const runtime::WindowDc dc(hwnd());
  if (dc) {
    const runtime::SelectObjectScope select(dc.get(), font.get());
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc.get(), &metrics) && metrics.tmHeight > 0) lineHeight_ = metrics.tmHeight;
  }
  font_ = std::move(font);
}

bool RunWindow::CreateControls() {
  // Made in tab order, which is the order Tab walks. The label comes just before the output box, where screen
  // readers look for the box's name; the list is named after the window.
  const auto make = [&](DWORD exStyle, const wchar_t* cls, const std::wstring& text, DWORD style, int id) {
    HWND control = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
  };
  list_ = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, runtime::LoadResString(kRunWindowTitle),
               WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, kListId);
  HWND label = make(0, WC_STATICW, runtime::LoadResString(kOutputLabel), SS_LEFT | SS_NOPREFIX, kLabelId);
  // Read-only, but a tab stop: the keyboard selects and copies from it. No horizontal scrolling: long lines wrap.
  output_ = make(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                 WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL, kOutputId);
  HWND copy = make(0, WC_BUTTONW, runtime::LoadResString(kCopyCommandButton), WS_TABSTOP | BS_PUSHBUTTON, kCopyId);
  HWND folder =
      make(0, WC_BUTTONW, runtime::LoadResString(kOpenLogFolderButton), WS_TABSTOP | BS_PUSHBUTTON, kFolderId);
  if (!list_ || !label || !output_ || !copy || !folder) return false;
  // The box's own limit is 32 767 units; it has to hold the whole kept log.
  SendMessageW(output_, EM_SETLIMITTEXT, kOutputLimit, 0);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    std::wstring caption = runtime::LoadResString(kColumnCaptions[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = i == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT;  // durations line up on their last digit
    column.pszText = caption.data();
    column.cx = scale_.Px(60);
    column.iSubItem = static_cast<int>(i);
    SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  EnableButtons();
  return true;
}

void RunWindow::LayOut() {
  RECT client{};
  GetClientRect(hwnd(), &client);
  const RunWindowLayout layout = LayOutRunWindow(client.right, client.bottom, scale_);
  Place(list_, layout.list);
  Place(Control(kLabelId), layout.label);
  Place(output_, layout.output);
  Place(Control(kCopyId), layout.copyButton);
  Place(Control(kFolderId), layout.folderButton);
  RECT inside{};
  GetClientRect(list_, &inside);
  const std::array<int, kColumnCount> widths = ColumnWidths(inside.right, scale_);
  for (std::size_t i = 0; i < kColumnCount; ++i) ListView_SetColumnWidth(list_, static_cast<int>(i), widths[i]);
}

void RunWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  scale_ = resources::DpiScale(dpi);
  MakeFont();
  SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();  // also when the suggested size is the size it has
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void RunWindow::Show() {
  if (!hwnd()) return;
  RunsChanged();
  if (!rowIds_.empty()) SelectRow(rowIds_.size() - 1);
  ShowSelected();
  ShowWindow(hwnd(), IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd());
  SetFocus(list_);
}

void RunWindow::Hide() {
  if (hwnd()) ShowWindow(hwnd(), SW_HIDE);
}

void RunWindow::RunsChanged() {
  if (!hwnd()) return;
  const std::optional<std::uint32_t> selected = SelectedRun();
  std::vector<std::uint32_t> wanted;
  for (const auto& run : book_.runs()) wanted.push_back(run->id);
  const RowEdits edits = EditRows(rowIds_, wanted);
  refreshing_ = true;
  for (const std::size_t row : edits.remove) {
    SendMessageW(list_, LVM_DELETEITEM, row, 0);
    rowIds_.erase(rowIds_.begin() + static_cast<std::ptrdiff_t>(row));
    rowTexts_.erase(rowTexts_.begin() + static_cast<std::ptrdiff_t>(row));
  }
  for (const std::uint32_t id : edits.add) {
    LVITEMW item{};
    item.mask = LVIF_PARAM | LVIF_TEXT;
    item.iItem = static_cast<int>(rowIds_.size());
    item.pszText = const_cast<wchar_t*>(L"");
    item.lParam = static_cast<LPARAM>(id);
    SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    rowIds_.push_back(id);
    rowTexts_.emplace_back();
  }
  // Only the cells whose text changed are set: the list repaints no more than that.
  const std::uint64_t now = GetTickCount64();
  for (std::size_t row = 0; row < rowIds_.size(); ++row) {
    const Run* run = book_.Find(rowIds_[row]);
    if (!run) continue;
    const std::array<std::u16string, kColumnCount> texts = RowTexts(*run, now, TableText);
    for (std::size_t column = 0; column < kColumnCount; ++column) {
      if (texts[column] == rowTexts_[row][column]) continue;
      std::wstring text = runtime::Wide(texts[column]);
      LVITEMW item{};
      item.iSubItem = static_cast<int>(column);
      item.pszText = text.data();
      SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
      rowTexts_[row][column] = texts[column];
    }
  }
  const std::optional<std::size_t> row = RowToSelect(rowIds_, selected);
  if (row && (!selected || rowIds_[*row] != *selected)) SelectRow(*row);
  refreshing_ = false;
  if (SelectedRun() != shownRun_) ShowSelected();
  EnableButtons();
}

void RunWindow::OutputChanged(std::uint32_t runId) {
  if (!hwnd() || shownRun_ != runId) return;
  Run* run = book_.Find(runId);
  if (!run || !run->log || run->logPath.empty()) return;
  ApplyToOutput(outputText_.Apply(run->log->TakeNew(), run->log->text().size()));
}

std::optional<std::uint32_t> RunWindow::SelectedRun() const {
  if (!list_) return std::nullopt;
  const auto row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || static_cast<std::size_t>(row) >= rowIds_.size()) return std::nullopt;
  return rowIds_[static_cast<std::size_t>(row)];
}

void RunWindow::SelectRun(std::uint32_t runId) {
  const auto found = std::find(rowIds_.begin(), rowIds_.end(), runId);
  if (found == rowIds_.end()) return;
  SelectRow(static_cast<std::size_t>(found - rowIds_.begin()));
  ShowSelected();
}

void RunWindow::SelectRow(std::size_t row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  SendMessageW(list_, LVM_ENSUREVISIBLE, row, FALSE);
}

void RunWindow::ShowSelected() {
  shownRun_ = SelectedRun();
  Run* run = shownRun_ ? book_.Find(*shownRun_) : nullptr;
  BoxChange all;
  if (!run) {
    all = outputText_.Show(u"");
  } else if (run->logPath.empty() || !run->log) {
    all = outputText_.Show(NoLogText(*run, TableText));
  } else {
    run->log->TakeNew();  // what changed before is in the whole text shown now
    all = outputText_.Show(run->log->text());
  }
  // A run newly shown starts at its end, with the latest output in view.
  SetWindowTextW(output_, runtime::Wide(all.text).c_str());
  const LPARAM end = GetWindowTextLengthW(output_);
  SendMessageW(output_, EM_SETSEL, end, end);
  SendMessageW(output_, EM_SCROLLCARET, 0, 0);
  EnableButtons();
}

void RunWindow::ApplyToOutput(const BoxChange& change) {
  if (change.restart) {
    SetWindowTextW(output_, runtime::Wide(change.text).c_str());
  }
  DWORD start = 0, end = 0;
  SendMessageW(output_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  RECT client{};
  GetClientRect(output_, &client);
  OutputView view;
  view.selectionStart = start;
  view.selectionEnd = end;
  view.firstVisibleLine = static_cast<int>(SendMessageW(output_, EM_GETFIRSTVISIBLELINE, 0, 0));
  view.visibleLines = std::max(1, static_cast<int>(client.bottom) / std::max(lineHeight_, 1));
  view.lineCount = static_cast<int>(SendMessageW(output_, EM_GETLINECOUNT, 0, 0));
  const bool follow = change.restart || FollowsEnd(view);
  int firstLine = view.firstVisibleLine;

  // The box is changed through its selection, out of sight; the user's selection and place are put back after.
  SendMessageW(output_, WM_SETREDRAW, FALSE, 0);
  if (!change.restart) {
    if (change.dropFront) {
      const auto linesBefore = static_cast<int>(SendMessageW(output_, EM_GETLINECOUNT, 0, 0));
      SendMessageW(output_, EM_SETSEL, 0, static_cast<LPARAM>(change.dropFront));
      SendMessageW(output_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
      firstLine -= linesBefore - static_cast<int>(SendMessageW(output_, EM_GETLINECOUNT, 0, 0));
      start -= std::min<DWORD>(start, static_cast<DWORD>(change.dropFront));
      end -= std::min<DWORD>(end, static_cast<DWORD>(change.dropFront));
    }
    const auto length = static_cast<DWORD>(GetWindowTextLengthW(output_));
    const DWORD kept = length - std::min<DWORD>(length, static_cast<DWORD>(change.erase));
    const std::wstring text = runtime::Wide(change.text);
    SendMessageW(output_, EM_SETSEL, kept, length);
    SendMessageW(output_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    start = std::min(start, kept);
    end = std::min(end, kept);
  }
  if (follow) {
    const LPARAM length = GetWindowTextLengthW(output_);
    SendMessageW(output_, EM_SETSEL, length, length);
    SendMessageW(output_, EM_SCROLLCARET, 0, 0);
  } else {
    SendMessageW(output_, EM_SETSEL, start, end);
    const auto now = static_cast<int>(SendMessageW(output_, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageW(output_, EM_LINESCROLL, 0, std::max(firstLine, 0) - now);
  }
  SendMessageW(output_, WM_SETREDRAW, TRUE, 0);
  // The frame too: the scroll bar was moved while nothing was drawn.
  RedrawWindow(output_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void RunWindow::EnableButtons() {
  const Run* run = ShownRun();
  EnableWindow(Control(kCopyId), run != nullptr);
  EnableWindow(Control(kFolderId), run && !run->logPath.empty());
}

void RunWindow::CopyCommand() {
  if (const Run* run = ShownRun()) runtime::CopyToClipboard(hwnd(), runtime::Wide(run->commandLine));
}

void RunWindow::OpenLogFolder() {
  const Run* run = ShownRun();
  if (!run || run->logPath.empty()) return;
  const std::wstring path = runtime::Wide(run->logPath);
  // Explorer opens the folder with the log file selected; where the shell cannot (the file is gone), the folder
  // alone.
  const runtime::UniqueIdList item(ILCreateFromPathW(path.c_str()));
  if (item && SUCCEEDED(SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0))) return;
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return;
  const std::wstring folder = path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
  ShellExecuteW(hwnd(), L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool RunWindow::DialogMessage(MSG* msg) {
  // Only keys are the window's to take; everything else is dispatched as usual.
  if (!msg->hwnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  HWND root = GetAncestor(msg->hwnd, GA_ROOT);
  RunWindow* self = FromHandle(root);
  if (!self) return false;
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
    self->Hide();
    return true;
  }
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
    // The dialog manager would let the multi-line box keep Tab (it asks for every key), and would select the
    // whole box when Tab reaches it, which stops it following the end; focus moves here instead.
    const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (HWND next = GetNextDlgTabItem(root, GetFocus(), back)) SetFocus(next);
    return true;
  }
  return IsDialogMessageW(root, msg) != FALSE;
}

LRESULT RunWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && list_) LayOut();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = POINT{scale_.Px(kRunWindowMinWidth), scale_.Px(kRunWindowMinHeight)};
      return 0;
    }
    case WM_DPICHANGED:
      // Moved to a monitor with another scale: the font and the layout at the new DPI, where Windows suggests.
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:  // from the dialog manager
          Hide();
          return 0;
        case kCopyId:
          if (HIWORD(wParam) == BN_CLICKED) CopyCommand();
          return 0;
        case kFolderId:
          if (HIWORD(wParam) == BN_CLICKED) OpenLogFolder();
          return 0;
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == list_ && header->code == LVN_ITEMCHANGED && !refreshing_ && !selectionPosted_) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
          selectionPosted_ = true;
          PostMessageW(hwnd(), kSelectionSettled, 0, 0);
        }
      }
      return 0;
    }
    case kSelectionSettled:
      selectionPosted_ = false;
      if (SelectedRun() != shownRun_) ShowSelected();
      return 0;
    case WM_ACTIVATE:
      // Focus is kept as a dialog keeps it: the control that had it gets it back when the window is active again.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd(), focus)) savedFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      SetFocus(savedFocus_ && IsWindowVisible(savedFocus_) && IsWindowEnabled(savedFocus_) ? savedFocus_ : list_);
      return 0;
    case WM_CLOSE:
      Hide();
      return 0;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace vantrel::runs
