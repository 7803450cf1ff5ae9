#include "runtime/runtime.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "runtime/file_dialogs.h"

namespace vantrel::runtime {

std::wstring LoadResString(std::uint16_t id) {
  // With a zero buffer length LoadStringW hands out a read-only pointer into the resource itself, so texts
  // of any length come back whole.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::wstring(text, static_cast<std::size_t>(length));
}

bool EnsureWindowClass(WNDCLASSEXW wc) {
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) return true;
  return RegisterClassExW(&wc) != 0;
}

void MsgBox(HWND owner, const std::wstring& text) { MessageBoxW(owner, text.c_str(), kAppTitle, MB_OK); }

std::wstring ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      std::size_t slash = path.find_last_of(L"\\/");
      if (slash == std::wstring::npos) return {};
      // Keep the separator of a drive root ("C:\Vantrel.exe" lives in "C:\").
      if (slash == 2 && path[1] == L':') return path.substr(0, 3);
      return path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);  // truncated: try a bigger buffer (paths may exceed MAX_PATH)
  }
}

std::wstring SystemMessageText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring result = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) result.pop_back();
  return result;
}

std::wstring SystemErrorText(DWORD error) {
  std::wstring text = SystemMessageText(error);
  return text.empty() ? L"Error " + DecimalText(error) : text;
}

std::wstring NtStatusText(DWORD code) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return {};
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                ntdll, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring result = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  return result;
}

bool Shell(HWND owner, const ProcessLaunch& launch, UniqueKernelHandle* process_out) {
  std::wstring line = launch.line;  // CreateProcessW may write into the command line buffer
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(launch.show);
  PROCESS_INFORMATION process{};
  // The application name is the program's full path, so Windows never searches for it and never starts
  // another program that an unquoted path with spaces would point at.
  if (!CreateProcessW(launch.application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      launch.folder.empty() ? nullptr : launch.folder.c_str(), &startup, &process)) {
    DWORD error = GetLastError();
    MsgBox(owner, launch.application + L"\r\n\r\n" + SystemErrorText(error));
    return false;
  }
  // The tool runs on its own; nothing here waits for it. Its handle is kept only for the caller's watch.
  CloseHandle(process.hThread);
  if (process_out)
    process_out->reset(process.hProcess);
  else
    CloseHandle(process.hProcess);
  return true;
}

bool CopyToClipboard(HWND owner, std::wstring_view text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  return memory && CopyToClipboard(owner, text, memory);
}

bool CopyToClipboard(HWND owner, std::wstring_view text, HGLOBAL memory) {
  // A block that cannot be locked (discarded) holds no text: handing it over would put whatever the
  // block holds on the clipboard.
  void* data = GlobalLock(memory);
  if (!data) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(data, text.data(), text.size() * sizeof(wchar_t));
  static_cast<wchar_t*>(data)[text.size()] = L'\0';
  GlobalUnlock(memory);
  // Another program may hold the clipboard for a moment.
  bool opened = false;
  for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(owner) != FALSE); ++attempt) Sleep(20);
  if (!opened) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool given = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!given) GlobalFree(memory);  // once given, the memory is the clipboard's
  return given;
}

CurrentFolderKeeper::CurrentFolderKeeper() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return;
  std::vector<wchar_t> buffer(length);
  const DWORD copied = GetCurrentDirectoryW(length, buffer.data());
  if (copied > 0 && copied < length) folder_.assign(buffer.data(), copied);
}

CurrentFolderKeeper::~CurrentFolderKeeper() {
  if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
}

WindowsVersion RealWindowsVersion() {
  // RtlGetVersion reports the true version whatever the manifest says; GetVersionEx stops at Windows 8 for a
  // program whose manifest does not name later systems.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  RtlGetVersionFn get = nullptr;
  if (Bind(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion", get) && get(&info) == 0)
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  return {};
}

bool IsWow64Process() {
#if defined(_WIN64)
  return false;
#else
  BOOL wow64 = FALSE;
  return ::IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::wstring WindowsFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const UINT length = GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
EndProgramHandler g_end_program = nullptr;
}  // namespace

EndProgramHandler SetEndProgramHandler(EndProgramHandler handler) {
  EndProgramHandler previous = g_end_program;
  g_end_program = handler;
  return previous;
}

void EndProgram() {
  if (g_end_program) {
    g_end_program();
    return;
  }
  ExitProcess(0);
}

}  // namespace vantrel::runtime
