// Late binding: system DLLs the program does not import, loaded from the system folder when first needed,
// and functions that older systems lack, looked up by name. Every late-bound function of the program goes
// through these two helpers.
#pragma once
#include <windows.h>

#include <string>

namespace vantrel::runtime {

// A system DLL loaded from the system folder only (never the current or the program's folder), or null with
// the system's error in GetLastError.
HMODULE LoadFromSystemFolder(const wchar_t* library);

// The full path `file` would have in the system folder ("C:\Windows\system32\comdlg32.dll").
std::wstring SystemFolderPath(const wchar_t* file);

// `function` set to the export `name` of `module` (null when the module is null or lacks it); true when found.
// GetProcAddress returns a generic function pointer; the cast through void (*)() gives it back its type.
template <class Function>
bool Bind(HMODULE module, const char* name, Function& function) {
  function = module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
  return function != nullptr;
}

// A function of an already loaded system DLL (user32, ntdll, kernel32) that older systems lack, or null there.
template <class Function>
Function LoadedFunction(const wchar_t* module, const char* name) {
  Function function = nullptr;
  Bind(GetModuleHandleW(module), name, function);
  return function;
}

}  // namespace vantrel::runtime
