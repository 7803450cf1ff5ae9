// A real WIM round trip through the window: capture a folder of known files (names with spaces and Chinese
// characters), capture it bootable, append a second image, apply that image into an empty folder and
// compare the trees byte for byte. Then the image list's commands: export the image into a new file, split the
// file (made larger than FAT32 holds) into parts, apply the image from the split set and compare the tree again,
// and delete an image, the line following what the tool did. The tools' words are checked on the host; here, what
// the tools made of them. The stand-in imagex.exe carries the operations
// out with the Linux wimlib-imagex, so this runs where wimtools is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "tests/e2e/harness.h"

namespace vantrel::e2e {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string Bytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(count, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

// Every file and folder under `root`, by relative path: "dir" for a folder, the content for a file.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    tree[relative] = entry.is_directory() ? std::string("dir") : "file:" + ReadFile(entry.path());
  }
  return tree;
}

// `wimlib-imagex info` of a WIM: the value of the line "<key>:" in the header, or of image `index`'s block.
std::string InfoValue(const std::string& info, const std::string& key, int index = 0) {
  std::istringstream in(info);
  int image = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Index:", 0) == 0) image = std::atoi(line.c_str() + 6);
    if (image == index && line.rfind(key + ":", 0) == 0) {
      std::string value = line.substr(key.size() + 1);
      value.erase(0, value.find_first_not_of(' '));
      return value;
    }
  }
  return "(none)";
}

// The round trip with imagex beside the program, or through Windows' own DISM without it.
void RoundTrip(App::Tool tool) {
  Deadline deadline("WimRoundTrip", std::chrono::seconds(480));
  // Parts of 50 KiB instead of 4000 MB, so that the few hundred kilobytes here make a set of several parts.
  setenv("VANTREL_STANDIN_SPLIT_MIB", "0.05", 1);
  App app(tool);
  const bool dism = tool != App::Tool::Imagex;
  const fs::path root = app.folder();
  const fs::path first = root / "数据 源", second = root / "第二 源", out = root / "镜像 输出",
                 applied = root / "解开 目录";
  WriteFile(first / "read me.txt", "A plain text file.\r\n");
  WriteFile(first / "中文 文件.txt", "中文内容，两行。\n第二行\n");
  WriteFile(first / "子 目录" / "数据 1.bin", Bytes(150000, 1));
  WriteFile(first / "子 目录" / "空.txt", "");
  WriteFile(second / "新 文件.txt", "第二个镜像\n");
  WriteFile(second / "深 层" / "更 深" / "数据 2.bin", Bytes(70000, 2));
  WriteFile(second / "深 层" / "空 文件", "");
  fs::create_directories(second / "空 目录");
  fs::create_directories(out);
  fs::create_directories(applied);
  const std::string wim = App::WindowsPath((out / "备份 1.wim").string());
  const std::string bootWim = App::WindowsPath((out / "启动.wim").string());

  auto runOk = [&](std::size_t count) {
    EXPECT_TRUE(app.WaitForRuns(count, 120s)) << "run " << count << " did not finish";
    auto runs = app.Runs();
    if (runs.size() < count) return;
    const ToolRun& run = runs[count - 1];
    EXPECT_FALSE(run.wimlib.empty()) << "the stand-in did not carry the operation out: " << run.line;
    EXPECT_EQ(run.exitCode, 0) << run.line << "\nwimlib-imagex said:\n" << ReadFile(root / "imagex.log.out");
  };
  auto info = [&](const std::string& windowsPath) {
    std::string linux = windowsPath.substr(2);
    std::replace(linux.begin(), linux.end(), '\\', '/');
    return RunCommand({"wimlib-imagex", "info", linux}, 60s).out;
  };

  // Capture (the folder given with its closing backslash), then the same folder bootable into a second file.
  app.Click("Option2");
  app.SetField("mk_WIMPath", App::WindowsPath(first.string()) + "\\");
  app.SetField("WIMSavePath", wim);
  app.SetField("WIM_Info", "第一 image");
  app.Click("MakeWimImage");
  runOk(1);
  if (dism && !app.Runs().empty()) {
    EXPECT_EQ(app.Runs()[0].args, (std::vector<std::string>{"/Capture-Image", "/ImageFile:" + wim,
                                                            "/CaptureDir:" + App::WindowsPath(first.string()) + "\\",
                                                            "/Name:第一 image", "/Compress:max"}));
  }
  std::string header = info(wim);
  EXPECT_EQ(InfoValue(header, "Image Count"), "1");
  EXPECT_EQ(InfoValue(header, "Boot Index"), "0");
  EXPECT_EQ(InfoValue(header, "Name", 1), "第一 image");
  EXPECT_EQ(InfoValue(header, "Compression"), "LZX");

  app.Click("WimBoot");
  app.SetField("WIMSavePath", bootWim);
  app.Click("MakeWimImage");
  runOk(2);
  EXPECT_EQ(InfoValue(info(bootWim), "Boot Index"), "1");

  // Append a second image to the first file.
  app.Click("WimBoot");
  app.Click("WIM_add_c");
  app.SetField("mk_WIMPath", App::WindowsPath(second.string()));
  app.SetField("WIMSavePath", wim);
  app.SetField("WIM_Info", "第二 image");
  app.Click("MakeWimImage");
  runOk(3);
  header = info(wim);
  EXPECT_EQ(InfoValue(header, "Image Count"), "2");
  EXPECT_EQ(InfoValue(header, "Name", 2), "第二 image");

  // Apply image 2 into the empty folder: the very tree that was appended comes out.
  app.Click("Option1");
  app.SetField("WIMPath", wim);
  app.SetField("WIMindex", "2");
  app.SetField("MountPath", App::WindowsPath(applied.string()));
  app.Click("ExtWIM");
  runOk(4);
  if (dism && app.Runs().size() >= 4) {
    EXPECT_EQ(app.Runs()[3].args, (std::vector<std::string>{"/Apply-Image", "/ImageFile:" + wim, "/Index:2",
                                                            "/ApplyDir:" + App::WindowsPath(applied.string())}));
  }
  EXPECT_EQ(Tree(applied), Tree(second));
  EXPECT_NE(Tree(applied), Tree(first));

  auto refused = [&](const std::string& control, const std::string& words) {
    const std::size_t before = app.Runs().size();
    app.Click(control);
    app.DismissMessageSaying(words);
    EXPECT_EQ(app.Runs().size(), before) << control << " started a run";
  };

  // Export image 2 into a new file: the list's first command, the name typed over the one the dialog offers.
  const std::string exported = App::WindowsPath((out / "导出 二.wim").string());
  App::LabelStartingWith("第二 image");
  app.PickListCommand(2, 1);
  ASSERT_TRUE(app.SaveAs(exported)) << "no save dialog for the export";
  runOk(5);
  header = info(exported);
  EXPECT_EQ(InfoValue(header, "Image Count"), "1");
  EXPECT_EQ(InfoValue(header, "Name", 1), "第二 image");
  EXPECT_EQ(InfoValue(header, "Compression"), "LZX");

  // A file larger than FAT32 holds (lengthened with zeros the tools pass over) is offered the split, second.
  std::string linuxWim = wim.substr(2);
  std::replace(linuxWim.begin(), linuxWim.end(), '\\', '/');
  fs::resize_file(linuxWim, 4300ull << 20);
  app.SetField("WIMPath", wim);
  App::LabelStartingWith("第二 image");
  const fs::path parts = root / "分卷 组";
  fs::create_directories(parts);
  const std::string firstPart = App::WindowsPath((parts / "备份.swm").string());
  app.PickListCommand(2, 2);
  ASSERT_TRUE(app.SaveAs(firstPart)) << "no save dialog for the split";
  runOk(6);
  std::size_t partCount = 0;
  for (const auto& entry : fs::directory_iterator(parts)) partCount += entry.path().extension() == ".swm";
  ASSERT_GE(partCount, 3u) << "the split made too few parts to test a set";
  EXPECT_TRUE(fs::exists(parts / "备份2.swm"));

  // The split set: its line says so, a mount is refused, a part missing is named, and image 2 applies from all
  // of its parts into an empty folder.
  const fs::path fromParts = root / "分卷 解开";
  fs::create_directories(fromParts);
  app.SetField("WIMPath", firstPart);
  App::LabelStartingWith("拆分映像（" + std::to_string(partCount) + " 卷）· 第二 image");
  app.SetField("MountPath", App::WindowsPath(fromParts.string()));
  refused("MountWim", "拆分映像");
  fs::rename(parts / "备份2.swm", parts / "备份2.bak");
  refused("ExtWIM", App::WindowsPath((parts / "备份2.swm").string()));
  fs::rename(parts / "备份2.bak", parts / "备份2.swm");
  app.Click("ExtWIM");
  runOk(7);
  EXPECT_EQ(Tree(fromParts), Tree(second));

  // Nothing can be appended to a split set: the capture panel's line says so instead of the next image's number,
  // and the append is refused.
  app.Click("Option2");
  app.SetField("WIMSavePath", firstPart);
  App::LabelStartingWith("拆分映像（" + std::to_string(partCount) + " 卷），不能追加");
  refused("MakeWimImage", "拆分映像");
  app.Click("Option1");

  // Delete image 1 after the question. No is the default: Enter deletes nothing. Yes clicked: the file then holds
  // one image, and the line, read again after the run, shows the image now at index 1.
  app.SetField("WIMPath", wim);
  app.SetField("WIMindex", "1");
  App::LabelStartingWith("第一 image");
  app.PickListCommand(2, 3);
  app.DismissMessageSaying("第一 image");
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(app.Runs().size(), 7u) << "Enter on the question deleted";
  app.PickListCommand(2, 3);
  auto question = app.WaitForMessageBox();
  ASSERT_TRUE(question.has_value()) << "no question before the delete";
  const auto yes = std::find_if(question->buttons.begin(), question->buttons.end(),
                                [](const App::Button& b) { return b.text.find("Yes") != std::string::npos; });
  ASSERT_NE(yes, question->buttons.end());
  ClickAt(yes->rect.CentreX(), yes->rect.CentreY());
  runOk(8);
  EXPECT_EQ(InfoValue(info(wim), "Image Count"), "1");
  App::LabelStartingWith("第二 image");
}

TEST(WimRoundTrip, CaptureBootableCaptureAppendAndApply) {
  if (!fs::exists("/usr/bin/wimlib-imagex")) GTEST_SKIP() << "wimtools is not installed";
  RoundTrip(App::Tool::Imagex);
}

TEST(WimRoundTrip, ThroughWindowsOwnDismWithoutImagex) {
  if (!fs::exists("/usr/bin/wimlib-imagex")) GTEST_SKIP() << "wimtools is not installed";
  RoundTrip(App::Tool::DismWindows10);
}

}  // namespace
}  // namespace vantrel::e2e
