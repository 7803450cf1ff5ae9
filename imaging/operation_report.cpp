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
  }
  return kCaptionCapture;
}

std::u16string FillIn(std::u16string_view pattern, std::initializer_list<std::u16string_view> values) {
  std::u16string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'%' && i + 1 < pattern.size()) {
      const char16_t next = pattern[i + 1];
      if (next >= u'1' && next <= u'9' && static_cast<std::size_t>(next - u'1') < values.size()) {
        out += *(values.begin() + (next - u'1'));
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

namespace {

std::u16string Decimal(std::int64_t value) {
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

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

Balloon DecideBalloon(Operation op, std::uint32_t exitCode, const std::function<std::u16string(std::uint16_t)>& text,
                      std::u16string_view systemText) {
  Balloon balloon{ReportTitleId(op), {}, BalloonIcon::Info};
  if (exitCode == 0) {
    balloon.text = text(kTextFinished);
    return balloon;
  }
  balloon.icon = BalloonIcon::Error;
  balloon.text = FillIn(text(kTextFailed), {ExitCodeText(exitCode, text(kTextCodeWithHex))});
  if (!systemText.empty()) {
    balloon.text += u'\n';
    balloon.text += systemText;
  }
  return balloon;
}

std::u16string TrayTip(std::size_t running, const std::function<std::u16string(std::uint16_t)>& text) {
  if (running == 0) return text(kTipIdle);
  return FillIn(text(kTipRunning), {Decimal(static_cast<std::int64_t>(running))});
}

std::u16string FitField(std::u16string text, std::size_t capacity) {
  if (capacity == 0) return {};
  if (text.size() <= capacity - 1) return text;
  std::size_t keep = capacity - 1;
  // A high surrogate as the last unit kept would lose its partner.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  text.resize(keep);
  return text;
}

}  // namespace vantrel::imaging
