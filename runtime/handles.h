// Owning wrappers for the Windows handles the program creates. Every handle has exactly one owner and is
// released when the owner goes away, so nothing leaks on any path out of a function.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <utility>

namespace vantrel::runtime {

template <typename T, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T value) : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::invalid(); }
  T release() { return std::exchange(value_, Traits::invalid()); }
  void reset(T value = Traits::invalid()) {
    T old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  T value_ = Traits::invalid();
};

struct WindowTraits {
  static HWND invalid() { return nullptr; }
  static void close(HWND h) { DestroyWindow(h); }
};
// One GDI object type (HFONT, HBITMAP, HBRUSH, ...): the handle keeps its type, so no cast at each use.
template <class T>
struct GdiTraits {
  static T invalid() { return nullptr; }
  static void close(T h) { DeleteObject(h); }
};
struct MenuTraits {
  static HMENU invalid() { return nullptr; }
  static void close(HMENU h) { DestroyMenu(h); }
};
struct IconTraits {
  static HICON invalid() { return nullptr; }
  static void close(HICON h) { DestroyIcon(h); }
};
// Kernel objects whose "none" is null: processes, threads, events, wait handles of CreateProcess.
struct KernelTraits {
  static HANDLE invalid() { return nullptr; }
  static void close(HANDLE h) { CloseHandle(h); }
};
// Files: CreateFileW says "none" with INVALID_HANDLE_VALUE, not null.
struct FileTraits {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { CloseHandle(h); }
};
// Change notifications of a folder: FindFirstChangeNotificationW says "none" with INVALID_HANDLE_VALUE.
struct ChangeNotificationTraits {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { FindCloseChangeNotification(h); }
};
// Folder listings: FindFirstFileExW says "none" with INVALID_HANDLE_VALUE, and FindClose ends them.
struct FindTraits {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { FindClose(h); }
};
struct ModuleTraits {
  static HMODULE invalid() { return nullptr; }
  static void close(HMODULE h) { FreeLibrary(h); }
};
struct IdListTraits {
  static PIDLIST_ABSOLUTE invalid() { return nullptr; }
  static void close(PIDLIST_ABSOLUTE p) { CoTaskMemFree(p); }
};
template <class I>
struct ComTraits {
  static I* invalid() { return nullptr; }
  static void close(I* p) { p->Release(); }
};
struct DcTraits {
  static HDC invalid() { return nullptr; }
  static void close(HDC h) { DeleteDC(h); }
};

using UniqueWindow = UniqueHandle<HWND, WindowTraits>;
using UniqueFont = UniqueHandle<HFONT, GdiTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiTraits<HBRUSH>>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
using UniqueChangeNotification = UniqueHandle<HANDLE, ChangeNotificationTraits>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueIdList = UniqueHandle<PIDLIST_ABSOLUTE, IdListTraits>;
using UniqueMemoryDc = UniqueHandle<HDC, DcTraits>;
// One reference to a COM object, released once.
template <class I>
using UniqueCom = UniqueHandle<I*, ComTraits<I>>;

// Selects a GDI object into a DC for the lifetime of this object and puts the old one back afterwards.
class SelectObjectScope {
 public:
  SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  SelectObjectScope(const SelectObjectScope&) = delete;
  SelectObjectScope& operator=(const SelectObjectScope&) = delete;
  ~SelectObjectScope() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Holds a slim reader/writer lock exclusively for the lifetime of this object.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

// A window's DC from GetDC (the screen's for a null window), given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// The painting of one WM_PAINT: BeginPaint at construction, EndPaint at destruction.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &paint_); }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

}  // namespace vantrel::runtime
