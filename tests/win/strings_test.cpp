// The string table compiled into the program: every id with its exact text.
#include <gtest/gtest.h>

#include "runtime/runtime.h"

namespace {

TEST(StringTable, EveryEntryHasItsExactText) {
  struct Entry {
    std::uint16_t id;
    const wchar_t* text;
  };
  const Entry expected[] = {
      {10101, L"Vantrel"},
      {10102, L"WIM 镜像挂载"},
      {10103, L"WIM 镜像制作"},
      {10104, L"1.选择 WIM 镜像文件路径\uFF1A"},
      {10105, L"WIM 镜像的ID\uFF1A"},
      {10106, L"可修改"},
      {10107, L"2.选择 WIM 镜像挂载的目录\uFF1A"},
      {10108, L"浏览"},
      {10109, L"挂载 WIM 镜像"},
      {10110, L"卸载 WIM 镜像"},
      {10111, L"解开 WIM 镜像"},
      {10112, L"1.选择要制作为WIM 镜像的目录\uFF1A"},
      {10113, L"以追加方式"},
      {10114, L"Boot"},
      {10115, L"2.选择WIM 镜像的保存位置\uFF1A"},
      {10116, L"3.输入WIM 镜像的注释\uFF1A"},
      {10117, L"制作镜像"},
      {10118, L"关闭"},
      {10119, L"最小化"},
      {10120, L"按下"},
      {20101, L"选择目录"},
      {20102, L"请选择 WIM 镜像文件后再继续本操作\uFF01"},
      {20103, L"请选择要制作为WIM 镜像的目录后再继续本操作\uFF01"},
      {20104, L"请选择WIM 镜像的保存位置后再继续本操作\uFF01"},
      {20105, L"请输入WIM 镜像的注释后再继续本操作\uFF01"},
      {20106, L"请选择制作为 WIM 镜像的目录:"},
      {20107, L"请选择 WIM 镜像挂载的目录"},
      {20108, L"请选择需要挂载的 WIM 镜像文件后再继续本操作\uFF01"},
      {20109, L"请选择挂载目录后再继续本操作\uFF01"},
      {30101, L"显示窗口"},
      {30102, L"退出(&X)"},
      {30104, L"运行记录(&L)"},
      {40101, L"Vantrel."},
      // What the tray says about the launched runs.
      {50101, L"卸载 WIM 镜像\uFF08提交更改\uFF09"},
      {50102, L"挂载 WIM 镜像\uFF08可修改\uFF09"},
      {50103, L"制作镜像\uFF08Boot\uFF09"},
      {50104, L"制作镜像\uFF08以追加方式\uFF09"},
      {50105, L"操作已完成\u3002"},
      {50106, L"操作失败\uFF0C退出代码\uFF1A%1\u3002"},
      {50107, L"%1\uFF08%2\uFF09"},
      {50108, L"Vantrel\uFF1A%1 个操作正在进行\u3002"},
      // The run window.
      {50140, L"运行记录"},
      {50141, L"操作"},
      {50145, L"状态"},
      {50146, L"复制命令(&C)"},
      {50147, L"打开日志文件夹(&O)"},
      {50148, L"输出"},
      // Explanations of exit codes: 1 from Task Manager; 0xC1510111 is a read-only WIM file.
      {50111, L"工具被中止（例如在任务管理器中被结束），或报告了一般性错误。"},
      {50120, L"没有挂载和修改此镜像的权限：WIM 文件是只读的（例如从光盘或 ISO 复制而来、带有只读属性，或位于只读介质上）。"
              L"请清除该文件的只读属性，或以只读方式挂载（不勾选“可修改”）。"},
      // The picker's note on the images it leaves out.
      {60105, L"还有 %1 个映像未列出：请在 ID 框中直接输入其 ID"},
      // The mounted images: the line, the repairs, the tray's reminder, a refusal.
      {7101, L"已挂载 %1 个映像"},
      {7102, L"已挂载 %1 个映像，%2 个需要修复"},
      {7113, L"重新装载 %1"},
      {7114, L"清理失效的挂载"},
      {7116, L"Vantrel：%1 个映像以可写方式挂载"},
      {7122, L"%1 中没有挂载任何映像。（在挂载目录框中按 F4 可从已挂载的映像中选择。）"},
      // The image list's commands, and the line of a split set.
      {8101, L"导出第 %1 个映像…"},
      {8102, L"拆分为 FAT32 分卷…"},
      {8103, L"删除第 %1 个映像"},
      {60106, L"拆分映像（%1 卷）· %2"},
  };
  for (const Entry& e : expected) EXPECT_EQ(vantrel::runtime::LoadResString(e.id), e.text) << "id " << e.id;
}

TEST(StringTable, IsStoredInSimplifiedChinese) {
  HRSRC block = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(10101 / 16 + 1),
                                MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  EXPECT_NE(block, nullptr);
}

TEST(StringTable, UnknownIdGivesEmptyText) { EXPECT_EQ(vantrel::runtime::LoadResString(12345), L""); }

}  // namespace
