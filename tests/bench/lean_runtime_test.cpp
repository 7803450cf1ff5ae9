// The lean runtime (runtime/lean_runtime.cpp) replaces library pieces to keep Vantrel.exe small: the decimal
// formatter, the standard library's throw hooks, operator new and the terminate handler. These tests check
// that the replacements behave: numbers come out as the library prints them, and what the library would
// throw on ends the program at once with a clear report (on the error stream, or in a message box when there
// is none) and abort()'s exit code 3.
// The file dialogs bind comdlg32 on first use (runtime/file_dialogs.cpp): it must not be loaded at start-up,
// and a binding that fails is reported, not a crash. And a test program that crashes must end at once
// (tests/common/quiet_crash_win32.cpp, linked into every Windows test program).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "runtime/file_dialogs.h"
#include "runtime/runtime.h"

namespace {

using vantrel::runtime::DecimalText;

constexpr char kChildFlag[] = "--lean-runtime-child=";

TEST(DecimalText, PrintsWhatTheLibraryPrints) {
  for (unsigned long long v : {0ULL, 1ULL, 9ULL, 42ULL, 2147483647ULL, 4294967295ULL, 4294967296ULL,
                               18446744073709551615ULL})
    EXPECT_EQ(DecimalText(v), std::to_wstring(v));
  // Every power of ten and its neighbours, where a digit loop goes wrong first.
  for (unsigned long long p = 10; p <= 10000000000000000000ULL; p *= 10) {
    EXPECT_EQ(DecimalText(p - 1), std::to_wstring(p - 1));
    EXPECT_EQ(DecimalText(p), std::to_wstring(p));
    EXPECT_EQ(DecimalText(p + 1), std::to_wstring(p + 1));
    if (p > 18446744073709551615ULL / 10) break;
  }
}

TEST(DecimalText, NamesAnErrorThatHasNoSystemText) {
  // Codes with the customer bit set have no system message, so the program falls back to the number.
  const DWORD code = 0x2000ABCDu;
  EXPECT_EQ(vantrel::runtime::SystemErrorText(code), L"Error " + std::to_wstring(code));
}

struct ChildResult {
  DWORD exitCode = 0;
  std::string errorText;
  std::wstring boxText;  // the message box's text, when the child showed one
};

std::wstring SelfPath() {
  wchar_t buffer[32768];
  DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
  return std::wstring(buffer, n);
}

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  wchar_t cls[64], title[64];
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && IsWindowVisible(hwnd) && GetClassNameW(hwnd, cls, 64) && lstrcmpW(cls, L"#32770") == 0 &&
      GetWindowTextW(hwnd, title, 64) && lstrcmpW(title, L"Vantrel") == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lParam) {
  wchar_t cls[64];
  if (GetClassNameW(hwnd, cls, 64) && lstrcmpiW(cls, L"Static") == 0) {
    wchar_t text[2048];
    if (GetWindowTextW(hwnd, text, 2048) > 0) *reinterpret_cast<std::wstring*>(lParam) += text;
  }
  return TRUE;
}

// Runs this program again in child mode `mode`. With `withErrorStream`, the child's standard error is a pipe
// whose text is returned; without, the child has no error stream, and its message box is read and answered.
ChildResult RunChild(const char* mode, bool withErrorStream) {
  ChildResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (withErrorStream && !CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    ADD_FAILURE() << "CreatePipe failed";
    return result;
  }
  if (readEnd) SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::wstring self = SelfPath();
  std::wstring line = L"\"" + self + L"\" --lean-runtime-child=";
  for (const char* c = mode; *c; ++c) line += static_cast<wchar_t>(*c);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = writeEnd;  // null: no error stream at all
  PROCESS_INFORMATION info{};
  BOOL started = CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &info);
  if (writeEnd) CloseHandle(writeEnd);  // the child holds its own copy; EOF comes when it ends
  if (!started) {
    if (readEnd) CloseHandle(readEnd);
    ADD_FAILURE() << "cannot start the child, error " << GetLastError();
    return result;
  }
  if (readEnd) {
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) result.errorText.append(buffer, got);
    CloseHandle(readEnd);
  } else {
    // Wait (with a deadline) for the child's message box, read it and press OK.
    BoxSearch search{info.dwProcessId, nullptr};
    for (int i = 0; i < 3000 && !search.found; ++i) {
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
      if (!search.found && WaitForSingleObject(info.hProcess, 10) == WAIT_OBJECT_0) break;
    }
    if (search.found) {
      EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&result.boxText));
      PostMessageW(search.found, WM_COMMAND, IDOK, 0);
    }
  }
  if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 99);
    ADD_FAILURE() << "the child did not end";
  }
  GetExitCodeProcess(info.hProcess, &result.exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return result;
}

TEST(DelayedImports, TheFileDialogsBindOnFirstUseAndAFailedBindingIsReported) {
  using vantrel::runtime::BindFileDialogs;
  using vantrel::runtime::FileDialogApi;
  EXPECT_EQ(GetModuleHandleW(L"comdlg32.dll"), nullptr) << "comdlg32 was loaded at start-up";

  // A library that is not in the system folder, and one that lacks the functions: each is a failure text that
  // names what was missing, with the system's reason, and no functions.
  FileDialogApi api;
  std::wstring text;
  EXPECT_FALSE(BindFileDialogs(L"vantrel-no-such-library.dll", api, text));
  EXPECT_NE(text.find(L"\\vantrel-no-such-library.dll"), std::wstring::npos) << std::string(text.begin(), text.end());
  EXPECT_GT(text.size(), std::wstring(L"vantrel-no-such-library.dll").size() + 20);  // and a reason after it
  EXPECT_EQ(GetModuleHandleW(L"vantrel-no-such-library.dll"), nullptr);
  text.clear();
  EXPECT_FALSE(BindFileDialogs(L"kernel32.dll", api, text));
  EXPECT_NE(text.find(L"kernel32.dll: GetOpenFileNameW"), std::wstring::npos) << std::string(text.begin(), text.end());
  EXPECT_EQ(api.getOpenFileName, nullptr);

  // The real binding: comdlg32 from the system folder, the two dialogs' entry points, bound once.
  std::wstring failure;
  const FileDialogApi* bound = vantrel::runtime::FileDialogs(failure);
  EXPECT_EQ(failure, L"");
  ASSERT_NE(bound, nullptr);
  HMODULE comdlg = GetModuleHandleW(L"comdlg32.dll");
  ASSERT_NE(comdlg, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(bound->getOpenFileName),
            reinterpret_cast<void*>(GetProcAddress(comdlg, "GetOpenFileNameW")));
  EXPECT_EQ(reinterpret_cast<void*>(bound->getSaveFileName),
            reinterpret_cast<void*>(GetProcAddress(comdlg, "GetSaveFileNameW")));
  EXPECT_EQ(vantrel::runtime::FileDialogs(failure), bound);
}

TEST(ThrowHooks, WhatTheLibraryWouldThrowOnEndsTheProgramWithAReportOnTheErrorStream) {
  // The library's checks inline in the caller, then its throw hook: here the program's replacement, which
  // names the failure and ends with abort()'s exit code.
  struct Case {
    const char* mode;
    const char* report;
  } cases[] = {
      {"length_error", "Vantrel stopped because of an unexpected error: length error: vector::reserve."},
      {"out_of_range", "Vantrel stopped because of an unexpected error: out of range: basic_string::at"},
      {"bad_alloc", "Vantrel stopped because of an unexpected error: out of memory."},
      {"empty_function", "Vantrel stopped because of an unexpected error: call of an empty std::function."},
      {"terminate", "Vantrel stopped because of an unexpected error: terminate called."},
  };
  for (const Case& c : cases) {
    ChildResult r = RunChild(c.mode, true);
    EXPECT_EQ(r.exitCode, 3u) << c.mode;
    EXPECT_NE(r.errorText.find(c.report), std::string::npos) << c.mode << ": " << r.errorText;
    // Neither the library's own terminate handler nor the C runtime's abort message is what ran.
    EXPECT_EQ(r.errorText.find("terminate called after throwing"), std::string::npos) << r.errorText;
    EXPECT_EQ(r.errorText.find("abnormal program termination"), std::string::npos) << r.errorText;
  }
}

TEST(ThrowHooks, ShowAMessageBoxWhenThereIsNoErrorStream) {
  ChildResult r = RunChild("length_error", false);
  EXPECT_EQ(r.exitCode, 3u);
  EXPECT_NE(r.boxText.find(L"Vantrel stopped because of an unexpected error: length error: vector::reserve."),
            std::wstring::npos)
      << std::string(r.boxText.begin(), r.boxText.end());
}

TEST(TestPrograms, ACrashEndsTheProgramAtOnceWithoutWaitingForTheDebugger) {
  // A call through a null pointer, as a broken import would make. Wine's debugger and its crash dialog
  // would keep the child alive (and on the screen) until someone clicks; the child must end by itself.
  const DWORD started = GetTickCount();
  ChildResult r = RunChild("crash", true);
  EXPECT_LT(GetTickCount() - started, 10000u);
  EXPECT_EQ(r.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_NE(r.errorText.find("the test program crashed: exception 0xC0000005"), std::string::npos) << r.errorText;
}

[[noreturn]] void RunChildMode(const char* mode) {
  if (std::strcmp(mode, "length_error") == 0) {
    std::vector<int> numbers;
    numbers.reserve(numbers.max_size() + 1);
  }
  if (std::strcmp(mode, "out_of_range") == 0) {
    const std::string empty;
    std::printf("%c", empty.at(1));
  }
  if (std::strcmp(mode, "bad_alloc") == 0) {
    void* volatile memory = ::operator new(std::size_t(-1) / 2);
    std::printf("%p", memory);
  }
  if (std::strcmp(mode, "empty_function") == 0) {
    std::function<void()> nothing;
    nothing();
  }
  if (std::strcmp(mode, "crash") == 0) {
    void (*volatile nowhere)() = nullptr;
    nowhere();
  }
  std::terminate();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], kChildFlag, sizeof kChildFlag - 1) == 0) RunChildMode(argv[i] + sizeof kChildFlag - 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
