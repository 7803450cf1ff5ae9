// The small window runtime the program's handlers are written against: string lookup, message boxes,
// launching a program, the clipboard, facts about the system, the program's folder and ending the program. It
// serves every subsystem and knows none of them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/handles.h"

namespace vantrel::runtime {

// The application title: the caption of every message box the program shows.
inline constexpr wchar_t kAppTitle[] = L"Vantrel";

// wchar_t is UTF-16 on Windows, so these conversions copy code units one for one.
inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// The string table entry `id` of this executable, looked up afresh at every call (nothing is cached).
// Every id the program uses is in the table; a missing one is a build fault and yields the empty text.
std::wstring LoadResString(std::uint16_t id);

// Mouse messages as the program's handlers count them: buttons 1 left, 2 right, 4 middle; modifier keys
// 1 Shift, 2 Ctrl, 4 Alt.
// The button a WM_xBUTTONDOWN / WM_xBUTTONUP is about (left, right, middle), 0 for any other message.
inline std::int16_t MouseButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return 4;
  }
  return 0;
}
// The buttons held, from a mouse message's wParam.
inline std::int16_t ButtonsHeld(WPARAM wParam) {
  return static_cast<std::int16_t>(((wParam & MK_LBUTTON) ? 1 : 0) | ((wParam & MK_RBUTTON) ? 2 : 0) |
                                   ((wParam & MK_MBUTTON) ? 4 : 0));
}
// The modifier keys: Shift and Ctrl from a mouse message's wParam, Alt from the keyboard state.
inline std::int16_t ShiftState(WPARAM wParam) {
  return static_cast<std::int16_t>(((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0) |
                                   (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

// A modal message box owned by `owner`: the text, one OK button, no icon, caption "Vantrel".
void MsgBox(HWND owner, const std::wstring& text);
// A question owned by `owner`, caption "Vantrel": Yes and No, No the default, a warning icon. IDYES or IDNO.
int AskYesNo(HWND owner, const std::wstring& text);

// Full path of the folder that holds the running executable, without a trailing backslash
// (except for a drive root such as "C:\"). Any length.
std::wstring ProgramFolder();

// A program to start: its full path (never searched for), its whole command line, the ShowWindow style of its
// first window and the folder it starts in (the caller's current folder when empty). With `output` (an
// inheritable handle, a file opened for writing) the program's standard output and standard error go there, its
// standard input reads the null device, and it gets no console window; without it, it starts as it always did.
struct ProcessLaunch {
  std::wstring application;
  std::wstring line;
  int show = SW_SHOWNORMAL;
  std::wstring folder;
  HANDLE output = nullptr;
};

// Starts `launch` without waiting for it. Returns 0 when Windows started the process, else the system's error
// (the program is missing, access denied): the caller decides what the user is told. With `process` given, the
// started process's handle goes there (to be watched until it ends); otherwise it is closed at once. A launch
// with an output handle hands the program that handle and its null-device input and nothing else of ours,
// whatever else of this process is inheritable.
DWORD Shell(const ProcessLaunch& launch, UniqueKernelHandle* process = nullptr);

// Puts `text` on the clipboard as Unicode text, for `owner`. False when the clipboard could not be had.
bool CopyToClipboard(HWND owner, std::wstring_view text);
// The same into `memory`, moveable memory of at least the text and its NUL, which is the clipboard's once
// given and freed otherwise (also when it cannot be locked).
bool CopyToClipboard(HWND owner, std::wstring_view text, HGLOBAL memory);

// Keeps the process's current folder: what it was at construction is set again at destruction. The common
// dialogs move it to the folder the user browsed to, which would keep that folder (a USB stick) in use.
class CurrentFolderKeeper {
 public:
  CurrentFolderKeeper();
  ~CurrentFolderKeeper();
  CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
  CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

 private:
  std::wstring folder_;
};

// Facts about the system the program runs on.
struct WindowsVersion {
  unsigned major = 0, minor = 0, build = 0;
};
// The version as the kernel reports it (RtlGetVersion), which compatibility shims and a missing manifest entry
// do not change.
WindowsVersion RealWindowsVersion();
// True for a 32-bit process on 64-bit Windows.
bool IsWow64Process();
// The system's Windows folder ("C:\Windows"), the same for every user session.
std::wstring WindowsFolder();
// True when `path` names an existing file (not a folder).
bool IsFile(const std::wstring& path);

// The decimal digits of `value` (a small stand-in for std::to_wstring, see lean_runtime.cpp).
std::wstring DecimalText(unsigned long long value);

// The system's text for a Win32 error code, without the trailing line break.
std::wstring SystemErrorText(DWORD error);
// The same, or the empty text when the system has none for the code.
std::wstring SystemMessageText(DWORD code);
// The text of an NTSTATUS code from ntdll's message table (inserts left in place), or the empty text.
std::wstring NtStatusText(DWORD code);

// Ends the program at once: the process exits and every remaining window goes with it. Returns only when a
// test observes the ending (TestSeam().endProgram in runtime/test_seam.h).
void EndProgram();

}  // namespace vantrel::runtime
