// libFuzzer target for the reader of a run's log (built and run by scripts/fuzz beside the WIM reader's). The
// first four bytes choose the OEM code page, the bounds (the program's, or small ones that short inputs reach)
// and how the rest is cut into pieces; the rest is the log. Read
// whole and read in those pieces, it must say the same; the changes handed out must rebuild the text; every
// bound must hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "runs/tool_log.h"

using namespace vantrel::runs;

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool WholeCharacters(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == 0) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// A double-byte code page in the manner of GBK: it is never given half a character.
CodePage DoubleByte() {
  CodePage page;
  page.isLeadByte = [](std::uint8_t b) { return b >= 0x81 && b <= 0xFE; };
  page.decode = [](std::span<const std::uint8_t> bytes) {
    Check(!bytes.empty());
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] >= 0x81 && bytes[i] <= 0xFE) {
        Check(i + 1 < bytes.size() && bytes[i + 1] >= 0x40);
        text += static_cast<char16_t>(0x4E00 + ((bytes[i] - 0x81) * 191 + bytes[i + 1] - 0x40) % 0x5000);
        ++i;
      } else {
        text += bytes[i] < 0x80 ? char16_t{bytes[i]} : u'\uFFFD';
      }
    }
    return text;
  };
  return page;
}

struct Seen {
  std::optional<int> percent;
  std::u16string phase, errorLine, errorText, text;
  LogEncoding encoding;
  bool operator==(const Seen&) const = default;
};
Seen Look(const ToolLog& log) {
  return {log.percentTenths(), log.phase(), log.errorLine(), log.errorText(), log.text(), log.encoding()};
}

void CheckBounds(const ToolLog& log, const LogLimits& limits) {
  Check(log.text().size() <= limits.keptUnits);
  // The text's buffer at its bound; the copies of a line and the error text at most twice their bound, as
  // strings grow.
  Check(log.footprint() <=
        sizeof(ToolLog) + 2 * (limits.keptUnits + 6 * (limits.lineUnits + 1) + 2 * limits.errorUnits));
  Check(!log.percentTenths() || (*log.percentTenths() >= 0 && *log.percentTenths() <= 1000));
  Check(log.errorText().size() <= limits.errorUnits);
  Check(log.phase().size() <= limits.lineUnits + 1 && log.errorLine().size() <= limits.lineUnits + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const bool doubleByte = data[0] & 1;
  const std::size_t maxPiece = data[0] & 2 ? 4096 : 1 + (data[1] & 15);
  LogLimits limits;
  if (data[0] & 4) {
    limits.keptUnits = std::size_t{64} << ((data[1] >> 4) & 7);
    limits.lineUnits = limits.keptUnits / (data[1] & 0x80 ? 16 : 4);
    limits.errorUnits = limits.keptUnits / 8;
  }
  std::uint32_t state = data[2] | (data[3] << 8) | 0x10000u;
  const std::span<const std::uint8_t> bytes(data + 4, size - 4);

  ToolLog whole(doubleByte ? DoubleByte() : Cp437(), limits);
  whole.Feed(bytes);
  CheckBounds(whole, limits);
  whole.Finish();

  // In pieces, as the program reads a growing file, and shown as a run window shows it.
  ToolLog pieces(doubleByte ? DoubleByte() : Cp437(), limits);
  std::u16string shown;
  auto show = [&] {
    const TextChange change = pieces.TakeNew();
    if (change.restart) shown.clear();
    Check(change.erase <= shown.size());
    shown.erase(shown.size() - change.erase);
    shown += change.text;
  };
  for (std::size_t at = 0; at < bytes.size();) {
    state = state * 1103515245u + 12345u;
    const std::size_t take = std::min<std::size_t>(1 + (state >> 16) % maxPiece, bytes.size() - at);
    pieces.Feed(bytes.subspan(at, take));
    at += take;
    CheckBounds(pieces, limits);
    show();
  }
  pieces.Finish();
  show();
  CheckBounds(pieces, limits);
  Check(Look(pieces) == Look(whole));
  Check(shown.ends_with(pieces.text()));

  const std::u16string& text = whole.text();
  Check(WholeCharacters(text) && WholeCharacters(whole.errorText()) && WholeCharacters(whole.phase()));
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\n') {
      Check(i - lineStart <= limits.lineUnits + 1);
      lineStart = i + 1;
    }
  }
  const std::u16string balloon = ErrorSummary(whole.errorText(), 3, 200);
  Check(balloon.size() <= 200 && WholeCharacters(balloon));
  return 0;
}
