// The system's open and save dialogs, bound on first use.
//
// comdlg32 is not in the program's import table: loading it brings in the printing system (winspool and,
// under Wine, CUPS and GnuTLS), which costs start-up time and working set for dialogs most runs never open.
// The first file dialog loads it from the system folder and looks up the two functions it needs.
#pragma once
#include <windows.h>
#include <commdlg.h>

namespace vantrel::runtime {

// The functions, typed from the system's own declarations so that the calling convention (stdcall on
// 32-bit Windows) and the record they take cannot drift from what the DLL exports.
struct FileDialogApi {
  decltype(&::GetOpenFileNameW) getOpenFileName = nullptr;
  decltype(&::GetSaveFileNameW) getSaveFileName = nullptr;
};

// A system DLL loaded from the system folder only (never the current or the program's folder), or null.
HMODULE LoadFromSystemFolder(const wchar_t* library);

// `function` set to the export `name` of `module` (null when the module is null or lacks it); true when found.
// GetProcAddress returns a generic function pointer; the cast through void (*)() gives it back its type.
template <class Function>
bool Bind(HMODULE module, const char* name, Function& function) {
  function = module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
  return function != nullptr;
}

// The bound functions, binding them on the first call. When comdlg32 or one of the two functions cannot be
// had, a message box owned by `owner` (caption "Vantrel") names what was missing and why, and the result is
// null; a later call tries again. The library stays loaded for the life of the program.
const FileDialogApi* FileDialogs(HWND owner);

// The binding itself, from `library` (a file name, looked for in the system folder only). Returns false,
// after the message box, when the library or a function is missing.
bool BindFileDialogs(HWND owner, const wchar_t* library, FileDialogApi& api);

}  // namespace vantrel::runtime
