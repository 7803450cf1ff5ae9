#include "runtime/file_dialogs.h"

#include <cstring>

#include "runtime/handles.h"
#include "runtime/late_binding.h"
#include "runtime/runtime.h"

namespace vantrel::runtime {
namespace {

// The record the dialogs take, as comdlg32 reads it (lStructSize): 88 bytes on 32-bit Windows, 152 on
// 64-bit. A header or packing mismatch would show here rather than as a dialog that refuses to open.
static_assert(sizeof(OPENFILENAMEW) == (sizeof(void*) == 4 ? 88 : 152));

std::wstring Missing(const std::wstring& what, DWORD error) { return what + L"\n\n" + SystemErrorText(error); }

}  // namespace

bool BindFileDialogs(const wchar_t* library, FileDialogApi& api, std::wstring& failure) {
  UniqueModule module(LoadFromSystemFolder(library));
  if (!module) {
    failure = Missing(SystemFolderPath(library), GetLastError());
    return false;
  }
  FileDialogApi bound;
  const char* missing = !Bind(module.get(), "GetOpenFileNameW", bound.getOpenFileName)   ? "GetOpenFileNameW"
                        : !Bind(module.get(), "GetSaveFileNameW", bound.getSaveFileName) ? "GetSaveFileNameW"
                                                                                        : nullptr;
  if (missing) {
    failure = Missing(SystemFolderPath(library) + L": " + std::wstring(missing, missing + std::strlen(missing)),
                      GetLastError());
    return false;
  }
  api = bound;
  module.release();  // the library stays loaded from here on
  return true;
}

const FileDialogApi* FileDialogs(std::wstring& failure) {
  static FileDialogApi api;
  static bool bound = false;
  if (!bound) bound = BindFileDialogs(L"comdlg32.dll", api, failure);
  return bound ? &api : nullptr;
}

}  // namespace vantrel::runtime
