#include "wim/image_list_win32.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "resources/dpi_scale.h"
#include "resources/text.h"
#include "runtime/controls.h"
#include "runtime/dpi.h"
#include "runtime/handles.h"
#include "runtime/runtime.h"

namespace vantrel::wim {
namespace {

using runtime::Utf16;
using runtime::Wide;

// A pause in typing this long before a path is read.
constexpr UINT kPauseMs = 150;
// The widest the tooltip of a cut line grows before it wraps, in design pixels.
constexpr int kToolTipWidth = 400;

using runtime::UniqueFile;

// Reads `size` bytes at `offset`, fewer when the file ends first; false when the system fails.
bool ReadAt(HANDLE file, std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>* out) {
  out->assign(size, 0);
  std::size_t got = 0;
  while (got < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + got);
    at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
    DWORD n = 0;
    if (!ReadFile(file, out->data() + got, static_cast<DWORD>(size - got), &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return false;
    }
    if (n == 0) break;
    got += n;
  }
  out->resize(got);
  return true;
}

Listing Unreadable(DWORD error) {
  Listing l;
  l.state = Listing::State::Read;
  l.description.failure.problem = Problem::Unreadable;
  l.description.failure.value = error;
  return l;
}

// Work for a thread-pool thread: read one path and post the outcome to the window.
struct Job {
  HWND window;
  UINT message;
  WPARAM generation;
  std::wstring path;
};

void CALLBACK ReadInBackground(PTP_CALLBACK_INSTANCE, void* context) {
  std::unique_ptr<Job> job(static_cast<Job*>(context));
  auto outcome = std::make_unique<Listing>(ReadListing(job->path));
  // The window takes the outcome; when it is gone, the outcome goes here.
  if (PostMessageW(job->window, job->message, job->generation, reinterpret_cast<LPARAM>(outcome.get())))
    outcome.release();
}

// Whether `text` fits the label's width in the label's font.
bool Fits(HWND label, const std::wstring& text) {
  const runtime::WindowDc dc(label);
  if (!dc) return true;
  SIZE size{};
  {
    runtime::SelectObjectScope font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  }
  RECT r{};
  GetClientRect(label, &r);
  return size.cx <= r.right;
}

std::wstring TableText(std::uint16_t id) {
  return runtime::LoadResString(id);
}
const TextLookup kText = [](std::uint16_t id) { return Utf16(TableText(id)); };

}  // namespace

Listing ReadListing(const std::wstring& path) {
  Listing none;
  none.state = Listing::State::NoFile;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    // A name still being typed, or a folder: no file to tell about.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
        error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE ||
        error == ERROR_BAD_PATHNAME || error == ERROR_NOT_READY)
      return none;
    return Unreadable(error);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return none;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Unreadable(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return Unreadable(GetLastError());
  const std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);
  std::vector<std::uint8_t> bytes;
  if (!ReadAt(file.get(), 0, kHeaderSize, &bytes)) return Unreadable(GetLastError());
  Listing listing;
  listing.state = Listing::State::Read;
  const HeaderResult header = ReadHeader(bytes, fileSize);
  if (!header.ok()) {
    listing.description.header = header.header;
    listing.description.failure = header.failure;
    return listing;
  }
  // At most kMaxXmlSize bytes, checked by ReadHeader.
  if (!ReadAt(file.get(), header.xmlOffset(), static_cast<std::size_t>(header.xmlSize()), &bytes))
    return Unreadable(GetLastError());
  listing.description = ReadDescription(header.header, bytes);
  return listing;
}

void ListReader::PathChanged(HWND window, std::wstring_view fieldText) {
  ++generation_;
  listing_ = Listing();
  const std::optional<std::u16string> path = PathToRead(Utf16(fieldText));
  if (path) {
    toRead_ = Wide(*path);
    SetTimer(window, timerId_, kPauseMs, nullptr);
  } else {
    toRead_.reset();
    KillTimer(window, timerId_);
  }
}

bool ListReader::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* changed) {
  *changed = false;
  if (message == WM_TIMER && wParam == timerId_) {
    KillTimer(window, timerId_);
    if (!toRead_) return true;
    auto job = std::make_unique<Job>(Job{window, message_, generation_, std::move(*toRead_)});
    toRead_.reset();
    if (TrySubmitThreadpoolCallback(&ReadInBackground, job.get(), nullptr)) job.release();
    return true;
  }
  if (message != message_) return false;
  std::unique_ptr<Listing> outcome(reinterpret_cast<Listing*>(lParam));
  if (outcome && wParam == generation_) {
    listing_ = std::move(*outcome);
    *changed = true;
  }
  return true;
}

void PanelImageInfo::Attach() {
  HWND index = host_.Control(ControlId::WIMindex);
  HWND label = host_.Control(ControlId::WimInfo);
  if (!index || !label) return;
  SetWindowSubclass(index, &PanelImageInfo::IndexBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void PanelImageInfo::Command(ControlId id, int notification) {
  if (notification == EN_CHANGE && id == ControlId::WIMPath) {
    mount_.PathChanged(host_.Owner(), runtime::WindowText(host_.Control(ControlId::WIMPath)));
    ShowMountLine();
  } else if (notification == EN_CHANGE && id == ControlId::WIMindex) {
    ShowMountLine();
  } else if (notification == EN_CHANGE && id == ControlId::WIMSavePath) {
    capture_.PathChanged(host_.Owner(), runtime::WindowText(host_.Control(ControlId::WIMSavePath)));
    ShowCaptureLine();
  } else if (notification == BN_CLICKED && id == ControlId::WIM_add_c) {
    ShowCaptureLine();
  } else if (notification == STN_CLICKED && id == ControlId::WimInfo) {
    ShowPicker();
  }
}

bool PanelImageInfo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  bool changed = false;
  if (mount_.Handle(host_.Owner(), message, wParam, lParam, &changed)) {
    if (changed) ShowMountLine();
    return true;
  }
  if (capture_.Handle(host_.Owner(), message, wParam, lParam, &changed)) {
    if (changed) ShowCaptureLine();
    return true;
  }
  return false;
}

void PanelImageInfo::ShowMountLine() {
  const std::u16string index = Utf16(runtime::WindowText(host_.Control(ControlId::WIMindex)));
  SetLine(host_.Control(ControlId::WimInfo), Wide(IndexLine(mount_.listing(), index, kText)));
}

void PanelImageInfo::ShowCaptureLine() {
  captureLineShown_ = true;
  const bool appending = runtime::IsChecked(host_.Control(ControlId::WIM_add_c));
  SetLine(host_.Control(ControlId::WimAddInfo), Wide(AppendLine(capture_.listing(), appending, kText)));
}

void PanelImageInfo::ScaleChanged(int dpi) {
  if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, resources::DpiScale(dpi).Px(kToolTipWidth));
  HWND mount = host_.Control(ControlId::WimInfo);
  SetLine(mount, runtime::WindowText(mount), true);
  // The capture panel's line only once it was shown: the panel's controls are made when first needed.
  if (captureLineShown_) {
    HWND capture = host_.Control(ControlId::WimAddInfo);
    SetLine(capture, runtime::WindowText(capture), true);
  }
}

void PanelImageInfo::SetLine(HWND label, const std::wstring& text, bool again) {
  if (!label || (!again && runtime::WindowText(label) == text)) return;
  SetWindowTextW(label, text.c_str());
  // The label draws only its text: the panel's picture is drawn again under it first.
  HWND panel = GetParent(label);
  RECT r{};
  GetWindowRect(label, &r);
  MapWindowPoints(HWND_DESKTOP, panel, reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(panel, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  // The whole text in the tooltip when the label cuts it. The tooltip is made when first needed, not at start-up.
  const bool cut = !text.empty() && !Fits(label, text);
  if (!tooltip_ && cut) {
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, host_.Owner(), nullptr, nullptr, nullptr);
    if (tooltip_)
      SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0,
                   resources::DpiScale(runtime::WindowDpi(host_.Owner())).Px(kToolTipWidth));
  }
  if (!tooltip_) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = panel;
  tool.uId = reinterpret_cast<UINT_PTR>(label);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (cut) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PanelImageInfo::ShowPicker() {
  const std::vector<PickEntry> entries = PickList(mount_.listing(), kText);
  HWND index = host_.Control(ControlId::WIMindex);
  if (entries.empty() || !index) return;
  runtime::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  const std::optional<std::uint32_t> current = resources::ImageIndexOf(Utf16(runtime::WindowText(index)));
  for (const PickEntry& e : entries) {
    if (e.index == 0) {
      // The note on the images left out: below a separator, never picked.
      AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu.get(), MF_STRING | MF_GRAYED, 0, Wide(e.text).c_str());
      continue;
    }
    AppendMenuW(menu.get(), MF_STRING | (current == e.index ? MF_CHECKED : 0), e.index, Wide(e.text).c_str());
  }
  RECT r{};
  GetWindowRect(index, &r);
  const UINT picked = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left,
                                                       r.bottom, 0, host_.Owner(), nullptr));
  SetFocus(index);
  if (picked == 0) return;
  SetWindowTextW(index, runtime::DecimalText(picked).c_str());
  SendMessageW(index, EM_SETSEL, 0, -1);
}

LRESULT CALLBACK PanelImageInfo::IndexBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
  // F4, or Alt+Down, opens the list as in a drop-down box.
  const bool f4 = message == WM_KEYDOWN && wParam == VK_F4;
  const bool altDown = message == WM_SYSKEYDOWN && wParam == VK_DOWN;
  if (f4 || altDown) {
    reinterpret_cast<PanelImageInfo*>(self)->ShowPicker();
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &PanelImageInfo::IndexBoxProc, 1);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace vantrel::wim
