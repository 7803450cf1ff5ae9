#include "runtime/late_binding.h"

#include "runtime/buffer.h"

namespace vantrel::runtime {

std::wstring SystemFolderPath(const wchar_t* file) {
  std::wstring path = GrowString([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); });
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + file;
}

HMODULE LoadFromSystemFolder(const wchar_t* library) {
  HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Windows 7 without its 2011 loader update does not know the flag; the full path keeps the search out of
  // the current and the program's folder there too.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(SystemFolderPath(library).c_str(), nullptr, 0);
  return module;
}

}  // namespace vantrel::runtime
