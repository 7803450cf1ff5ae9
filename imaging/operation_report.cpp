#include "imaging/operation_report.h"

namespace vantrel::imaging {

std::uint16_t ReportTitleId(Operation op) {
  switch (op) {
    case Operation::MountReadOnly:
      return kCaptionMount;
    case Operation::MountReadWrite:
      return kTitleMountReadWrite;
    case Operation::UnmountDiscard:
      return kCaptionUnmount;
    case Operation::UnmountCommit:
      return kTitleUnmountCommit;
    case Operation::Apply:
      return kCaptionApply;
    case Operation::Capture:
      return kCaptionCapture;
    case Operation::CaptureBoot:
      return kTitleCaptureBoot;
    case Operation::Append:
      return kTitleAppend;
    case Operation::Remount:
      return kTitleRemount;
    case Operation::Cleanup:
      return kTitleCleanup;
    case Operation::Export:
      return kTitleExport;
    case Operation::Split:
      return kTitleSplit;
    case Operation::Delete:
      return kTitleDelete;
  }
  return kCaptionCapture;
}


using resources::Decimal;

namespace {

std::u16string Hex(std::uint32_t value) {
  std::u16string out = u"0x";
  for (int shift = 28; shift >= 0; shift -= 4) out += u"0123456789ABCDEF"[(value >> shift) & 0xF];
  return out;
}

}  // namespace

std::u16string ExitCodeText(std::uint32_t code, std::u16string_view withHexPattern) {
  const std::u16string decimal = Decimal(static_cast<std::int32_t>(code));
  if (!LooksLikeHResult(code)) return decimal;
  return FillIn(withHexPattern, {decimal, Hex(code)});
}

std::optional<std::uint32_t> Win32CodeOf(std::uint32_t code) {
  if ((code & 0xFFFF0000u) == 0x80070000u) return code & 0xFFFFu;
  return std::nullopt;
}

std::optional<std::uint16_t> ExplanationId(std::uint32_t code) {
  // Task Manager's "End task" makes the exit code 1; an HRESULT carrying Win32 error 1 is the tool's own.
  if (code == 1) return kExplainEnded;
  const std::uint32_t plain = Win32CodeOf(code).value_or(code);
  switch (plain) {
    case 2: return kExplainFileNotFound;
    case 3: return kExplainPathNotFound;
    case 87: return kExplainParameter;
    case 740: return kExplainElevation;
    case 0xC000013Au: return kExplainConsoleClosed;
    case 0xC1420117u: return kExplainFilesOpen;
    case 0xC1420127u: return kExplainAlreadyMounted;
    case 0xC1420134u: return kExplainRemovable;
    case 0xC1510111u: return kExplainReadOnlyImage;
  }
  return std::nullopt;
}

std::u16string SystemTextFor(std::uint32_t code, const MessageLookup& lookup) {
  if (code == 0 || code == 1) return {};
  std::u16string found = lookup(MessageTable::System, code);
  if (found.empty()) {
    if (std::optional<std::uint32_t> win32 = Win32CodeOf(code)) found = lookup(MessageTable::System, *win32);
  }
  if (found.empty() && LooksLikeHResult(code)) found = lookup(MessageTable::Ntdll, code);
  return CleanSystemText(found);
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Length of a printf-style conversion after a '%' at `at` ("p", "08lx", "s", "ws"), 0 when there is none.
std::size_t ConversionLength(std::u16string_view text, std::size_t at) {
  std::size_t i = at;
  while (i < text.size() && (text[i] == u'-' || text[i] == u'#' || text[i] == u'.' || (text[i] >= u'0' && text[i] <= u'9')))
    ++i;
  while (i < text.size() && (text[i] == u'l' || text[i] == u'h' || text[i] == u'w' || text[i] == u'I')) ++i;
  if (i < text.size() && ((text[i] >= u'a' && text[i] <= u'z') || (text[i] >= u'A' && text[i] <= u'Z'))) return i + 1 - at;
  return 0;
}

}  // namespace

std::u16string CleanSystemText(std::u16string_view text) {
  // "{Application Error}\r\nThe exception ...": the braced title line repeats what the balloon's title says.
  if (!text.empty() && text.front() == u'{') {
    const std::size_t close = text.find(u'}');
    if (close != std::u16string_view::npos && close < 128) text.remove_prefix(close + 1);
  }
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') continue;
      out.push_back(u'\n');
      continue;
    }
    if (c != u'%' || i + 1 >= text.size()) {
      out.push_back(c);
      continue;
    }
    const char16_t next = text[i + 1];
    if (next == u'%' || next == u'n') {
      out.push_back(next == u'n' ? u'\n' : u'%');  // "%n" is the tables' own line break
      ++i;
      continue;
    }
    std::size_t length = 0;
    if (next >= u'1' && next <= u'9') {
      // An insert: "%1", "%12", "%1!s!".
      length = 1;
      while (i + 1 + length < text.size() && text[i + 1 + length] >= u'0' && text[i + 1 + length] <= u'9') ++length;
      if (i + 1 + length < text.size() && text[i + 1 + length] == u'!') {
        const std::size_t bang = text.find(u'!', i + 2 + length);
        if (bang != std::u16string_view::npos) length = bang - i;
      }
    } else {
      length = ConversionLength(text, i + 1);
    }
    if (length == 0) {
      out.push_back(c);
      continue;
    }
    out += u"…";
    i += length;
  }
  std::size_t first = 0, last = out.size();
  while (first < last && IsBlank(out[first])) ++first;
  while (last > first && IsBlank(out[last - 1])) --last;
  return out.substr(first, last - first);
}

Balloon DecideBalloon(Operation op, Tool tool, RunEnd end, const std::function<std::u16string(std::uint16_t)>& text,
                      const MessageLookup& lookup, std::u16string_view toolError) {
  Balloon balloon{FillIn(text(kTitleWithTool), {text(ReportTitleId(op)), ToolName(tool)}), {}, BalloonIcon::Info};
  if (end.known && end.value == 0) {
    balloon.text = text(kTextFinished);
    return balloon;
  }
  balloon.icon = BalloonIcon::Error;
  if (!end.known) {
    std::u16string why = SystemTextFor(end.value, lookup);
    if (why.empty()) why = ExitCodeText(end.value, text(kTextCodeWithHex));
    balloon.text = FillIn(text(kTextEndUnknown), {why});
    return balloon;
  }
  balloon.text = FillIn(text(kTextFailed), {ExitCodeText(end.value, text(kTextCodeWithHex))});
  const auto addLine = [&](const std::u16string& line) {
    if (line.empty()) return;
    balloon.text += u'\n';
    balloon.text += line;
  };
  addLine(ExplanationId(end.value) ? text(*ExplanationId(end.value)) : std::u16string());
  const std::size_t used = balloon.text.size() + 1;
  const std::u16string words = used < kBalloonTextUnits ? ToolWordsFor(toolError, kBalloonTextUnits - used) : u"";
  addLine(words.empty() ? SystemTextFor(end.value, lookup) : words);
  return balloon;
}

std::u16string ToolWordsFor(std::u16string_view errorText, std::size_t room) {
  std::u16string words;
  std::size_t at = 0;
  while (at < errorText.size()) {
    std::size_t end = errorText.find(u'\n', at);
    if (end == std::u16string_view::npos) end = errorText.size();
    const std::u16string_view line = errorText.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    const std::size_t need = line.size() + (words.empty() ? 0 : 1);
    if (words.size() + need <= room) {
      if (!words.empty()) words += u'\n';
      words += line;
      continue;
    }
    if (words.empty() && room > 1) {
      // Not even the first line fits: as much of it as does, cut where a character ends.
      std::size_t keep = room - 1;
      if (keep > 0 && line[keep - 1] >= 0xD800 && line[keep - 1] <= 0xDBFF) --keep;
      words.assign(line.substr(0, keep));
      words += u'…';
    }
    break;
  }
  return words;
}

}  // namespace vantrel::imaging
