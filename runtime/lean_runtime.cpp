// Small replacements for two heavy pieces of the C++ runtime, so that the static Vantrel.exe stays small.
//
// 1. DecimalText instead of std::to_wstring: libstdc++ formats wide numbers with vswprintf, which links the
//    whole MinGW printf engine (floating-point conversion included) into the program for one error number.
//
// 2. The terminate handler. libstdc++'s default handler, __gnu_cxx::__verbose_terminate_handler, demangles
//    the type name of the uncaught exception and so links the C++ demangler and the printf family: about a
//    sixth of the program, for a message that a windowed program cannot show anyway (it writes to a console
//    that is usually not there). Defining the handler here replaces the library's one at link time. This
//    file is always linked because the runtime uses DecimalText.
//
//    The replacement still ends the program at once with a clear failure: it names the exception (its raw
//    type name and, for a std::exception, its what() text) on the standard error stream when the process
//    has one, and otherwise in a message box; then the process ends with exit code 3, as abort() would,
//    without running any further program code.
#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <typeinfo>

#include "runtime/runtime.h"

namespace vantrel::runtime {

std::wstring DecimalText(unsigned long long value) {
  wchar_t digits[24];  // 2^64 - 1 has 20 digits
  wchar_t* first = digits + sizeof digits / sizeof digits[0];
  do {
    *--first = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(first, digits + sizeof digits / sizeof digits[0]);
}

namespace {

// A fixed buffer: the handler must not allocate (it may run because memory ran out).
class FailureText {
 public:
  void Append(const char* text) {
    for (; text && *text && length_ + 1 < sizeof text_; ++text) text_[length_++] = *text;
    text_[length_] = '\0';
  }
  const char* c_str() const { return text_; }
  DWORD size() const { return static_cast<DWORD>(length_); }

 private:
  char text_[1024] = {};
  std::size_t length_ = 0;
};

bool WriteToStandardError(const FailureText& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  return WriteFile(error, text.c_str(), text.size(), &written, nullptr) && written == text.size();
}

void ShowMessageBox(const FailureText& text) {
  wchar_t wide[1024];
  int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, static_cast<int>(sizeof wide / sizeof wide[0]));
  if (length <= 0) lstrcpynW(wide, L"Vantrel stopped because of an unexpected error.", 1024);
  MessageBoxW(nullptr, wide, kAppTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace
}  // namespace vantrel::runtime

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  using vantrel::runtime::FailureText;
  static bool terminating = false;
  if (terminating) std::_Exit(3);  // a second failure while reporting the first one
  terminating = true;

  FailureText text;
  text.Append("Vantrel stopped because of an unexpected error");
  if (const std::type_info* type = abi::__cxa_current_exception_type()) {
    text.Append(": uncaught exception of type ");
    text.Append(type->name());  // the raw (mangled) name; the demangler is what this handler leaves out
    try {
      throw;
    } catch (const std::exception& e) {
      text.Append(": ");
      text.Append(e.what());
    } catch (...) {
    }
  } else {
    text.Append(" (terminate called without an active exception)");
  }
  text.Append(".\r\n");
  if (!vantrel::runtime::WriteToStandardError(text)) vantrel::runtime::ShowMessageBox(text);
  std::_Exit(3);
}

}  // namespace __gnu_cxx
