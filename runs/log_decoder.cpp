// Bytes of a run's log to UTF-16 (log_decoder.h).
#include "runs/log_decoder.h"

#include <utility>

namespace vantrel::runs {
namespace {

// Bytes 0x80-0xFF of code page 437.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

std::u16string DecodeCp437(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    text[i] = bytes[i] < 0x80 ? char16_t{bytes[i]} : kCp437High[bytes[i] - 0x80];
  return text;
}

bool IsHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

CodePage Cp437() {
  return CodePage{DecodeCp437, {}};
}

LogDecoder::LogDecoder(CodePage oem) : oem_(std::move(oem)) {
  if (!oem_.decode) oem_.decode = DecodeCp437;
}

std::size_t LogDecoder::pendingBytes() const {
  return seqLen_ + (leadPending_ ? 1 : 0) + (pendingFF_ ? 1 : 0) + (oddPending_ ? 1 : 0) + (high_ ? 2 : 0);
}

void LogDecoder::Feed(std::span<const std::uint8_t> bytes, TextSink& out) {
  for (std::uint8_t b : bytes) {
    if (encoding_ == LogEncoding::Undecided) {
      if (pendingFF_) {
        pendingFF_ = false;
        if (b == 0xFE) {
          encoding_ = LogEncoding::Utf16;
          continue;
        }
        encoding_ = LogEncoding::Utf8;
        Utf8Byte(0xFF, out);  // no UTF-8: from here on OEM
      } else if (b == 0xFF) {
        pendingFF_ = true;
        continue;
      } else {
        encoding_ = LogEncoding::Utf8;
      }
    }
    switch (encoding_) {
      case LogEncoding::Utf8:
        Utf8Byte(b, out);
        break;
      case LogEncoding::Oem:
        OemByte(b, out);
        break;
      case LogEncoding::Utf16:
        if (oddPending_) {
          oddPending_ = false;
          Utf16Unit(static_cast<char16_t>(odd_ | (b << 8)), out);
        } else {
          odd_ = b;
          oddPending_ = true;
        }
        break;
      case LogEncoding::Undecided:
        break;
    }
  }
  OemFlush(out);
}

void LogDecoder::Finish(TextSink& out) {
  if (pendingFF_) {
    pendingFF_ = false;
    encoding_ = LogEncoding::Utf8;
    Utf8Byte(0xFF, out);
  }
  if (seqLen_ > 0) {
    seqLen_ = seqNeed_ = 0;
    Emit(kReplacement, out);
  }
  if (leadPending_) {
    leadPending_ = false;
    OemFlush(out);
    Emit(kReplacement, out);
  }
  OemFlush(out);
  if (high_) {
    high_ = 0;
    Emit(kReplacement, out);
  }
  if (oddPending_) {
    oddPending_ = false;
    Emit(kReplacement, out);
  }
}

bool LogDecoder::Emit(char16_t c, TextSink& out) {
  if (first_) {
    first_ = false;
    if (c == 0xFEFF) return false;  // a UTF-8 byte-order mark
  }
  out.Put(c == 0 ? kReplacement : c);
  return true;
}

void LogDecoder::Utf8Byte(std::uint8_t b, TextSink& out) {
  if (seqLen_ == 0 && (b == '\r' || b == '\n')) {
    lineLen_ = lineChars_ = 0;
    lineOver_ = false;
    Emit(b, out);
    return;
  }
  // The line from its first byte above 0x7F, for SwitchToOem.
  if (!lineOver_ && (lineLen_ > 0 || b >= 0x80)) {
    if (lineLen_ == line_.size())
      lineOver_ = true;
    else
      line_[lineLen_++] = b;
  }
  const bool tracked = lineLen_ > 0 && !lineOver_;
  std::uint32_t cp = 0;
  if (seqLen_ == 0) {
    if (b < 0x80) {
      cp = b;
    } else {
      lo_ = 0x80, hi_ = 0xBF;
      if (b >= 0xC2 && b <= 0xDF) {
        seqNeed_ = 1;
      } else if (b >= 0xE0 && b <= 0xEF) {
        seqNeed_ = 2;
        if (b == 0xE0) lo_ = 0xA0;  // overlong
        if (b == 0xED) hi_ = 0x9F;  // surrogates
      } else if (b >= 0xF0 && b <= 0xF4) {
        seqNeed_ = 3;
        if (b == 0xF0) lo_ = 0x90;  // overlong
        if (b == 0xF4) hi_ = 0x8F;  // beyond U+10FFFF
      } else {
        SwitchToOem(b, out);
        return;
      }
      seq_[seqLen_++] = b;
      return;
    }
  } else {
    if (b < lo_ || b > hi_) {
      SwitchToOem(b, out);
      return;
    }
    lo_ = 0x80, hi_ = 0xBF;
    seq_[seqLen_++] = b;
    if (--seqNeed_ > 0) return;
    const std::uint8_t leadBits[] = {0, 0x1F, 0x0F, 0x07};
    cp = seq_[0] & leadBits[seqLen_ - 1];
    for (std::size_t i = 1; i < seqLen_; ++i) cp = (cp << 6) | (seq_[i] & 0x3F);
    seqLen_ = 0;
  }
  auto put = [&](char16_t c) {
    if (Emit(c, out) && tracked) ++lineChars_;
  };
  if (cp >= 0x10000) {
    put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
  } else {
    put(static_cast<char16_t>(cp));
  }
}

void LogDecoder::SwitchToOem(std::uint8_t b, TextSink& out) {
  encoding_ = LogEncoding::Oem;
  std::array<std::uint8_t, kRedecodeBytes + 4> again{};
  std::size_t n = 0;
  if (lineLen_ > 0 && !lineOver_ && out.Retract(lineChars_)) {
    for (std::size_t i = 0; i < lineLen_; ++i) again[n++] = line_[i];  // ends with `b`
  } else {
    for (std::size_t i = 0; i < seqLen_; ++i) again[n++] = seq_[i];
    again[n++] = b;
  }
  seqLen_ = seqNeed_ = lineLen_ = lineChars_ = 0;
  for (std::size_t i = 0; i < n; ++i) OemByte(again[i], out);
}

void LogDecoder::OemByte(std::uint8_t b, TextSink& out) {
  if (batchLen_ + 2 > batch_.size()) OemFlush(out);
  if (leadPending_) {
    leadPending_ = false;
    if (b >= 0x40) {
      batch_[batchLen_++] = lead_;
      batch_[batchLen_++] = b;
      return;
    }
    OemFlush(out);
    Emit(kReplacement, out);
  }
  if (b >= 0x80 && oem_.isLeadByte && oem_.isLeadByte(b)) {
    leadPending_ = true;
    lead_ = b;
    return;
  }
  batch_[batchLen_++] = b;
}

void LogDecoder::OemFlush(TextSink& out) {
  if (batchLen_ == 0) return;
  const std::u16string text = oem_.decode(std::span<const std::uint8_t>(batch_.data(), batchLen_));
  batchLen_ = 0;
  for (char16_t c : text) Emit(c, out);
}

void LogDecoder::Utf16Unit(char16_t u, TextSink& out) {
  if (high_) {
    const char16_t high = std::exchange(high_, 0);
    if (IsLowSurrogate(u)) {
      Emit(high, out);
      Emit(u, out);
      return;
    }
    Emit(kReplacement, out);
  }
  if (IsHighSurrogate(u))
    high_ = u;
  else
    Emit(IsLowSurrogate(u) ? kReplacement : u, out);
}

}  // namespace vantrel::runs
