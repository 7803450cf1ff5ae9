#include "runtime/file_dialogs.h"

#include <cstring>
#include <string>

#include "runtime/runtime.h"

namespace vantrel::runtime {
namespace {

// The record the dialogs take, as comdlg32 reads it (lStructSize): 88 bytes on 32-bit Windows, 152 on
// 64-bit. A header or packing mismatch would show here rather than as a dialog that refuses to open.
static_assert(sizeof(OPENFILENAMEW) == (sizeof(void*) == 4 ? 88 : 152));

std::wstring SystemFolderPath(const wchar_t* file) {
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  std::wstring path(folder, n > 0 && n < MAX_PATH ? n : 0);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + file;
}

void ReportMissing(HWND owner, const std::wstring& what, DWORD error) {
  MsgBox(owner, what + L"\n\n" + SystemErrorText(error));
}

}  // namespace

HMODULE LoadFromSystemFolder(const wchar_t* library) {
  HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Windows 7 without its 2011 loader update does not know the flag; the full path keeps the search out of
  // the current and the program's folder there too.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(SystemFolderPath(library).c_str(), nullptr, 0);
  return module;
}

bool BindFileDialogs(HWND owner, const wchar_t* library, FileDialogApi& api) {
  HMODULE module = LoadFromSystemFolder(library);
  if (!module) {
    DWORD error = GetLastError();
    ReportMissing(owner, SystemFolderPath(library), error);
    return false;
  }
  FileDialogApi bound;
  const char* missing = !Bind(module, "GetOpenFileNameW", bound.getOpenFileName)   ? "GetOpenFileNameW"
                        : !Bind(module, "GetSaveFileNameW", bound.getSaveFileName) ? "GetSaveFileNameW"
                                                                                  : nullptr;
  if (missing) {
    DWORD error = GetLastError();
    ReportMissing(owner, SystemFolderPath(library) + L": " + std::wstring(missing, missing + std::strlen(missing)),
                  error);
    FreeLibrary(module);
    return false;
  }
  api = bound;  // the library stays loaded from here on
  return true;
}

const FileDialogApi* FileDialogs(HWND owner) {
  static FileDialogApi api;
  static bool bound = false;
  if (!bound) bound = BindFileDialogs(owner, L"comdlg32.dll", api);
  return bound ? &api : nullptr;
}

}  // namespace vantrel::runtime
