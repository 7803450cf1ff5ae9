// The one window base every window of the program is built on.
//
// `Derived` owns its window: the static window procedure binds the object to the window at WM_NCCREATE (from
// CreateWindowExW's last argument, kept in GWLP_USERDATA), hands every later message to the one
// `Derived::HandleMessage`, and at WM_NCDESTROY lets go of the window once, for every kind of window alike.
// After that the object lives on without a window and hwnd() is null. A Derived that needs its members while
// its window and the child windows go (fonts, brushes the children draw with) calls DestroyWindowNow() in its
// own destructor; otherwise the base destroys the window, with the object already unbound from it.
//
// Derived provides `static constexpr wchar_t kClassName[]` and `LRESULT HandleMessage(UINT, WPARAM, LPARAM)`
// (returning DefaultProc(...) for what it leaves to the system); it may provide `void OnWindowGone()`, called
// at WM_NCDESTROY after the binding is gone.
#pragma once
#include <windows.h>

namespace vantrel::runtime {

// Registers a window class of this module unless it is registered already (windows of a class can be made
// again, e.g. by tests, after the first ones are gone). cbSize and hInstance are filled in here.
bool EnsureWindowClass(WNDCLASSEXW wc);

template <class Derived>
class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The window; null before it is made and once it is gone.
  HWND hwnd() const { return hwnd_; }

  // The object a window of Derived's class belongs to, or null (another class, or the window is going).
  static Derived* FromHandle(HWND window) {
    wchar_t name[64] = {};
    if (!window || !GetClassNameW(window, name, 64) || lstrcmpW(name, Derived::kClassName) != 0) return nullptr;
    return reinterpret_cast<Derived*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }

 protected:
  Window() = default;
  ~Window() {
    if (!hwnd_) return;
    // Derived is gone already: the messages of the destruction go to the system's default procedure.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }

  // Registers Derived's class (once; lpfnWndProc, lpszClassName, cbSize and hInstance are filled in here) and
  // makes the window, bound to this object. Null when the class or the window cannot be made.
  HWND CreateFor(WNDCLASSEXW wc, DWORD exStyle, const wchar_t* title, DWORD style, int x, int y, int width, int height,
                 HWND parent, HMENU menuOrId = nullptr) {
    wc.lpfnWndProc = &Window::WindowProc;
    wc.lpszClassName = Derived::kClassName;
    if (!EnsureWindowClass(wc)) return nullptr;
    return CreateWindowExW(exStyle, Derived::kClassName, title, style, x, y, width, height, parent, menuOrId,
                           GetModuleHandleW(nullptr), static_cast<Derived*>(this));
  }

  // Destroys the window now, while Derived's members still exist; WM_NCDESTROY has run when this returns.
  void DestroyWindowNow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }

  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }

  void OnWindowGone() {}

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<Derived*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      if (self) self->Window::hwnd_ = hwnd;
    } else {
      self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->Window::hwnd_ = nullptr;
      self->OnWindowGone();
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
};

}  // namespace vantrel::runtime
