// The probe's timing commands, the Windows side of scripts/bench. It measures programs from outside, as a user's shell
// would start them, and never links any of their code.
//
//   vantrel_probe startup RUNS LABEL EXE CLASS LABEL EXE CLASS...
//       Starts each program RUNS times (after one warm-up start each, not counted), alternating which goes
//       first. For every start: the time from CreateProcess until a visible top-level window of CLASS that
//       belongs to the new process exists and its thread answers a message (start-up done, first paint
//       handled), and then the process's working set (GetProcessMemoryInfo). The program is then closed with
//       WM_CLOSE. Prints one line per start, the medians and the fastest start; the first program is the
//       baseline, and each other program's ratios are taken run by run against the baseline in the same run
//       (and against the second and the third program too, when there are more programs than that).
//   vantrel_probe bar SECONDS
//       Waits for Vantrel's main window and prints it, its title bar (hwnds as Wine's logs print them), the
//       title bar's screen rectangle and the process id.
//   vantrel_probe close SECONDS
//       Closes Vantrel's main window with WM_CLOSE and waits until its process has ended.
//   vantrel_probe listing SECONDS RUNS PATH...
//       Waits for Vantrel's main window; for each PATH, RUNS times: empties the WIM path box, waits until the line
//       beside the index box is empty, then puts PATH into the box (as a paste would) and measures the time until
//       that line shows text (the file's list read in the background and shown; the pause the program leaves
//       for typing included). Prints one line per run and "median listing <ms> fastest <ms> PATH" per path.
//   vantrel_probe unmount SECONDS TEXT
//       Waits for Vantrel's main window, puts TEXT into the mount panel's folder box (as a paste would) and presses
//       the unmount button (BM_CLICK), so that one run starts with TEXT in its command line. Prints "pressed".
//   vantrel_probe loaded SECONDS DLL
//       Waits for Vantrel's main window and prints "DLL loaded yes" or "DLL loaded no": whether that DLL is
//       among the modules of Vantrel's process.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "resources/control_ids.h"

namespace {

constexpr wchar_t kMainClass[] = L"VantrelMainWindow";
constexpr wchar_t kTitleBarClass[] = L"VantrelMacWindow";

struct Program {
  std::wstring label, exe, cls;
};

struct Sample {
  double startMs = 0;
  double workingSetKiB = 0;
  bool ok = false;
};

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct FindArgs {
  const wchar_t* cls;
  DWORD pid;  // 0: any process
  HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
  auto* args = reinterpret_cast<FindArgs*>(lParam);
  wchar_t cls[128];
  if (!IsWindowVisible(hwnd) || !GetClassNameW(hwnd, cls, 128) || lstrcmpW(cls, args->cls) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (args->pid != 0 && pid != args->pid) return TRUE;
  args->found = hwnd;
  return FALSE;
}

// A visible top-level window of class `cls` (of process `pid` unless it is 0), or null.
HWND FindVisibleWindow(const wchar_t* cls, DWORD pid) {
  FindArgs args{cls, pid, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

BOOL CALLBACK FindChildOfClass(HWND hwnd, LPARAM lParam) {
  auto* args = reinterpret_cast<FindArgs*>(lParam);
  wchar_t cls[128];
  if (GetClassNameW(hwnd, cls, 128) && lstrcmpW(cls, args->cls) == 0) {
    args->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindDescendant(HWND parent, const wchar_t* cls) {
  FindArgs args{cls, 0, nullptr};
  EnumChildWindows(parent, FindChildOfClass, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

// Closes `window` the way a user would and waits for its process; ends the process if it lingers.
bool CloseAndWait(HWND window, HANDLE process, DWORD timeoutMs) {
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) return true;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  return false;
}

Sample MeasureStart(const Program& program) {
  Sample sample;
  std::wstring folder = program.exe.substr(0, program.exe.find_last_of(L"\\/") + 1);
  std::wstring commandLine = L"\"" + program.exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  double start = NowMs();
  auto create = [&] {
    return CreateProcessW(program.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info);
  };
  // Under load Wine now and then refuses a start with an internal error; one more try, timed afresh.
  bool created = create();
  if (!created && GetLastError() == ERROR_INTERNAL_ERROR) {
    std::fwprintf(stderr, L"vantrel_probe: %ls refused once (internal error), started again\n", program.exe.c_str());
    start = NowMs();
    created = create();
  }
  if (!created) {
    std::fwprintf(stderr, L"vantrel_probe: cannot start %ls (error %lu)\n", program.exe.c_str(), GetLastError());
    return sample;
  }
  Handle process(info.hProcess), thread(info.hThread);
  HWND window = nullptr;
  const double deadline = start + 60000;
  // Poll once a millisecond; the wait also wakes at once when the process ends early.
  while (!(window = FindVisibleWindow(program.cls.c_str(), info.dwProcessId))) {
    if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0 || NowMs() > deadline) break;
  }
  DWORD_PTR ignored = 0;
  if (window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored)) {
    sample.startMs = NowMs() - start;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.get(), &memory, sizeof memory)) {
      sample.workingSetKiB = static_cast<double>(memory.WorkingSetSize) / 1024.0;
      sample.ok = sample.workingSetKiB > 0;
    }
    if (!sample.ok) std::fwprintf(stderr, L"vantrel_probe: no working set for %ls\n", program.label.c_str());
  } else {
    std::fwprintf(stderr, L"vantrel_probe: %ls showed no window of class %ls\n", program.label.c_str(),
                  program.cls.c_str());
  }
  if (!CloseAndWait(window, process.get(), 15000)) {
    std::fwprintf(stderr, L"vantrel_probe: %ls did not end after WM_CLOSE\n", program.label.c_str());
    sample.ok = false;
  }
  return sample;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Startup(int runs, const std::vector<Program>& programs) {
  for (const Program& p : programs) MeasureStart(p);  // warm-up: caches, fonts, the Wine server
  std::vector<std::vector<Sample>> samples(programs.size());
  for (int run = 0; run < runs; ++run) {
    for (std::size_t k = 0; k < programs.size(); ++k) {
      // Alternate the order so that neither program always follows the other.
      std::size_t i = run % 2 ? programs.size() - 1 - k : k;
      Sample s = MeasureStart(programs[i]);
      if (!s.ok) return 1;
      samples[i].push_back(s);
      std::wprintf(L"run %d %ls start_ms %.1f ws_kib %.0f\n", run + 1, programs[i].label.c_str(), s.startMs,
                   s.workingSetKiB);
      std::fflush(stdout);
    }
  }
  for (std::size_t i = 0; i < programs.size(); ++i) {
    // Ratios run by run against the first program and, when there are three or more, the second as well, and
    // the third when there are four or more.
    std::vector<double> start, ws, startRatio, wsRatio, startRatio2, wsRatio2, startRatio3, wsRatio3;
    const std::size_t second = programs.size() >= 3 ? 1 : 0;
    const std::size_t third = programs.size() >= 4 ? 2 : 0;
    for (int run = 0; run < runs; ++run) {
      const Sample& s = samples[i][static_cast<std::size_t>(run)];
      const Sample& base = samples[0][static_cast<std::size_t>(run)];
      const Sample& base2 = samples[second][static_cast<std::size_t>(run)];
      const Sample& base3 = samples[third][static_cast<std::size_t>(run)];
      start.push_back(s.startMs);
      ws.push_back(s.workingSetKiB);
      startRatio.push_back(s.startMs / base.startMs);
      wsRatio.push_back(s.workingSetKiB / base.workingSetKiB);
      startRatio2.push_back(s.startMs / base2.startMs);
      wsRatio2.push_back(s.workingSetKiB / base2.workingSetKiB);
      startRatio3.push_back(s.startMs / base3.startMs);
      wsRatio3.push_back(s.workingSetKiB / base3.workingSetKiB);
    }
    // The fastest start is the one least disturbed by other work on the machine.
    std::wprintf(L"median %ls start_ms %.1f ws_kib %.0f start_ratio %.3f ws_ratio %.3f runs %d fastest_ms %.1f "
                 L"start_ratio2 %.3f ws_ratio2 %.3f start_ratio3 %.3f ws_ratio3 %.3f\n",
                 programs[i].label.c_str(), Median(start), Median(ws), Median(startRatio), Median(wsRatio), runs,
                 *std::min_element(start.begin(), start.end()), Median(startRatio2), Median(wsRatio2),
                 Median(startRatio3), Median(wsRatio3));
  }
  return 0;
}

HWND WaitForMainWindow(double seconds) {
  const double deadline = NowMs() + seconds * 1000;
  for (;;) {
    HWND main = FindVisibleWindow(kMainClass, 0);
    DWORD_PTR ignored = 0;
    if (main && SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored)) return main;
    if (NowMs() > deadline) return nullptr;
    Sleep(5);
  }
}

int Bar(double seconds) {
  HWND main = WaitForMainWindow(seconds);
  if (!main) {
    std::fwprintf(stderr, L"vantrel_probe: no Vantrel window\n");
    return 1;
  }
  HWND bar = FindDescendant(main, kTitleBarClass);
  if (!bar) {
    std::fwprintf(stderr, L"vantrel_probe: Vantrel's window has no title bar control\n");
    return 1;
  }
  RECT r{};
  GetWindowRect(bar, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  std::wprintf(L"main 0x%llx bar 0x%llx rect %ld %ld %ld %ld pid %lu\n",
               static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(main)),
               static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(bar)), r.left, r.top, r.right, r.bottom,
               pid);
  return 0;
}

// Vantrel's main window (waited for up to `seconds`) and its process opened with `access`; no process when
// either is missing.
Handle OpenMainWindowProcess(double seconds, DWORD access, HWND& main) {
  main = WaitForMainWindow(seconds);
  if (!main) return Handle(nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  return Handle(OpenProcess(access, FALSE, pid));
}

int Close(double seconds) {
  HWND main = nullptr;
  Handle process = OpenMainWindowProcess(seconds, SYNCHRONIZE | PROCESS_TERMINATE, main);
  if (!process.get()) return 1;
  return CloseAndWait(main, process.get(), static_cast<DWORD>(seconds * 1000)) ? 0 : 1;
}

int Loaded(double seconds, const std::wstring& dll) {
  HWND main = nullptr;
  Handle process = OpenMainWindowProcess(seconds, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, main);
  if (!process.get()) return 1;
  std::vector<HMODULE> modules(1024);
  DWORD bytes = 0;
  if (!EnumProcessModules(process.get(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes))
    return 1;
  bool found = false;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < modules.size(); ++i) {
    wchar_t name[MAX_PATH];
    if (GetModuleBaseNameW(process.get(), modules[i], name, MAX_PATH) && lstrcmpiW(name, dll.c_str()) == 0) found = true;
  }
  std::wprintf(L"%ls loaded %ls\n", dll.c_str(), found ? L"yes" : L"no");
  return 0;
}

// The mount panel's path box and the line beside its index box, found the way a screen reader would: the
// path box is the upper of the panel's two wide text boxes, the line is its one label that cuts its text with an
// ellipsis.
struct MountPanel {
  HWND path = nullptr, line = nullptr;
  int pathTop = 0;
};

BOOL CALLBACK FindMountControls(HWND hwnd, LPARAM lParam) {
  auto* panel = reinterpret_cast<MountPanel*>(lParam);
  if (!IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (lstrcmpiW(cls, L"Edit") == 0 && r.right - r.left > 150 && (!panel->path || r.top < panel->pathTop)) {
    panel->path = hwnd;
    panel->pathTop = r.top;
  }
  if (lstrcmpiW(cls, L"Static") == 0 && (GetWindowLongW(hwnd, GWL_STYLE) & SS_ELLIPSISMASK) == SS_ENDELLIPSIS)
    panel->line = hwnd;
  return TRUE;
}

bool HasText(HWND window) {
  DWORD_PTR length = 0;
  return SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length) && length > 0;
}

int Listing(double seconds, int runs, const std::vector<std::wstring>& paths) {
  HWND main = WaitForMainWindow(seconds);
  MountPanel panel;
  if (main) EnumChildWindows(main, FindMountControls, reinterpret_cast<LPARAM>(&panel));
  if (!panel.path || !panel.line) {
    std::fwprintf(stderr, L"vantrel_probe: no mount panel with a path box and an image line\n");
    return 1;
  }
  for (const std::wstring& path : paths) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(panel.path, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_NORMAL, 5000, &ignored);
      double deadline = NowMs() + seconds * 1000;
      while (HasText(panel.line))
        if (NowMs() > deadline) return 1;
      const double start = NowMs();
      SendMessageTimeoutW(panel.path, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000,
                          &ignored);
      deadline = start + seconds * 1000;
      while (!HasText(panel.line)) {
        if (NowMs() > deadline) {
          std::fwprintf(stderr, L"vantrel_probe: no line shown for %ls\n", path.c_str());
          return 1;
        }
        Sleep(1);
      }
      times.push_back(NowMs() - start);
      std::wprintf(L"run %d listing_ms %.1f %ls\n", run + 1, times.back(), path.c_str());
    }
    std::wprintf(L"median listing %.1f fastest %.1f %ls\n", Median(times),
                 *std::min_element(times.begin(), times.end()), path.c_str());
    std::fflush(stdout);
  }
  return 0;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindControlWithId(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<ControlSearch*>(lParam);
  if (GetDlgCtrlID(hwnd) != search->id) return TRUE;
  search->found = hwnd;
  return FALSE;
}

// The main window's control with `id`, at any depth.
HWND ControlOf(HWND main, vantrel::ControlId id) {
  ControlSearch search{static_cast<int>(id), nullptr};
  EnumChildWindows(main, FindControlWithId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Unmount(double seconds, const std::wstring& text) {
  HWND main = WaitForMainWindow(seconds);
  HWND folder = main ? ControlOf(main, vantrel::ControlId::MountPath) : nullptr;
  HWND button = main ? ControlOf(main, vantrel::ControlId::unMountWim) : nullptr;
  if (!folder || !button) {
    std::fwprintf(stderr, L"vantrel_probe: no mount folder box or unmount button\n");
    return 1;
  }
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &ignored) ||
      !SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored))
    return 1;
  std::wprintf(L"pressed\n");
  return 0;
}

int Usage() {
  std::fwprintf(stderr,
                L"usage: vantrel_probe startup RUNS LABEL EXE CLASS [LABEL EXE CLASS]...\n"
                L"       vantrel_probe bar SECONDS\n"
                L"       vantrel_probe close SECONDS\n"
                L"       vantrel_probe listing SECONDS RUNS PATH...\n"
                L"       vantrel_probe unmount SECONDS TEXT\n"
                L"       vantrel_probe loaded SECONDS DLL\n");
  return 2;
}

}  // namespace

int TimingProbe(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  if (command == L"startup" && argc >= 6 && (argc - 3) % 3 == 0) {
    int runs = _wtoi(argv[2]);
    if (runs < 1) return Usage();
    std::vector<Program> programs;
    for (int i = 3; i + 2 < argc; i += 3) programs.push_back({argv[i], argv[i + 1], argv[i + 2]});
    return Startup(runs, programs);
  }
  if (command == L"bar" && argc == 3) return Bar(_wtof(argv[2]));
  if (command == L"close" && argc == 3) return Close(_wtof(argv[2]));
  if (command == L"listing" && argc >= 5) {
    std::vector<std::wstring> paths(argv + 4, argv + argc);
    return Listing(_wtof(argv[2]), _wtoi(argv[3]), paths);
  }
  if (command == L"unmount" && argc == 4) return Unmount(_wtof(argv[2]), argv[3]);
  if (command == L"loaded" && argc == 4) return Loaded(_wtof(argv[2]), argv[3]);
  return Usage();
}
