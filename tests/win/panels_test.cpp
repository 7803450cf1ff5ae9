// The two panels driven like a user would: fields typed, buttons clicked, message boxes read and closed, the
// folder browser and the file dialogs answered. What reaches the imaging tool is read from the stand-in's
// record of its own argument vector.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "runtime/runtime.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::runtime::LoadResString;
using vantrel::wintest::DialogAnswerer;
using vantrel::wintest::FindChild;
using vantrel::wintest::TextOf;
using vantrel::wintest::ToolLog;
using vantrel::wintest::ToolRun;
using vantrel::wintest::WaitUntil;
using Args = std::vector<std::wstring>;

using vantrel::wintest::g_ended;

// A scratch folder of this test run, with a space and Chinese in its name; removed with its files.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& parent) {
    path_ = parent + L"vantrel 选择 " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring Name() const { return path_.substr(path_.find_last_of(L'\\') + 1); }
  // A path inside the folder; `create` makes the file (empty).
  std::wstring File(const std::wstring& name, bool create = false) {
    std::wstring file = path_ + L"\\" + name;
    files_.push_back(file);
    if (create) {
      HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    return file;
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// Pumps this thread's messages for `time`.
void PumpFor(std::chrono::milliseconds time) {
  WaitUntil([] { return false; }, time);
}

// Writes a WIM file's header and description (no image data) with one image of each name, as the imaging tools
// lay them out; false when the file cannot be written.
bool WriteWim(const std::wstring& path, const std::vector<std::wstring>& names) {
  std::wstring xml = L"\uFEFF<WIM>";
  for (std::size_t i = 0; i < names.size(); ++i)
    xml += L"<IMAGE INDEX=\"" + std::to_wstring(i + 1) + L"\"><NAME>" + names[i] + L"</NAME></IMAGE>";
  xml += L"</WIM>";
  std::string bytes(208, '\0');
  auto put = [&](std::size_t at, std::size_t n, unsigned long long v) {
    for (std::size_t i = 0; i < n; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
  };
  bytes.replace(0, 5, "MSWIM");
  put(0x08, 4, 208), put(0x0C, 4, 0x10D00), put(0x28, 2, 1), put(0x2A, 2, 1), put(0x2C, 4, names.size());
  put(0x48, 7, xml.size() * 2), put(0x4F, 1, 2), put(0x50, 8, 208), put(0x58, 8, xml.size() * 2);
  for (wchar_t c : xml) bytes += static_cast<char>(c & 0xFF), bytes += static_cast<char>(c >> 8);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(h);
  return ok;
}

class PanelsTest : public vantrel::wintest::MainWindowFixture {
 protected:
  void TearDown() override {
    EXPECT_EQ(g_ended, 0) << "a panel operation ended the program";
    MainWindowFixture::TearDown();
  }

  void Set(const char* field, const std::wstring& text) {
    SendMessageW(Ctl(field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::wstring Text(const char* field) const { return TextOf(Ctl(field)); }
  // A click, as the button's own click would come; returns when the handler has returned.
  void Click(const char* button) { SendMessageW(Ctl(button), BM_CLICK, 0, 0); }
  void Tick(const char* box, bool ticked) {
    if ((SendMessageW(Ctl(box), BM_GETCHECK, 0, 0) == BST_CHECKED) != ticked) Click(box);
    ASSERT_EQ(SendMessageW(Ctl(box), BM_GETCHECK, 0, 0) == BST_CHECKED, ticked) << box;
  }

  // Clicks `button` and expects exactly one message box, modal to the main window, with string `id`.
  void ExpectMessage(const char* button, std::uint16_t id) {
    DialogAnswerer box(vantrel::runtime::kAppTitle);
    Click(button);
    ASSERT_TRUE(box.Wait()) << button << ": no message box";
    EXPECT_EQ(box.Text(), LoadResString(id)) << button;
    EXPECT_EQ(box.Owner(), main_) << button;
    EXPECT_TRUE(box.OwnerWasDisabled()) << button << ": the box is not modal";
  }
  void ExpectNoMessage(const char* button) {
    DialogAnswerer box(vantrel::runtime::kAppTitle);
    Click(button);
    EXPECT_FALSE(box.Found()) << button << " showed: " << testing::PrintToString(box.Text());
  }
  // Clicks `button` and returns the run it starts (the stand-in's record), waiting for it.
  ToolRun Launch(const char* button) {
    const std::size_t before = log_.Runs().size();
    ExpectNoMessage(button);
    EXPECT_TRUE(log_.WaitForRuns(before + 1)) << button << " launched nothing";
    std::vector<ToolRun> runs = log_.Runs();
    return runs.size() > before ? runs[before] : ToolRun{};
  }
  // The tool started is the one in the program folder (the test program's folder), by its full name.
  static void ExpectToolOfProgramFolder(const ToolRun& run) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(run.line.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(std::wstring(argv[0]), vantrel::wintest::BinDir() + L"\\imagex");
    LocalFree(argv);
  }

  ToolLog log_;
};

TEST_F(PanelsTest, MountPanelChecksItsFieldsInOrderAndLaunchesNothingUntilValid) {
  Set("WIMindex", L"");
  ExpectMessage("MountWim", 20108);  // everything empty: only the file is reported
  EXPECT_EQ(Text("WIMindex"), L"");  // and nothing changed

  Set("WIMPath", L"C:\\images\\base.wim");
  ExpectNoMessage("MountWim");  // empty index: "1" written, nothing else this click
  EXPECT_EQ(Text("WIMindex"), L"1");

  ExpectMessage("MountWim", 20109);  // file and index, no folder
  Set("WIMPath", L"");
  ExpectMessage("ExtWIM", 20102);  // apply without a file
  EXPECT_TRUE(log_.Runs().empty());

  // The next click with every field given mounts image 1, and it is the only run there has been.
  Set("WIMPath", L"C:\\images\\base.wim");
  Set("MountPath", L"C:\\mnt");
  ToolRun run = Launch("MountWim");
  EXPECT_EQ(run.args, (Args{L"/mount", L"C:\\images\\base.wim", L"1", L"C:\\mnt"}));
  EXPECT_EQ(log_.Runs().size(), 1u);
}

TEST_F(PanelsTest, MountUnmountAndApplyReachTheToolExactly) {
  const std::wstring wim = L"D:\\My Images\\base image.wim", folder = L"C:\\mount dir\\";
  Set("WIMPath", wim);
  Set("WIMindex", L"2");
  Set("MountPath", folder);

  ToolRun run = Launch("MountWim");
  EXPECT_EQ(run.args, (Args{L"/mount", wim, L"2", folder}));
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);
  ExpectToolOfProgramFolder(run);

  Tick("WIMR_Check", true);
  run = Launch("MountWim");
  EXPECT_EQ(run.args, (Args{L"/mountrw", wim, L"2", folder}));
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);

  run = Launch("unMountWim");
  EXPECT_EQ(run.args, (Args{L"/unmount", L"/commit", folder}));
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);

  // The commit follows the box at the time of the unmount, not at the mount.
  Tick("WIMR_Check", false);
  run = Launch("unMountWim");
  EXPECT_EQ(run.args, (Args{L"/unmount", folder}));

  // Unmount checks nothing: an empty folder leaves the line ending in the prefix's space.
  Set("MountPath", L"");
  run = Launch("unMountWim");
  EXPECT_EQ(run.args, (Args{L"/unmount"}));
  EXPECT_EQ(run.line.substr(run.line.size() - 9), L"/unmount ");

  // Apply with an empty index: "1" is written and applied in the same click; the empty target folder
  // leaves the line ending in the space after the index.
  Set("WIMindex", L"");
  run = Launch("ExtWIM");
  EXPECT_EQ(Text("WIMindex"), L"1");
  EXPECT_EQ(run.args, (Args{L"/apply", wim, L"1"}));
  EXPECT_EQ(run.line.substr(run.line.size() - 3), L" 1 ");
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);

  // Text is passed as typed: an index of letters, a field of spaces.
  Set("WIMindex", L"two");
  Set("MountPath", L"  ");
  run = Launch("ExtWIM");
  EXPECT_EQ(run.args, (Args{L"/apply", wim, L"two", L"  "}));
}

TEST_F(PanelsTest, CapturePanelChecksInOrderThenCapturesBootsOrAppends) {
  Click("Option2");
  ASSERT_TRUE(IsWindowVisible(Ctl("WIM_Makes")));
  ExpectMessage("MakeWimImage", 20103);
  Set("mk_WIMPath", L"C:\\source dir");
  ExpectMessage("MakeWimImage", 20104);
  Set("WIMSavePath", L"E:\\backups\\system.wim");
  ExpectMessage("MakeWimImage", 20105);
  EXPECT_TRUE(log_.Runs().empty());

  // Plain capture: the one run shown in a normal window. The comment stays one argument.
  Set("WIM_Info", L"weekly full backup");
  ToolRun run = Launch("MakeWimImage");
  EXPECT_EQ(run.args, (Args{L"/capture", L"/compress", L"maximum", L"C:\\source dir", L"E:\\backups\\system.wim",
                            L"weekly full backup"}));
  EXPECT_EQ(run.show, SW_SHOWNORMAL);
  ExpectToolOfProgramFolder(run);
  EXPECT_EQ(log_.Runs().size(), 1u) << "a refused click launched something";

  Tick("WimBoot", true);
  run = Launch("MakeWimImage");
  EXPECT_EQ(run.args, (Args{L"/capture", L"/boot", L"/compress", L"maximum", L"C:\\source dir",
                            L"E:\\backups\\system.wim", L"weekly full backup"}));
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);

  // Append wins over boot, which is then not part of the line at all.
  Tick("WIM_add_c", true);
  run = Launch("MakeWimImage");
  EXPECT_EQ(run.args, (Args{L"/append", L"C:\\source dir", L"E:\\backups\\system.wim", L"weekly full backup"}));
  EXPECT_EQ(run.show, SW_SHOWMINIMIZED);
}

// --- The folder browser -----------------------------------------------------------------------------

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

// Expands `parent` (the browser fills its children then) and returns its child item named `name`.
HTREEITEM ChildItem(HWND tree, HTREEITEM parent, const std::wstring& name) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  auto next = [&](HTREEITEM item, WPARAM how) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  };
  for (HTREEITEM item = next(parent, TVGN_CHILD); item; item = next(item, TVGN_NEXT))
    if (ItemText(tree, item) == name) return item;
  return nullptr;
}

// Answers the folder browser: records the prompt it shows, then picks the item at `path` (names from the
// top of the tree down) and presses OK, or presses Cancel when `path` is empty.
struct BrowserAnswer {
  explicit BrowserAnswer(std::vector<std::wstring> itemPath = {}) : path(std::move(itemPath)) {}
  std::vector<std::wstring> path;
  std::wstring prompt;
  HWND owner = nullptr;
  bool picked = false;

  std::unique_ptr<DialogAnswerer> Start() {
    return std::make_unique<DialogAnswerer>(
        [](HWND dialog) { return FindChild(dialog, L"SysTreeView32") != nullptr; },
        [this](HWND dialog) {
          owner = GetWindow(dialog, GW_OWNER);
          // The prompt is the dialog's one visible text other than its buttons.
          for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, L"Static") == 0 && IsWindowVisible(child) && !TextOf(child).empty())
              prompt = TextOf(child);
          }
          HWND tree = FindChild(dialog, L"SysTreeView32");
          HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
          for (std::size_t i = 1; item && i < path.size(); ++i) item = ChildItem(tree, item, path[i]);
          if (!path.empty() && item) {
            picked = SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          } else {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
          }
        });
  }
};

TEST_F(PanelsTest, FolderBrowserFillsTheFolderFieldAndACancelEmptiesIt) {
  // A folder reached through the browser's view of the Unix file system: Desktop, "/", tmp, ours.
  ScratchFolder folder(L"Z:\\tmp\\");
  BrowserAnswer pick({L"Desktop", L"/", L"tmp", folder.Name()});
  {
    auto answerer = pick.Start();
    Click("MountB");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_TRUE(pick.picked);
  EXPECT_EQ(pick.prompt, LoadResString(20107));
  EXPECT_EQ(pick.owner, main_);
  EXPECT_EQ(Text("MountPath"), folder.path());

  BrowserAnswer cancel;
  {
    auto answerer = cancel.Start();
    Click("MountB");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_EQ(Text("MountPath"), L"");

  // The capture panel's source browser: its own prompt; an item with no file-system path empties the field.
  Click("Option2");
  Set("mk_WIMPath", L"C:\\old source");
  BrowserAnswer virtualItem({L"Desktop", L"My Computer"});
  {
    auto answerer = virtualItem.Start();
    Click("mk_WimB01");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_TRUE(virtualItem.picked);
  EXPECT_EQ(virtualItem.prompt, LoadResString(20106));
  EXPECT_EQ(Text("mk_WIMPath"), L"");
  EXPECT_TRUE(log_.Runs().empty()) << "a picker started an operation";
}

// --- The file dialogs ---------------------------------------------------------------------------------

// Answers the next file dialog: records what it shows, types `name` into its file name box and presses
// the dialog's OK button, or presses Cancel when `name` is empty.
struct FileDialogAnswer {
  explicit FileDialogAnswer(std::wstring typed = {}) : name(std::move(typed)) {}
  std::wstring name;
  HWND owner = nullptr;
  std::wstring caption, shownName, filter;
  bool readOnlyBoxShown = true;

  std::unique_ptr<DialogAnswerer> Start() {
    return std::make_unique<DialogAnswerer>(
        [](HWND dialog) { return FindChild(dialog, L"ComboBoxEx32") != nullptr || FindChild(dialog, L"Edit", 0x480); },
        [this](HWND dialog) {
          owner = GetWindow(dialog, GW_OWNER);
          caption = TextOf(dialog);
          HWND edit = FindChild(dialog, L"Edit", 0x47c);  // the file name box (cmb13's edit)
          if (!edit) edit = FindChild(dialog, L"Edit", 0x480);
          shownName = TextOf(edit);
          filter = TextOf(GetDlgItem(dialog, 0x470));                              // "Files of type" (cmb1)
          readOnlyBoxShown = IsWindowVisible(GetDlgItem(dialog, 0x410)) != FALSE;  // chx1
          if (name.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
          }
          SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
          PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
  }
};

// Any further dialog (an overwrite question, an error) opened by a file dialog: recorded and dismissed.
std::unique_ptr<DialogAnswerer> WatchForQuestions(HWND main) {
  return std::make_unique<DialogAnswerer>(
      [main](HWND dialog) {
        HWND owner = GetWindow(dialog, GW_OWNER);
        return owner != nullptr && owner != main && GetWindow(owner, GW_OWNER) == main;
      },
      [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDYES, 0); });
}

// After a message box, the folder browser and the file dialogs the keyboard focus is back on the button
// that opened them, so Tab goes on from there.
TEST_F(PanelsTest, FocusComesBackToTheButtonAfterEachDialog) {
  SetFocus(Ctl("MountWim"));
  ExpectMessage("MountWim", 20108);
  EXPECT_TRUE(WaitUntil([&] { return GetFocus() == Ctl("MountWim"); })) << "after the message box";

  BrowserAnswer cancel;
  SetFocus(Ctl("MountB"));
  {
    auto answerer = cancel.Start();
    Click("MountB");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_TRUE(WaitUntil([&] { return GetFocus() == Ctl("MountB"); })) << "after the folder browser";

  FileDialogAnswer cancelOpen;
  SetFocus(Ctl("WimB"));
  {
    auto answerer = cancelOpen.Start();
    Click("WimB");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_TRUE(WaitUntil([&] { return GetFocus() == Ctl("WimB"); })) << "after the open dialog";
  EXPECT_TRUE(log_.Runs().empty());
}

TEST_F(PanelsTest, FileDialogsFillTheirFieldsAndCarryTheNameOver) {
  ScratchFolder folder(TempFolder());
  const std::wstring typed = folder.File(L"new image.wim");         // does not exist: still accepted
  const std::wstring existing = folder.File(L"backup 镜像", true);  // exists, no extension

  // Open: a typed name is written as the full path.
  FileDialogAnswer open(typed);
  {
    auto questions = WatchForQuestions(main_);
    auto answerer = open.Start();
    Click("WimB");
    ASSERT_TRUE(answerer->Wait());
    EXPECT_FALSE(questions->Found()) << "the open dialog asked: " << testing::PrintToString(questions->Text());
  }
  EXPECT_EQ(open.owner, main_);
  EXPECT_EQ(open.filter, L"Windows AIK(*.wim)");
  EXPECT_FALSE(open.readOnlyBoxShown);
  EXPECT_EQ(Text("WIMPath"), typed);

  // Save: opens with the name chosen in the open dialog; an existing file is taken without a question,
  // and no extension is added.
  Click("Option2");
  FileDialogAnswer save(existing);
  {
    auto questions = WatchForQuestions(main_);
    auto answerer = save.Start();
    Click("mk_WimB02");
    ASSERT_TRUE(answerer->Wait());
    EXPECT_FALSE(questions->Found()) << "the save dialog asked: " << testing::PrintToString(questions->Text());
  }
  EXPECT_EQ(save.owner, main_);
  EXPECT_NE(save.caption, open.caption);  // the system's own "open" and "save" titles
  EXPECT_NE(save.shownName.find(L"new image.wim"), std::wstring::npos) << testing::PrintToString(save.shownName);
  EXPECT_EQ(Text("WIMSavePath"), existing);

  // Cancel leaves each field as it was; the open dialog now offers the saved name.
  Click("Option1");
  FileDialogAnswer cancelOpen;
  {
    auto answerer = cancelOpen.Start();
    Click("WimB");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_NE(cancelOpen.shownName.find(L"backup 镜像"), std::wstring::npos)
      << testing::PrintToString(cancelOpen.shownName);
  EXPECT_EQ(Text("WIMPath"), typed);
  FileDialogAnswer cancelSave;
  {
    auto answerer = cancelSave.Start();
    Click("mk_WimB02");
    ASSERT_TRUE(answerer->Wait());
  }
  EXPECT_EQ(Text("WIMSavePath"), existing);
  EXPECT_TRUE(log_.Runs().empty()) << "a picker started an operation";
}

}  // namespace

// The WIM file the path names is read in the background and its list checks the index: the image's line
// beside the index box, an index it has no image for refused before launch, the capture panel's line while
// appending, and a file that is no WIM passing the index as typed.
TEST_F(PanelsTest, TheWimFilesListIsShownAndChecksTheIndex) {
  ScratchFolder folder(TempFolder());
  // A WIM file of two images, as the imaging tools write its header and description (no image data).
  const std::wstring xml =
      L"\uFEFF<WIM><IMAGE INDEX=\"1\"><NAME>一号 &amp; 映像</NAME><WINDOWS><ARCH>9</ARCH>"
      L"</WINDOWS><TOTALBYTES>1024</TOTALBYTES></IMAGE><IMAGE INDEX=\"2\"><NAME>二号</NAME>"
      L"</IMAGE></WIM>";
  std::string bytes(208, '\0');
  auto put = [&](std::size_t at, std::size_t n, unsigned long long v) {
    for (std::size_t i = 0; i < n; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
  };
  bytes.replace(0, 5, "MSWIM");
  put(0x08, 4, 208), put(0x0C, 4, 0x10D00), put(0x28, 2, 1), put(0x2A, 2, 1), put(0x2C, 4, 2);
  put(0x48, 7, xml.size() * 2), put(0x4F, 1, 2), put(0x50, 8, 208), put(0x58, 8, xml.size() * 2);
  for (wchar_t c : xml) bytes += static_cast<char>(c & 0xFF), bytes += static_cast<char>(c >> 8);
  const std::wstring wim = folder.File(L"两个 映像.wim");
  HANDLE h = CreateFileW(wim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  const std::wstring text = folder.File(L"not a wim.txt", true);

  auto labelBecomes = [&](const char* label, const std::wstring& want) {
    EXPECT_TRUE(WaitUntil([&] { return Text(label) == want; })) << label << ": " << testing::PrintToString(Text(label));
  };
  Set("WIMindex", L"1");
  Set("WIMPath", wim);
  labelBecomes("WimInfo", L"一号 & 映像 · x64 · 1.0 KB");
  Set("WIMindex", L"2");
  EXPECT_EQ(Text("WimInfo"), L"二号");  // the list is kept: the line follows the index at once
  Set("WIMindex", L"");
  EXPECT_EQ(Text("WimInfo"), L"共 2 个映像，按 F4 选择");

  Set("WIMindex", L"7");
  EXPECT_EQ(Text("WimInfo"), L"没有 ID 为 7 的映像（共 2 个映像）");
  Set("MountPath", L"C:\\mnt");
  ExpectMessage("MountWim", 20113);
  ExpectMessage("ExtWIM", 20113);
  EXPECT_TRUE(log_.Runs().empty());
  Set("WIMindex", L"2");
  EXPECT_EQ(Launch("MountWim").args, (Args{L"/mount", wim, L"2", L"C:\\mnt"}));

  // Not a WIM: the reason is shown and the index passes as typed.
  Set("WIMindex", L"7");
  Set("WIMPath", L"\"" + text + L"\"");  // as Explorer's "Copy as path" gives it
  labelBecomes("WimInfo", LoadResString(60111));
  EXPECT_EQ(Launch("MountWim").args, (Args{L"/mount", text, L"7", L"C:\\mnt"}));
  Set("WIMPath", L"");
  EXPECT_EQ(Text("WimInfo"), L"");

  // Appending to the file: how many images it holds and the new one's number, only while 以追加方式 is ticked.
  Click("Option2");
  Set("WIMSavePath", wim);
  Tick("WIM_add_c", true);
  labelBecomes("WimAddInfo", L"已有 2 个映像，新映像的 ID 将为 3");
  Tick("WIM_add_c", false);
  EXPECT_EQ(Text("WimAddInfo"), L"");
}

// Any program of the same integrity level can post to the window: a listing message from outside carries
// nothing the window takes over or frees, and the reader's own outcomes still come.
TEST_F(PanelsTest, AListingMessageFromOutsideIsNoListingAndFreesNothing) {
  using vantrel::wim::PanelImageInfo;
  ScratchFolder folder(TempFolder());
  Set("WIMindex", L"");
  Set("WIMPath", folder.path() + L"\\not there.wim");
  Set("MountPath", L"C:\\mnt");
  PumpFor(std::chrono::milliseconds(600));  // the read of a path that names no file has come and gone
  auto forged = std::make_unique<vantrel::wim::Listing>();
  forged->state = vantrel::wim::Listing::State::Read;
  forged->description.images.resize(3);
  for (WPARAM generation = 0; generation < 4; ++generation) {
    SendMessageW(main_, PanelImageInfo::kMountMessage, generation, reinterpret_cast<LPARAM>(forged.get()));
    SendMessageW(main_, PanelImageInfo::kCaptureMessage, generation, reinterpret_cast<LPARAM>(forged.get()));
  }
  EXPECT_EQ(Text("WimInfo"), L"") << "a forged listing was shown";
  Set("WIMindex", L"5");
  EXPECT_EQ(Launch("MountWim").args, (Args{L"/mount", folder.path() + L"\\not there.wim", L"5", L"C:\\mnt"}));
  // Not a pointer at all: nothing is freed.
  PostMessageW(main_, PanelImageInfo::kMountMessage, 1, 0x10);
  PostMessageW(main_, PanelImageInfo::kCaptureMessage, 1, 0x10);
  PumpFor(std::chrono::milliseconds(100));
  const std::wstring wim = folder.File(L"一个.wim");
  ASSERT_TRUE(WriteWim(wim, {L"唯一"}));
  Set("WIMindex", L"1");
  Set("WIMPath", wim);
  EXPECT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"唯一"; })) << testing::PrintToString(Text("WimInfo"));
}

// The tool starts in the program folder, so a relative path names a file there, whatever the current folder:
// the list is read from that file, in each relative form.
TEST_F(PanelsTest, ARelativeWimPathIsListedFromTheProgramFolder) {
  const std::wstring program = vantrel::wintest::BinDir();
  ScratchFolder folder(program + L"\\");
  ASSERT_TRUE(WriteWim(folder.File(L"相对.wim"), {L"甲", L"乙"}));
  const vantrel::runtime::CurrentFolderKeeper keep;
  ASSERT_TRUE(SetCurrentDirectoryW(TempFolder().c_str()));  // on another drive than the program folder here
  const std::wstring inFolder = folder.Name() + L"\\相对.wim";
  Set("WIMindex", L"2");
  for (const std::wstring& path : {inFolder, L".\\" + inFolder, program.substr(2) + L"\\" + inFolder,
                                   program.substr(0, 2) + inFolder}) {
    Set("WIMPath", path);
    EXPECT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"乙"; }))
        << testing::PrintToString(path) << ": " << testing::PrintToString(Text("WimInfo"));
  }
  Set("WIMindex", L"3");
  Set("MountPath", L"C:\\mnt");
  ExpectMessage("MountWim", 20113);
}

// A file written after its list was read (appended to from elsewhere, or its time changed) is no ground for a
// refusal: the click passes the index as typed and the file is read again; the fresh list checks again.
TEST_F(PanelsTest, AFileChangedSinceItsListWasReadRefusesNothingAndIsReadAgain) {
  ScratchFolder folder(TempFolder());
  const std::wstring wim = folder.File(L"追加.wim");
  ASSERT_TRUE(WriteWim(wim, {L"甲"}));
  Set("WIMindex", L"2");
  Set("WIMPath", wim);
  Set("MountPath", L"C:\\mnt");
  ASSERT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"没有 ID 为 2 的映像（共 1 个映像）"; })) << Text("WimInfo");
  // The same bytes, a later write time.
  HANDLE h = CreateFileW(wim.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME written{};
  GetFileTime(h, nullptr, nullptr, &written);
  written.dwHighDateTime += 1;
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
  CloseHandle(h);
  EXPECT_EQ(Launch("MountWim").args, (Args{L"/mount", wim, L"2", L"C:\\mnt"}));
  // Read again: index 2 is refused on the fresh list of the unchanged images, until an image is appended.
  PumpFor(std::chrono::milliseconds(500));
  ExpectMessage("MountWim", 20113);
  ASSERT_TRUE(WriteWim(wim, {L"甲", L"乙"}));
  EXPECT_EQ(Launch("MountWim").args, (Args{L"/mount", wim, L"2", L"C:\\mnt"}));
  EXPECT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"乙"; })) << testing::PrintToString(Text("WimInfo"));
  EXPECT_EQ(log_.Runs().size(), 2u);
}

// A run that ends may have written the files the panels name (here the file is written while the tool runs):
// both lists are read again when it ends, without the paths changing.
TEST_F(PanelsTest, TheListsAreReadAgainWhenARunEnds) {
  ScratchFolder folder(TempFolder());
  const std::wstring wim = folder.File(L"运行.wim");
  ASSERT_TRUE(WriteWim(wim, {L"甲"}));
  Click("Option2");
  Set("WIMSavePath", wim);
  Tick("WIM_add_c", true);
  EXPECT_TRUE(WaitUntil([&] { return Text("WimAddInfo") == L"已有 1 个映像，新映像的 ID 将为 2"; })) << Text("WimAddInfo");
  Click("Option1");
  Set("WIMindex", L"");
  Set("WIMPath", wim);
  ASSERT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"共 1 个映像，按 F4 选择"; })) << Text("WimInfo");
  Set("MountPath", L"C:\\mnt standin:sleep=800");
  Set("WIMindex", L"1");
  ExpectNoMessage("MountWim");
  ASSERT_TRUE(WriteWim(wim, {L"甲", L"乙"}));
  Set("WIMindex", L"");
  PumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(Text("WimInfo"), L"共 1 个映像，按 F4 选择") << "read again before the run ended";
  EXPECT_TRUE(WaitUntil([&] { return Text("WimInfo") == L"共 2 个映像，按 F4 选择"; })) << Text("WimInfo");
  EXPECT_EQ(Text("WimAddInfo"), L"已有 2 个映像，新映像的 ID 将为 3");
  EXPECT_EQ(log_.Runs().size(), 1u);
}
