// Functions that fill a caller's buffer and say how long their answer is (GetModuleFileNameW,
// GetSystemDirectoryW, GetCurrentDirectoryW, GetWindowTextW, ...), asked with a growing buffer until the
// whole answer fits. Written once here so that no caller is limited to MAX_PATH.
#pragma once
#include <windows.h>

#include <string>

namespace vantrel::runtime {

// `fill(buffer, size)` writes at most `size` characters (its terminating NUL included) and returns how many it
// wrote without the NUL; when the buffer is too small, either the size it needs (the GetSystemDirectory
// convention) or `size` itself (GetModuleFileName's truncation). 0 is a failure: the empty text comes back.
template <class Fill>
std::wstring GrowString(Fill fill, DWORD size = MAX_PATH + 1) {
  std::wstring buffer;
  for (int attempt = 0; attempt < 16; ++attempt) {
    buffer.resize(size);
    const DWORD length = static_cast<DWORD>(fill(buffer.data(), size));
    if (length == 0) return {};
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    size = length > size ? length : size * 2;
  }
  return {};
}

}  // namespace vantrel::runtime
