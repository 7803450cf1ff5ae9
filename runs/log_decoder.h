// A run's log as the tools write it, bytes to UTF-16 text. imagex and DISM write redirected output in UTF-16LE
// when the file starts with the byte-order mark FF FE, otherwise in UTF-8 or in the OEM code page (936, GBK, on
// Simplified Chinese Windows), with nothing in the file to say which. The bytes arrive in pieces split anywhere.
//
// Without a byte-order mark the log is taken as UTF-8 until a byte sequence is seen that UTF-8 does not allow;
// from there on it is the OEM code page, for good. The current line is decoded again as OEM from its first
// byte above 0x7F (the earlier lines stay as they were read: ASCII reads the same either way, and a whole line
// of GBK that also passes as UTF-8 is rare), provided that part of the line is short (kRedecodeBytes) and
// still the reader's to change. A GBK line such as 映像 (D3 B3 CF F1), whose first character passes as UTF-8,
// so comes out right.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vantrel::runs {

// The OEM code page. `decode` turns bytes that hold whole characters into UTF-16 (Windows:
// MultiByteToWideChar with CP_OEMCP); `isLeadByte` says whether a byte starts a two-byte character (Windows:
// IsDBCSLeadByteEx), empty for a single-byte code page. A trail byte is at least 0x40 in every double-byte
// code page, so a lead byte before a line break is no character and the line break stays one.
struct CodePage {
  std::function<std::u16string(std::span<const std::uint8_t>)> decode;
  std::function<bool(std::uint8_t)> isLeadByte;
};

// Code page 437, the OEM code page of English Windows: ASCII and the box-drawing set.
CodePage Cp437();

enum class LogEncoding { Undecided, Utf8, Oem, Utf16 };

inline constexpr char16_t kReplacement = u'\uFFFD';
inline constexpr std::size_t kRedecodeBytes = 256;

// What the decoder hands on: characters in order (U+0000 comes as U+FFFD), and, once, the request to take back
// the last `count` characters of the current line to decode them again. Retract says false when they are no
// longer there to take back; then they stay.
class TextSink {
 public:
  virtual void Put(char16_t c) = 0;
  virtual bool Retract(std::size_t count) = 0;

 protected:
  ~TextSink() = default;
};

class LogDecoder {
 public:
  explicit LogDecoder(CodePage oem);

  void Feed(std::span<const std::uint8_t> bytes, TextSink& out);
  // The log is complete: what is left of a cut character comes out as U+FFFD.
  void Finish(TextSink& out);

  LogEncoding encoding() const { return encoding_; }
  // Bytes read but not yet decoded (a cut character; at most 3).
  std::size_t pendingBytes() const;

 private:
  void Utf8Byte(std::uint8_t b, TextSink& out);
  void SwitchToOem(std::uint8_t b, TextSink& out);
  void OemByte(std::uint8_t b, TextSink& out);
  void OemFlush(TextSink& out);
  void Utf16Unit(char16_t u, TextSink& out);
  bool Emit(char16_t c, TextSink& out);  // false: dropped (a leading U+FEFF)

  CodePage oem_;
  LogEncoding encoding_ = LogEncoding::Undecided;
  bool first_ = true;       // no character handed on yet (a leading U+FEFF is dropped)
  bool pendingFF_ = false;  // the first byte was FF: a byte-order mark if FE follows
  // UTF-8: the sequence under way.
  std::array<std::uint8_t, 4> seq_{};
  std::size_t seqLen_ = 0, seqNeed_ = 0;
  std::uint8_t lo_ = 0x80, hi_ = 0xBF;  // the range of the next continuation byte
  // UTF-8: the current line from its first byte above 0x7F, while short, and the characters made of it.
  std::array<std::uint8_t, kRedecodeBytes> line_{};
  std::size_t lineLen_ = 0, lineChars_ = 0;
  bool lineOver_ = false;
  // OEM: a lead byte waiting for its trail, and whole characters waiting for one call of `decode`.
  bool leadPending_ = false;
  std::uint8_t lead_ = 0;
  std::array<std::uint8_t, 512> batch_{};
  std::size_t batchLen_ = 0;
  // UTF-16: an odd byte, a high surrogate waiting for its low one.
  bool oddPending_ = false;
  std::uint8_t odd_ = 0;
  char16_t high_ = 0;
};

}  // namespace vantrel::runs
