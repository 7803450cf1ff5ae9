// Small replacements for heavy pieces of the C++ runtime, so that the static Vantrel.exe stays small.
//
// 1. DecimalText instead of std::to_wstring: libstdc++ formats wide numbers with vswprintf, which links the
//    whole MinGW printf engine (floating-point conversion included) into the program for one error number.
//
// 2. The program is built without C++ exceptions. What the standard library would throw on (a length error,
//    an index out of range, a failed allocation) goes through its throw hooks, std::__throw_length_error and
//    kin, and through operator new. Defined here, they replace the library's at link time, and with them the
//    exception classes, the std::string instantiations those drag in, the unwinder and the thread library it
//    needs. Each one ends the program at once with a clear failure: the report names what failed on the
//    standard error stream when the process has one, and otherwise in a message box; then the process ends
//    with exit code 3, as abort() would, without running any further program code. The terminate handler
//    (reached, for instance, by a call to a pure virtual function) reports and ends the same way.
//
//    This file is always linked because the runtime uses DecimalText.
#include <cstdlib>
#include <exception>
#include <new>

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

// A fixed buffer: the report must not allocate (it may run because memory ran out).
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

// "Vantrel stopped because of an unexpected error: <what>: <detail>.", then the end.
[[noreturn]] void StopWithReport(const char* what, const char* detail = nullptr) {
  static bool stopping = false;
  if (stopping) std::_Exit(3);  // a second failure while reporting the first one
  stopping = true;
  FailureText text;
  text.Append("Vantrel stopped because of an unexpected error: ");
  text.Append(what);
  if (detail && *detail) {
    text.Append(": ");
    text.Append(detail);
  }
  text.Append(".\r\n");
  if (!WriteToStandardError(text)) ShowMessageBox(text);
  std::_Exit(3);
}

}  // namespace
}  // namespace vantrel::runtime

namespace std {

using vantrel::runtime::StopWithReport;

void __throw_bad_exception() { StopWithReport("bad exception"); }
void __throw_bad_alloc() { StopWithReport("out of memory"); }
void __throw_bad_array_new_length() { StopWithReport("bad array length"); }
void __throw_bad_cast() { StopWithReport("bad cast"); }
void __throw_bad_typeid() { StopWithReport("bad typeid"); }
void __throw_logic_error(const char* what) { StopWithReport("logic error", what); }
void __throw_domain_error(const char* what) { StopWithReport("domain error", what); }
void __throw_invalid_argument(const char* what) { StopWithReport("invalid argument", what); }
void __throw_length_error(const char* what) { StopWithReport("length error", what); }
void __throw_out_of_range(const char* what) { StopWithReport("out of range", what); }
// The format's arguments are left out: formatting them would bring the printf engine back.
void __throw_out_of_range_fmt(const char* format, ...) { StopWithReport("out of range", format); }
void __throw_runtime_error(const char* what) { StopWithReport("runtime error", what); }
void __throw_range_error(const char* what) { StopWithReport("range error", what); }
void __throw_overflow_error(const char* what) { StopWithReport("overflow error", what); }
void __throw_underflow_error(const char* what) { StopWithReport("underflow error", what); }
void __throw_bad_function_call() { StopWithReport("call of an empty std::function"); }

}  // namespace std

// Allocation: memory from the C runtime's heap, and a report and the end when there is none left.
void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  vantrel::runtime::StopWithReport("out of memory");
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
// The nothrow forms (the library's temporary buffers use them) answer null instead of ending the program.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace __gnu_cxx {

// The library's default handler demangles the type of the exception in flight, which links the demangler
// and the printf family; the program has no exceptions, so there is nothing to name.
void __verbose_terminate_handler() { vantrel::runtime::StopWithReport("terminate called"); }

}  // namespace __gnu_cxx
