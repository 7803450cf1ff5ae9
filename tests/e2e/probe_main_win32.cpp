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
#include <windows.h>

#include <string>

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

void Write(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

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
  Write("usage: vantrel_probe dialog CAPTION | windows CLASS | labels CLASS | tooltips\n");
  return 2;
}
