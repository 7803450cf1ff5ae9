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
#include "wim/list_path.h"

namespace vantrel::wim {
namespace {

using runtime::Utf16;
using runtime::Wide;

// MinGW's headers lack the newer attributes.
#ifndef FILE_ATTRIBUTE_RECALL_ON_OPEN
#define FILE_ATTRIBUTE_RECALL_ON_OPEN 0x00040000
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
#define FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS 0x00400000
#endif
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY && kAttributeOffline == FILE_ATTRIBUTE_OFFLINE &&
              kAttributeRecallOnOpen == FILE_ATTRIBUTE_RECALL_ON_OPEN &&
              kAttributeRecallOnDataAccess == FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS);

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

FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& lastWrite) {
  return {(static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow,
          (static_cast<std::uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime};
}

// The file's stamp now, or none when the file cannot be asked.
std::optional<FileStamp> StampNow(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return StampOf(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
}

Listing Unreadable(DWORD error) {
  Listing l;
  l.state = Listing::State::Read;
  l.description.failure.problem = Problem::Unreadable;
  l.description.failure.value = error;
  return l;
}

}  // namespace

struct ListReader::Slot {
  SRWLOCK lock = SRWLOCK_INIT;
  std::uint32_t generation = 0;    // the read the window waits for
  std::optional<Listing> outcome;  // that read's, once it has come
};

namespace {

// Work for a thread-pool thread: read one path, leave the outcome in the slot and tell the window. Any program
// of the same integrity level can post to the window: the message carries nothing the window would take over.
struct Job {
  HWND window;
  UINT message;
  std::uint32_t generation;
  std::wstring path;
  std::shared_ptr<ListReader::Slot> slot;
};

void CALLBACK ReadInBackground(PTP_CALLBACK_INSTANCE, void* context) {
  std::unique_ptr<Job> job(static_cast<Job*>(context));
  Listing outcome = ReadListing(job->path);
  {
    const runtime::ExclusiveLock lock(job->slot->lock);
    if (job->slot->generation != job->generation) return;  // another path (or the window) has come since
    job->slot->outcome = std::move(outcome);
  }
  PostMessageW(job->window, job->message, 0, 0);
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
  switch (KindOf(attributes)) {
    case FileKind::NoFile:
      return none;
    case FileKind::NotLocal: {
      // Nothing is opened: even the header's few bytes would recall the whole file from the cloud or the archive.
      Listing notLocal;
      notLocal.state = Listing::State::Read;
      notLocal.description.failure.problem = Problem::NotLocal;
      return notLocal;
    }
    case FileKind::Local:
      break;
  }
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Unreadable(GetLastError());
  // The stamp is taken before the reads: a file written meanwhile differs from it at the next click.
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information)) return Unreadable(GetLastError());
  Listing listing;
  listing.state = Listing::State::Read;
  listing.stamp = StampOf(information.nFileSizeHigh, information.nFileSizeLow, information.ftLastWriteTime);
  const std::uint64_t fileSize = listing.stamp.size;
  std::vector<std::uint8_t> bytes;
  if (!ReadAt(file.get(), 0, kHeaderSize, &bytes)) return Unreadable(GetLastError());
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

// Not make_shared: see skin::MakeFont.
ListReader::ListReader(UINT message, UINT_PTR timerId) : message_(message), timerId_(timerId), slot_(new Slot()) {}

void ListReader::PathChanged(HWND window, std::wstring_view fieldText) {
  ++generation_;
  {
    const runtime::ExclusiveLock lock(slot_->lock);
    slot_->generation = generation_;
    slot_->outcome.reset();
  }
  listing_ = Listing();
  const std::optional<std::u16string> path = PathToRead(Utf16(fieldText));
  if (path) {
    // The tool opens a relative path in the program folder, where it starts, not in the current folder.
    path_ = Wide(ResolvedPath(Utf16(runtime::ProgramFolder()), *path));
    SetTimer(window, timerId_, kPauseMs, nullptr);
  } else {
    path_.reset();
    KillTimer(window, timerId_);
  }
}

void ListReader::ReadAgain(HWND window) {
  // On the timer, as after typing: the window's handler submits the read, and the listing stays shown meanwhile.
  if (path_) SetTimer(window, timerId_, USER_TIMER_MINIMUM, nullptr);
}

std::optional<FileFacts> ListReader::FactsForClick(HWND window) {
  if (!listing_.HasList() || !path_) return std::nullopt;
  if (!CountToCheck(listing_, StampNow(*path_))) {
    ReadAgain(window);  // written since it was read: the list is not trusted, and read afresh
    return std::nullopt;
  }
  return FactsOf(listing_);
}

bool ListReader::Handle(HWND window, UINT message, WPARAM wParam, LPARAM, bool* changed) {
  *changed = false;
  if (message == WM_TIMER && wParam == timerId_) {
    KillTimer(window, timerId_);
    if (!path_) return true;
    // The same file may be read again (it was written): only the newest read's outcome counts.
    ++generation_;
    {
      const runtime::ExclusiveLock lock(slot_->lock);
      slot_->generation = generation_;
      slot_->outcome.reset();
    }
    auto job = std::make_unique<Job>(Job{window, message_, generation_, *path_, slot_});
    if (TrySubmitThreadpoolCallback(&ReadInBackground, job.get(), nullptr)) job.release();
    return true;
  }
  if (message != message_) return false;
  std::optional<Listing> outcome;
  {
    const runtime::ExclusiveLock lock(slot_->lock);
    outcome.swap(slot_->outcome);
  }
  if (outcome) {
    listing_ = std::move(*outcome);
    *changed = true;
  }
  return true;
}

std::optional<FileFacts> PanelImageInfo::MountFacts() { return mount_.FactsForClick(host_.Owner()); }
std::optional<FileFacts> PanelImageInfo::CaptureFacts() { return capture_.FactsForClick(host_.Owner()); }

void PanelImageInfo::RunEnded() {
  mount_.ReadAgain(host_.Owner());
  capture_.ReadAgain(host_.Owner());
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
  // A file written since it was read (by another program) is read again: the list shown now is what was read,
  // the next one what the file holds then.
  mount_.FactsForClick(host_.Owner());
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
  const std::vector<CommandEntry> commands =
      ListCommands(mount_.listing(), Utf16(runtime::WindowText(index)), kText);
  if (!commands.empty()) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  for (const CommandEntry& c : commands)
    AppendMenuW(menu.get(), MF_STRING | (c.enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(c.command),
                Wide(c.text).c_str());
  RECT r{};
  GetWindowRect(index, &r);
  const UINT picked = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left,
                                                       r.bottom, 0, host_.Owner(), nullptr));
  SetFocus(index);
  if (picked == 0) return;
  if (picked > kMaxPickEntries) return commands_.ListCommandPicked(static_cast<ListCommand>(picked));
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
