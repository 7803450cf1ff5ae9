// Windows' list of mounted images, read through the stand-in wimgapi.dll of the prefix's system folder (tests/
// fixtures/wimgapi_standin.cpp), which answers from the description file named by VANTREL_MOUNTS_FILE: the
// records read right, the faults of the library survived, and the reading off the user-interface thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "mounts/mount_list_win32.h"
#include "mounts/wimgapi_win32.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "runtime/late_binding.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace vantrel::wintest {
namespace {

using mounts::MountedImage;
using mounts::MountList;
using namespace std::chrono_literals;

constexpr std::uint32_t kMounted = 0x1, kRemountable = 0x4, kInvalid = 0x8, kNoWim = 0x10, kReadWrite = 0x100;

std::string Utf8(const std::u16string& text) {
  const std::wstring wide(text.begin(), text.end());
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// The stand-in's description file for this test program, named in the environment while the object lives.
class MountsFile {
 public:
  MountsFile() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + L"vantrel-mounts-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    SetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", path_.c_str());
  }
  ~MountsFile() {
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", nullptr);
  }
  MountsFile(const MountsFile&) = delete;
  MountsFile& operator=(const MountsFile&) = delete;

  // The file holds `text` (UTF-8) from now on.
  void Write(const std::string& text) const {
    const runtime::UniqueFile file(
        CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  }
  // One line of the file for `m`, its flags as a number.
  static std::string Line(const MountedImage& m) {
    return std::to_string(m.flags) + "\t" + std::to_string(m.index) + "\t" + Utf8(m.wimPath) + "\t" +
           Utf8(m.mountPath) + "\n";
  }
  void Remove() const { DeleteFileW(path_.c_str()); }

 private:
  std::wstring path_;
};

// Three mounts as a user may have them: a long path (259 characters, the most the record holds), Chinese names,
// one needing a remount, one invalid.
std::vector<MountedImage> ThreeMounts() {
  std::u16string longDir = u"C:\\挂载";
  while (longDir.size() < 259) longDir += u"\\长路径";
  longDir.resize(259);
  std::u16string longWim = u"D:\\镜像\\";
  longWim.append(259 - longWim.size() - 4, u'名');
  longWim += u".wim";
  return {{u"C:\\images\\install.wim", u"C:\\mnt", 1, kMounted},
          {longWim, longDir, 3, kRemountable | kReadWrite},
          {u"E:\\系统\\启动.wim", u"C:\\挂载\\启动", 2, kInvalid | kNoWim | kReadWrite}};
}

std::string Describe(const std::vector<MountedImage>& mounts, const std::string& markers = "") {
  std::string text = "# written by mounts_test\r\n" + markers;
  for (const MountedImage& m : mounts) text += MountsFile::Line(m);
  return text;
}

TEST(MountedImages, TheLibraryIsTheStandInOfTheSystemFolder) {
  ASSERT_NE(mounts::BoundGetMountedImageInfo(), nullptr);
  // Bound once: the same function every time.
  EXPECT_EQ(mounts::BoundGetMountedImageInfo(), mounts::BoundGetMountedImageInfo());
  // Wine's own DLL would end this program here ("unimplemented function"); the stand-in says nothing is mounted.
  SetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", nullptr);
  EXPECT_EQ(mounts::ReadMountedImages(), MountList(std::in_place));
  HMODULE loaded = GetModuleHandleW(L"wimgapi.dll");
  ASSERT_NE(loaded, nullptr);
  wchar_t path[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(loaded, path, MAX_PATH * 2);
  EXPECT_EQ(
      CompareStringOrdinal(path, static_cast<int>(n), runtime::SystemFolderPath(L"wimgapi.dll").c_str(), -1, TRUE),
      CSTR_EQUAL)
      << "loaded from " << std::wstring(path, n).c_str();
}

TEST(MountedImages, ThreeMountsReadRightAndNothingMountedIsAnEmptyList) {
  MountsFile file;
  const std::vector<MountedImage> three = ThreeMounts();
  file.Write(Describe(three));
  const MountList list = mounts::ReadMountedImages();
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ((*list)[i], three[i]) << "mount " << i;
  EXPECT_EQ((*list)[1].mountPath.size(), 259u);

  // No file, and a file without mounts: nothing mounted, which is known (not a failure).
  file.Remove();
  EXPECT_EQ(mounts::ReadMountedImages(), MountList(std::in_place));
  file.Write("# nothing\n");
  EXPECT_EQ(mounts::ReadMountedImages(), MountList(std::in_place));
}

TEST(MountedImages, ACountThatGrowsBetweenTheCallsIsAskedAgainABoundedNumberOfTimes) {
  MountsFile file;
  const std::vector<MountedImage> three = ThreeMounts();
  // A mount made before each of the first kMountListAttempts - 1 reads: the last read fits, and has them all.
  file.Write(Describe(three, "!grow=" + std::to_string(mounts::kMountListAttempts - 1) + "\n"));
  MountList list = mounts::ReadMountedImages();
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u + mounts::kMountListAttempts - 1);
  EXPECT_EQ(list->front(), three.front());
  EXPECT_EQ(list->back().mountPath,
            u"C:\\新的挂载\\" + std::u16string(1, char16_t(u'0' + mounts::kMountListAttempts - 1)));
  EXPECT_EQ(list->back().flags, kMounted | kReadWrite);
  // One more than that never settles within the attempts: nothing known, never a stale or partial list.
  file.Write(Describe(three, "!grow=" + std::to_string(mounts::kMountListAttempts) + "\n"));
  EXPECT_EQ(mounts::ReadMountedImages(), std::nullopt);
}

TEST(MountedImages, TheLibrarysFailuresLeaveNothingKnown) {
  MountsFile file;
  const std::vector<MountedImage> three = ThreeMounts();
  // Failing at once; answering the size, then failing the read after giving a count; a count the buffer cannot
  // hold (never read past the buffer).
  for (const char* marker : {"!fail=5\n", "!failread=1168\n", "!overcount=1\n", "!overcount=100000\n"}) {
    file.Write(Describe(three, marker));
    EXPECT_EQ(mounts::ReadMountedImages(), std::nullopt) << marker;
  }
  // Failing with nothing mounted is a failure too, not an empty list.
  file.Write("!fail=31\n");
  EXPECT_EQ(mounts::ReadMountedImages(), std::nullopt);
  // No function (an older Windows, a missing DLL).
  EXPECT_EQ(mounts::ReadMountedImages(nullptr), std::nullopt);
}

TEST(MountedImages, RecordsAreReadWithinTheirFieldsAndTheirBuffer) {
  std::vector<mounts::MountInfoLevel1> records(2);
  // A path filling its whole field without a NUL ends at the field's end, not in the next field.
  std::fill(std::begin(records[0].wimPath), std::end(records[0].wimPath), L'W');
  std::fill(std::begin(records[0].mountPath), std::end(records[0].mountPath), L'M');
  records[0].imageIndex = 7;
  records[0].mountFlags = kMounted;
  const MountList list = mounts::ToMountList(records.data(), records.size(), 1);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].wimPath, std::u16string(MAX_PATH, u'W'));
  EXPECT_EQ((*list)[0].mountPath, std::u16string(MAX_PATH, u'M'));
  EXPECT_EQ((*list)[0].index, 7u);
  EXPECT_EQ(mounts::ToMountList(records.data(), records.size(), 2)->size(), 2u);
  EXPECT_EQ(mounts::ToMountList(records.data(), records.size(), 3), std::nullopt);
  EXPECT_EQ(mounts::ToMountList(nullptr, 0, 0), MountList(std::in_place));
}

constexpr UINT kNudge = WM_APP + 40;

// A message-only window for a reader to nudge, counting the nudges it gets (the tests' waits dispatch them).
class Receiver {
 public:
  Receiver() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VantrelMountsTestReceiver";
    RegisterClassW(&wc);
    window_.reset(
        CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
    nudges_ = 0;
  }
  HWND get() const { return window_.get(); }
  // The nudges dispatched so far, after the ones waiting now.
  int Nudges() const {
    PumpMessages();
    return nudges_;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNudge) ++nudges_;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  static inline int nudges_ = 0;
  runtime::UniqueWindow window_;
};

bool NoReadInFlight() {
  return WaitUntil([] { return mounts::MountListReader::ReadsInFlight() == 0; }, 10s);
}

// Waits for the next nudge at `receiver` and hands it to `reader`, as the window's procedure would.
bool NextListArrives(const Receiver& receiver, mounts::MountListReader& reader, int* seen) {
  if (!WaitUntil([&] { return receiver.Nudges() > *seen; }, 10s)) return false;
  *seen = receiver.Nudges();
  return reader.Handle(kNudge);
}

TEST(MountListReading, TheListComesToTheWindowAndNeverAfterTheReaderIsGone) {
  MountsFile file;
  const std::vector<MountedImage> three = ThreeMounts();
  file.Write(Describe(three));
  Receiver receiver;
  ASSERT_NE(receiver.get(), nullptr);
  int seen = 0;
  {
    mounts::MountListReader reader(kNudge);
    EXPECT_EQ(reader.Known(), std::nullopt);
    EXPECT_FALSE(reader.Handle(kNudge + 1));
    reader.Refresh(receiver.get());
    ASSERT_TRUE(NextListArrives(receiver, reader, &seen));
    ASSERT_TRUE(reader.Known().has_value());
    EXPECT_EQ(*reader.Known(), three);

    // Asked for three times while a slow read runs: one read at a time, and the list comes once more.
    file.Write(Describe({three[0]}, "!sleep=300\n"));
    reader.Refresh(receiver.get());
    reader.Refresh(receiver.get());
    reader.Refresh(receiver.get());
    EXPECT_EQ(mounts::MountListReader::ReadsInFlight(), 1);
    ASSERT_TRUE(NextListArrives(receiver, reader, &seen));
    EXPECT_EQ(reader.Known(), MountList(std::vector<MountedImage>{three[0]}));
    ASSERT_TRUE(NoReadInFlight());
    EXPECT_EQ(receiver.Nudges(), seen) << "one nudge for the reads asked for while one ran";

    // A failing library: nothing known any more.
    file.Write("!fail=5\n");
    reader.Refresh(receiver.get());
    ASSERT_TRUE(NextListArrives(receiver, reader, &seen));
    EXPECT_EQ(reader.Known(), std::nullopt);

    // The reader goes while its read is in flight.
    file.Write(Describe(three, "!sleep=300\n"));
    reader.Refresh(receiver.get());
    EXPECT_EQ(mounts::MountListReader::ReadsInFlight(), 1);
  }
  // The read ends, frees its work and posts nothing to the window that is still there.
  ASSERT_TRUE(NoReadInFlight());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(receiver.Nudges(), seen);

  // Stopped (the window going) while its read is in flight: nothing posted; asked again later, the list comes.
  mounts::MountListReader reader(kNudge);
  reader.Refresh(receiver.get());
  reader.Stop();
  ASSERT_TRUE(NoReadInFlight());
  EXPECT_EQ(receiver.Nudges(), seen);
  file.Write(Describe(three));
  reader.Refresh(receiver.get());
  ASSERT_TRUE(NextListArrives(receiver, reader, &seen));
  EXPECT_EQ(reader.Known(), MountList(three));
}

// The main window reads the list when it is activated.
class MainWindowMounts : public MainWindowFixture {
 protected:
  void BeforeOpen() override { file_.Write(Describe(ThreeMounts())); }
  MountsFile file_;
};

TEST_F(MainWindowMounts, ActivationGivesAReadWhoseOutcomeArrives) {
  ASSERT_TRUE(WaitUntil([&] { return window_->Mounts().has_value(); }, 10s)) << "the read at start-up";
  EXPECT_EQ(*window_->Mounts(), ThreeMounts());
  // Mounted and unmounted elsewhere meanwhile: the next activation has it.
  file_.Write(Describe({ThreeMounts()[2]}));
  SendMessageW(main_, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_TRUE(WaitUntil([&] { return window_->Mounts() && window_->Mounts()->size() == 1; }, 10s));
  EXPECT_EQ(window_->Mounts()->front(), ThreeMounts()[2]);
}

TEST_F(MainWindowMounts, TheWindowClosedWhileAReadIsInFlightLeaksNothingAndPostsNothing) {
  ASSERT_TRUE(NoReadInFlight());
  file_.Write(Describe(ThreeMounts(), "!sleep=400\n"));
  SendMessageW(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_EQ(mounts::MountListReader::ReadsInFlight(), 1);
  // Closed by the program's own way out, and the window object gone, before the read ends.
  window_->MacWindow_CloseWindow();
  window_.reset();
  ASSERT_TRUE(NoReadInFlight()) << "the read's work is freed when it ends";
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP, 0xBFFF, PM_REMOVE)) << "posted " << msg.message;
}

// What the panel shows of the list, and the tray tip's reminder of this session's read-write mounts: the mount
// the session starts read-write is read again when its run ends, and the tip says it stays mounted.
TEST_F(MainWindowMounts, TheLineSaysWhatIsMountedAndTheTipRemindsOfTheSessionsReadWriteMounts) {
  using runtime::LoadResString;
  ASSERT_TRUE(WaitUntil([&] { return window_->Mounts().has_value(); }, 10s));
  EXPECT_EQ(runtime::WindowText(Ctl("MountsInfo")), L"已挂载 3 个映像，2 个需要修复");
  g_tray.Start();
  // Nothing mounted: the line goes, and a read-write mount into C:\mnt\rw is not refused.
  file_.Write(Describe({}));
  SendMessageW(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_TRUE(WaitUntil([&] { return window_->Mounts() && window_->Mounts()->empty(); }, 10s));
  EXPECT_EQ(runtime::WindowText(Ctl("MountsInfo")), L"");
  SetWindowTextW(Ctl("WIMPath"), L"C:\\images\\install.wim");
  SetWindowTextW(Ctl("MountPath"), L"C:\\mnt\\rw standin:sleep=300");
  SendMessageW(Ctl("WIMR_Check"), BM_SETCHECK, BST_CHECKED, 0);
  // The tool mounts it: when its run ends, the list is read again and has it.
  file_.Write(Describe({{u"C:\\images\\install.wim", u"C:\\mnt\\rw standin:sleep=300", 1, kMounted | kReadWrite}}));
  SendMessageW(Ctl("MountWim"), BM_CLICK, 0, 0);
  ASSERT_EQ(window_->RunsInFlight(), 1u) << "a mount into a free folder is refused";
  ASSERT_TRUE(WaitUntil(
      [&] { return window_->RunsInFlight() == 0 && window_->Mounts() && window_->Mounts()->size() == 1; }, 10s));
  ASSERT_TRUE(
      WaitUntil([&] { return !g_tray.tips.empty() && g_tray.tips.back() == L"Vantrel：1 个映像以可写方式挂载"; }, 5s))
      << (g_tray.tips.empty() ? std::string("no tip") : Utf8(runtime::Utf16(g_tray.tips.back())));
  EXPECT_EQ(runtime::WindowText(Ctl("MountsInfo")), L"已挂载 1 个映像");
  // Unmounted elsewhere: the reminder goes with the next read.
  file_.Write(Describe({}));
  SendMessageW(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !g_tray.tips.empty() && g_tray.tips.back() == LoadResString(40101); }, 10s));
}

}  // namespace
}  // namespace vantrel::wintest
