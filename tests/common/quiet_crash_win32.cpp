// Linked into every Windows test program. A crash (an access violation, a call through a null pointer) ends
// the program at once, with one line on the error stream naming the exception and where it happened, and
// the exception code as the exit code. Without this, Wine starts its debugger, whose crash dialog waits on
// the display for a click until the test's timeout, and stands in front of the windows of the tests after it.
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ReportAndEnd(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  char line[128];
  int n = std::snprintf(line, sizeof line, "\n*** the test program crashed: exception 0x%08lX at address %p\n",
                        static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
  DWORD written = 0;
  if (n > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Installed before main runs, so a crash anywhere in the program (any thread, static set-up included) is
// caught.
const bool installed = [] {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(ReportAndEnd);
  return true;
}();

}  // namespace
