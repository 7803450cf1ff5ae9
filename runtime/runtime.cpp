#include "runtime/runtime.h"

#include <cstdlib>
#include <exception>
#include <vector>

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

bool Shell(HWND owner, const imaging::CommandLine& command, UniqueKernelHandle* process_out) {
  std::wstring application = Wide(command.application);
  std::wstring line = Wide(command.line);  // CreateProcessW may write into the command line buffer
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(command.show);
  PROCESS_INFORMATION process{};
  // The application name is the tool's full path, so Windows never searches for it and never starts
  // another program that an unquoted path with spaces would point at.
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    DWORD error = GetLastError();
    MsgBox(owner, application + L"\r\n\r\n" + SystemErrorText(error));
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
