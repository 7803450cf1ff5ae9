// vantrel_probe.exe: the end-to-end suite's screen reader. It runs in the same Wine session as Vantrel.exe and
// reads what is on the screen the way accessibility tools do, by asking the windows for their text; it never
// changes anything. Output is UTF-8 on standard output, one item per line.
//
//   vantrel_probe dialog CAPTION   every visible dialog window (message box) captioned CAPTION: a line
//                                  "dialog", then its static texts ("text <t>") and its buttons with their
//                                  place on the screen ("button <x> <y> <width> <height> <t>")
//   vantrel_probe windows CLASS    every top-level window of class CLASS as the system sees it:
//                                  "window <visible 0/1> <minimised 0/1> <x> <y> <width> <height>"
//   vantrel_probe labels CLASS     the visible labels (static controls) with text inside the top-level windows of
//                                  class CLASS, in window order: "label <text>"
//   vantrel_probe tooltips         every visible tooltip window of any process (the tray's balloons among
//                                  them) with its text: "tooltip <x> <y> <width> <height> <text>"
//   vantrel_probe accessible       what a screen reader is told of the visible main window (Active
//                                  Accessibility, across the process boundary): "window <name>", then the
//                                  title bar ("bar <role> <name>", "child <id> <role> <state> <x> <y> <width>
//                                  <height> <name>|<default action>") and its text boxes ("field <name>")
//   vantrel_probe runwindow        the run window of Vantrel, when one exists: "runwindow <visible 0/1> <x> <y>
//                                  <width> <height> <title>", then each row of its list ("row <text>|<text>|...",
//                                  one text per column) and its output box ("output <text>")
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

// Text of any window, also of another process (WM_GETTEXT is marshalled by the system).
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                      &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// Newlines inside a text would break the one-item-per-line output.
std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

struct DialogQuery {
  std::wstring caption;
  std::string out;
};

BOOL CALLBACK VisitDialogChild(HWND child, LPARAM param) {
  auto* query = reinterpret_cast<DialogQuery*>(param);
  std::wstring cls = ClassOf(child);
  if (!IsWindowVisible(child)) return TRUE;
  if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
    std::wstring text = TextOf(child);
    if (!text.empty()) query->out += "text " + OneLine(text) + "\n";
  } else if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
    RECT r{};
    GetWindowRect(child, &r);
    query->out += "button " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                  std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + " " +
                  OneLine(TextOf(child)) + "\n";
  }
  return TRUE;
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<DialogQuery*>(param);
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || TextOf(window) != query->caption) return TRUE;
  query->out += "dialog\n";
  EnumChildWindows(window, VisitDialogChild, param);
  return TRUE;
}

struct ClassQuery {
  std::wstring cls;
  std::string out;
};

BOOL CALLBACK VisitWindowOfClass(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<ClassQuery*>(param);
  if (ClassOf(window) != query->cls) return TRUE;
  RECT r{};
  GetWindowRect(window, &r);
  query->out += "window " + std::to_string(IsWindowVisible(window) ? 1 : 0) + " " +
                std::to_string(IsIconic(window) ? 1 : 0) + " " + std::to_string(r.left) + " " +
                std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
                std::to_string(r.bottom - r.top) + "\n";
  return TRUE;
}

// Tooltips are top-level windows; the one showing a balloon answers WM_GETTEXT with the balloon's text.
BOOL CALLBACK VisitTooltip(HWND window, LPARAM param) {
  auto* out = reinterpret_cast<std::string*>(param);
  if (!IsWindowVisible(window) || lstrcmpiW(ClassOf(window).c_str(), L"tooltips_class32") != 0) return TRUE;
  RECT r{};
  GetWindowRect(window, &r);
  *out += "tooltip " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
          " " + std::to_string(r.bottom - r.top) + " " + OneLine(TextOf(window)) + "\n";
  return TRUE;
}

BOOL CALLBACK VisitLabel(HWND child, LPARAM param) {
  auto* out = reinterpret_cast<std::string*>(param);
  if (!IsWindowVisible(child) || lstrcmpiW(ClassOf(child).c_str(), L"Static") != 0) return TRUE;
  std::wstring text = TextOf(child);
  if (!text.empty()) *out += "label " + OneLine(text) + "\n";
  return TRUE;
}

BOOL CALLBACK VisitLabelsOf(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<ClassQuery*>(param);
  if (ClassOf(window) == query->cls) EnumChildWindows(window, VisitLabel, reinterpret_cast<LPARAM>(&query->out));
  return TRUE;
}

// An accessible object's name, role, state and default action (Active Accessibility).
VARIANT Child(LONG id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::wstring Taken(HRESULT hr, BSTR text) {
  std::wstring s = hr == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"-";
  SysFreeString(text);
  return s;
}

std::wstring AccName(IAccessible* object, LONG child) {
  BSTR text = nullptr;
  const HRESULT hr = object->get_accName(Child(child), &text);
  return Taken(hr, text);
}

std::wstring AccAction(IAccessible* object, LONG child) {
  BSTR text = nullptr;
  const HRESULT hr = object->get_accDefaultAction(Child(child), &text);
  return Taken(hr, text);
}

long AccLong(HRESULT hr, const VARIANT& v) { return hr == S_OK && v.vt == VT_I4 ? v.lVal : -1; }

IAccessible* ClientObject(HWND window) {
  IAccessible* object = nullptr;
  // The header's interface id (the x86-64 import library's IID_IAccessible is not IAccessible's).
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object))))
    return nullptr;
  return object;
}

std::string Accessible() {
  HWND main = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"VantrelMainWindow", nullptr); w && !main;
       w = FindWindowExW(nullptr, w, L"VantrelMainWindow", nullptr))
    if (IsWindowVisible(w)) main = w;
  if (!main) return {};
  std::string out;
  if (IAccessible* window = ClientObject(main)) {
    out += "window " + OneLine(AccName(window, CHILDID_SELF)) + "\n";
    window->Release();
  }
  HWND bar = FindWindowExW(main, nullptr, L"VantrelMacWindow", nullptr);
  if (IAccessible* object = bar ? ClientObject(bar) : nullptr) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = object->get_accRole(Child(CHILDID_SELF), &v);
    out += "bar " + std::to_string(AccLong(hr, v)) + " " + OneLine(AccName(object, CHILDID_SELF)) + "\n";
    LONG count = 0;
    object->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
      VARIANT role, state;
      VariantInit(&role);
      VariantInit(&state);
      const long r = AccLong(object->get_accRole(Child(id), &role), role);
      const long st = AccLong(object->get_accState(Child(id), &state), state);
      LONG x = 0, y = 0, w = 0, h = 0;
      object->accLocation(&x, &y, &w, &h, Child(id));
      out += "child " + std::to_string(id) + " " + std::to_string(r) + " " + std::to_string(st) + " " +
             std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h) + " " +
             OneLine(AccName(object, id)) + "|" + OneLine(AccAction(object, id)) + "\n";
    }
    object->Release();
  }
  // The text boxes of the panel shown, in the order the panel holds them.
  for (HWND panel = FindWindowExW(main, nullptr, L"VantrelPanel", nullptr); panel;
       panel = FindWindowExW(main, panel, L"VantrelPanel", nullptr)) {
    if (!IsWindowVisible(panel)) continue;
    for (HWND c = GetWindow(panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (lstrcmpiW(ClassOf(c).c_str(), L"Edit") != 0) continue;
      if (IAccessible* field = ClientObject(c)) {
        out += "field " + OneLine(AccName(field, CHILDID_SELF)) + "\n";
        field->Release();
      }
    }
  }
  return out;
}

// The rows of a list view of another process. Its item texts are asked for through memory of that process,
// as the list view cannot write into ours.
std::vector<std::string> ListRows(HWND list) {
  std::vector<std::string> rows;
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return rows;
  constexpr int kTextUnits = 1024;
  const SIZE_T size = sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t);
  auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (remote) {
    const int columns = static_cast<int>(SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)),
                                                      HDM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      std::string line;
      for (int column = 0; column < columns; ++column) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = kTextUnits;
        wchar_t text[kTextUnits] = {};
        if (WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote)) >= 0)
          ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t), nullptr);
        line += (column ? "|" : "") + OneLine(text);
      }
      rows.push_back(line);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return rows;
}

std::string RunWindow() {
  HWND window = FindWindowW(L"VantrelRunWindow", nullptr);
  if (!window) return {};
  RECT r{};
  GetWindowRect(window, &r);
  std::string out = "runwindow " + std::to_string(IsWindowVisible(window) ? 1 : 0) + " " + std::to_string(r.left) +
                    " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
                    std::to_string(r.bottom - r.top) + " " + OneLine(TextOf(window)) + "\n";
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (lstrcmpiW(ClassOf(c).c_str(), WC_LISTVIEWW) == 0)
      for (const std::string& row : ListRows(c)) out += "row " + row + "\n";
    else if (lstrcmpiW(ClassOf(c).c_str(), L"Edit") == 0)
      out += "output " + OneLine(TextOf(c)) + "\n";
  }
  return out;
}

void Write(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// The timing commands of scripts/bench (probe_timing_win32.cpp); prints the usage of both for anything else.
int TimingProbe(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"dialog") {
    DialogQuery query{argv[2], {}};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&query));
    Write(query.out);
    return 0;
  }
  if (argc == 3 && std::wstring(argv[1]) == L"windows") {
    ClassQuery query{argv[2], {}};
    EnumWindows(VisitWindowOfClass, reinterpret_cast<LPARAM>(&query));
    Write(query.out);
    return 0;
  }
  if (argc == 3 && std::wstring(argv[1]) == L"labels") {
    ClassQuery query{argv[2], {}};
    EnumWindows(VisitLabelsOf, reinterpret_cast<LPARAM>(&query));
    Write(query.out);
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"tooltips") {
    std::string out;
    EnumWindows(VisitTooltip, reinterpret_cast<LPARAM>(&out));
    Write(out);
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"accessible") {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Write(Accessible());
    CoUninitialize();
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"runwindow") {
    Write(RunWindow());
    return 0;
  }
  // The timing commands' output is read by scripts/bench line by line: the usage only when none of them applies.
  const int result = TimingProbe(argc, argv);
  if (result == 2)
    Write("usage: vantrel_probe dialog CAPTION | windows CLASS | labels CLASS | tooltips | accessible | runwindow\n");
  return result;
}
