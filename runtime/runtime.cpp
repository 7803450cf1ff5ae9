#include "runtime/runtime.h"

#include <cstdlib>
#include <cstring>
#include <exception>

#include "runtime/buffer.h"
#include "runtime/late_binding.h"
#include "runtime/test_seam.h"
#include "runtime/window.h"

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
int AskYesNo(HWND owner, const std::wstring& text) {
  return MessageBoxW(owner, text.c_str(), kAppTitle, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
}

std::wstring ProgramFolder() {
  // Paths may exceed MAX_PATH: a truncated answer is asked again with a bigger buffer.
  const std::wstring path =
      GrowString([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  // Keep the separator of a drive root ("C:\Vantrel.exe" lives in "C:\").
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
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

namespace {

// GetLastError after a failed call, never 0.
DWORD LastError() {
  const DWORD error = GetLastError();
  return error ? error : ERROR_GEN_FAILURE;
}

// The attribute list of an extended start-up record, naming the only handles a child may inherit. Without it,
// bInheritHandles hands the child every inheritable handle of this process, such as another run's log that a
// second thread has open at that moment.
class InheritedHandles {
 public:
  InheritedHandles() = default;
  ~InheritedHandles() {
    if (ready_) DeleteProcThreadAttributeList(list());
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;

  // Names `handles` (which must outlive the list). Returns 0, or the system's error.
  DWORD Set(HANDLE* handles, std::size_t count) {
    SIZE_T size = sizeof buffer_;
    if (!InitializeProcThreadAttributeList(list(), 1, 0, &size)) return LastError();
    ready_ = true;
    if (!UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                   nullptr, nullptr))
      return LastError();
    return 0;
  }
  LPPROC_THREAD_ATTRIBUTE_LIST list() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_); }

 private:
  alignas(8) unsigned char buffer_[128];  // a list of one attribute takes a few dozen bytes
  bool ready_ = false;
};

}  // namespace

DWORD Shell(const ProcessLaunch& launch, UniqueKernelHandle* process_out) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(launch.show);
  DWORD flags = 0;
  UniqueFile input;
  HANDLE handles[] = {launch.output, nullptr};
  InheritedHandles inherited;
  if (launch.output) {
    // The tool reads nothing from us: its input is the null device, so a question it asks ends at once instead
    // of waiting for a console nobody sees.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    input.reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                            0, nullptr));
    if (!input) return LastError();
    // Standard output and standard error are the same handle: the list names each handle once (a handle named
    // twice makes the launch fail on some versions of Windows).
    handles[1] = input.get();
    if (const DWORD error = inherited.Set(handles, 2)) return error;
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = launch.output;
    startup.StartupInfo.hStdError = launch.output;
    startup.lpAttributeList = inherited.list();
    // A console tool would otherwise get a console window of its own, empty, since its output goes to the file.
    flags = CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT;
  }
  std::wstring line = launch.line;  // CreateProcessW may write into the command line buffer
  PROCESS_INFORMATION process{};
  // The application name is the program's full path, so Windows never searches for it and never starts
  // another program that an unquoted path with spaces would point at.
  if (!CreateProcessW(launch.application.c_str(), line.data(), nullptr, nullptr, launch.output != nullptr, flags,
                      nullptr, launch.folder.empty() ? nullptr : launch.folder.c_str(), &startup.StartupInfo,
                      &process))
    return LastError();
  // The tool runs on its own; nothing here waits for it. Its handle is kept only for the caller's watch.
  CloseHandle(process.hThread);
  if (process_out)
    process_out->reset(process.hProcess);
  else
    CloseHandle(process.hProcess);
  return 0;
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

CurrentFolderKeeper::CurrentFolderKeeper()
    : folder_(GrowString([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); })) {}

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
  return GrowString([](wchar_t* buffer, DWORD size) { return GetSystemWindowsDirectoryW(buffer, size); });
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void EndProgram() {
  if (const auto observe = TestSeam().endProgram) {
    observe();
    return;
  }
  ExitProcess(0);
}

}  // namespace vantrel::runtime
