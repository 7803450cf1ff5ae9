#include "tests/win/win_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/process_watch.h"
#include "runtime/test_seam.h"

namespace vantrel::wintest {

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TrayRecord::Start() {
  tips.clear();
  balloons.clear();
  runtime::TestSeam().balloon = [](const NOTIFYICONDATAW& record, BOOL) {
    if (record.uFlags & NIF_TIP)
      g_tray.tips.emplace_back(record.szTip);
    else
      g_tray.balloons.emplace_back(record.szInfo);
  };
  runtime::TestSeam().trayNotify = [](DWORD message, const NOTIFYICONDATAA& record, BOOL) {
    if (message != NIM_MODIFY || !(record.uFlags & NIF_TIP)) return;
    wchar_t tip[64] = {};
    MultiByteToWideChar(CP_ACP, 0, record.szTip, -1, tip, 64);
    g_tray.tips.emplace_back(tip);
  };
}

bool PressKeyThrough(const std::function<bool(MSG*)>& navigate, WPARAM key, bool shift) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE shiftBefore = keys[VK_SHIFT];
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  MSG msg{};
  msg.hwnd = GetFocus();
  msg.message = WM_KEYDOWN;
  msg.wParam = key;
  msg.lParam = 1;
  const bool taken = navigate(&msg);
  keys[VK_SHIFT] = shiftBefore;
  SetKeyboardState(keys);
  return taken;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  PumpMessages();
  return testlog::WaitUntil(done, timeout, [] {
    // The program's own wait: the runs it launched are reported here as in its message loop.
    vantrel::runtime::ProcessWatch::WaitForMessagesOrProcesses(10);
    PumpMessages();
  });
}

std::wstring TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

std::wstring BinDir() {
  wchar_t buffer[32768];
  DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
  std::wstring path(buffer, n);
  return path.substr(0, path.find_last_of(L'\\'));
}

namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

struct FindData {
  const wchar_t* cls;
  const wchar_t* caption;
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<FindData*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, 256);
  if (data->cls && lstrcmpW(cls, data->cls) != 0) return TRUE;
  if (data->caption && TextOf(hwnd) != data->caption) return TRUE;
  if (data->match && (!IsWindowVisible(hwnd) || !(*data->match)(hwnd))) return TRUE;
  data->found = hwnd;
  return FALSE;
}

struct ChildData {
  const wchar_t* cls;
  int id;
  HWND found;
};

BOOL CALLBACK ChildProc(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<ChildData*>(lParam);
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, 256);
  if (lstrcmpiW(cls, data->cls) != 0) return TRUE;
  if (data->id != -1 && GetDlgCtrlID(hwnd) != data->id) return TRUE;
  data->found = hwnd;
  return FALSE;
}

}  // namespace

HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption) {
  FindData data{cls, caption, nullptr, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

HWND FindTopLevel(const wchar_t* cls, const std::function<bool(HWND)>& match) {
  FindData data{cls, nullptr, &match, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

HWND FindChild(HWND parent, const wchar_t* cls, int id) {
  ChildData data{cls, id, nullptr};
  EnumChildWindows(parent, ChildProc, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

bool RunXdotool(const std::wstring& commands, std::chrono::milliseconds timeout) {
  // Wine starts a Linux program by its Z: path, but the handle it returns for it never signals; xdotool
  // itself marks the end of its commands by touching a file.
  static int runs = 0;
  const std::wstring marker =
      L"/tmp/vantrel-xdotool-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
  std::wstring markerPath = L"Z:" + marker;
  for (wchar_t& c : markerPath)
    if (c == L'/') c = L'\\';
  DeleteFileW(markerPath.c_str());
  const std::wstring program = L"Z:\\usr\\bin\\xdotool";
  std::wstring line = L"xdotool " + commands + L" exec --sync /usr/bin/touch " + marker;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  const bool done =
      WaitUntil([&] { return GetFileAttributesW(markerPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeout);
  DeleteFileW(markerPath.c_str());
  return done;
}

ToolLog::ToolLog() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"vantrel-imagex-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  DeleteFileW(path_.c_str());
  SetEnvironmentVariableW(L"VANTREL_IMAGEX_LOG", path_.c_str());
}

ToolLog::ToolLog(Beside, std::wstring path) : path_(std::move(path)) {
  DeleteFileW(path_.c_str());
  SetEnvironmentVariableW(L"VANTREL_IMAGEX_LOG", nullptr);
}

ToolLog ToolLog::BesideTool(const std::wstring& folder) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return ToolLog(Beside{}, path + L"imagex.log");
}

std::vector<ToolRun> ToolLog::Runs() const {
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return testlog::ParseToolLog<std::wstring>(content, FromUtf8);
}

bool ToolLog::WaitForRuns(std::size_t count, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Runs().size() >= count; }, timeout);
}

DialogAnswerer::DialogAnswerer(std::wstring caption, int button)
    : DialogAnswerer(std::move(caption), [button](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
      }) {}

DialogAnswerer::DialogAnswerer(std::wstring caption, std::function<void(HWND)> action)
    : DialogAnswerer([caption = std::move(caption)](HWND dialog) { return TextOf(dialog) == caption; },
                     std::move(action)) {}

DialogAnswerer::DialogAnswerer(std::function<bool(HWND)> match, std::function<void(HWND)> action)
    : match_(std::move(match)), action_(std::move(action)) {
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &DialogAnswerer::Run, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer() {
  SetEvent(stop_);
  WaitForSingleObject(thread_, 20000);
  CloseHandle(thread_);
  CloseHandle(stop_);
}

DWORD WINAPI DialogAnswerer::Run(void* param) {
  auto* self = static_cast<DialogAnswerer*>(param);
  while (WaitForSingleObject(self->stop_, 10) == WAIT_TIMEOUT) {
    HWND dialog = FindTopLevel(L"#32770", self->match_);
    if (!dialog) continue;
    // A message box keeps its text in the static control with id 0xFFFF.
    HWND text = GetDlgItem(dialog, 0xFFFF);
    self->text_ = text ? TextOf(text) : std::wstring();
    self->owner_ = GetWindow(dialog, GW_OWNER);
    self->ownerDisabled_ = self->owner_ && !IsWindowEnabled(self->owner_);
    self->found_ = true;
    self->action_(dialog);
    self->seen_ = true;
    return 0;
  }
  return 0;
}

bool DialogAnswerer::Wait(std::chrono::milliseconds timeout) {
  return WaitUntil([this] { return seen_.load(); }, timeout);
}

}  // namespace vantrel::wintest

int wmain(int argc, wchar_t** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
