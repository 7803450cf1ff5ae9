// The system's open and save dialogs, bound on first use.
//
// comdlg32 is not in the program's import table: loading it brings in the printing system (winspool and,
// under Wine, CUPS and GnuTLS), which costs start-up time and working set for dialogs most runs never open.
// The first file dialog loads it from the system folder and looks up the two functions it needs.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace vantrel::runtime {

// The functions, typed from the system's own declarations so that the calling convention (stdcall on
// 32-bit Windows) and the record they take cannot drift from what the DLL exports.
struct FileDialogApi {
  decltype(&::GetOpenFileNameW) getOpenFileName = nullptr;
  decltype(&::GetSaveFileNameW) getSaveFileName = nullptr;
};

// The bound functions, binding them on the first call. When comdlg32 or one of the two functions cannot be
// had, the result is null and `failure` names what was missing and why (for the caller to tell the user); a
// later call tries again. The library stays loaded for the life of the program.
const FileDialogApi* FileDialogs(std::wstring& failure);

// The binding itself, from `library` (a file name, looked for in the system folder only). False, with
// `failure` set, when the library or a function is missing.
bool BindFileDialogs(const wchar_t* library, FileDialogApi& api, std::wstring& failure);

}  // namespace vantrel::runtime
