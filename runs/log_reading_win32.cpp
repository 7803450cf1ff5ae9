#include "runs/log_reading_win32.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vantrel::runs {

CodePage OemCodePage() {
  CodePage page;
  page.decode = [](std::span<const std::uint8_t> bytes) {
    std::u16string text;
    if (bytes.empty()) return text;
    const auto* in = reinterpret_cast<const char*>(bytes.data());
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_OEMCP, 0, in, size, nullptr, 0);
    if (length <= 0) return std::u16string(bytes.size(), kReplacement);
    text.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_OEMCP, 0, in, size, reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
  };
  CPINFO info{};
  if (GetCPInfo(CP_OEMCP, &info) && info.MaxCharSize > 1) {
    const UINT oem = GetOEMCP();
    page.isLeadByte = [oem](std::uint8_t byte) { return IsDBCSLeadByteEx(oem, byte) != FALSE; };
  }
  return page;
}

bool ReadInto(RunLog& log, ToolLog& reader) {
  // The reader keeps the last 1 MiB of text at most: output far beyond a look's share is passed over, and the
  // look reads where the tool is now.
  log.SkipToTail(kReadPerLook);
  std::vector<std::uint8_t> bytes;
  log.ReadNew(bytes);  // a failed read still hands on what came before it; the next look tries again
  if (bytes.empty()) return false;
  reader.Feed(bytes);
  return true;
}

}  // namespace vantrel::runs
