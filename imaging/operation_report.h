// What the user is told when a launched imagex run ends, decided from plain values: the balloon's title (the
// caption of the button that started the run, or a title of its own for the variants of a button), its text
// (finished, or failed with the exit code and the system's text for it), its icon, and the tray tip while
// runs are in flight. The Win32 side looks the texts up, reads the exit code and makes the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "imaging/imaging_commands.h"

namespace vantrel::imaging {

// String-table identifiers of the reports.
inline constexpr std::uint16_t kTitleUnmountCommit = 50101;   // unmount that commits the changes
inline constexpr std::uint16_t kTitleMountReadWrite = 50102;  // read-write mount
inline constexpr std::uint16_t kTitleCaptureBoot = 50103;     // bootable capture
inline constexpr std::uint16_t kTitleAppend = 50104;          // append to an existing image
inline constexpr std::uint16_t kTextFinished = 50105;         // the run ended with exit code 0
inline constexpr std::uint16_t kTextFailed = 50106;           // "%1" = the exit code as ExitCodeText gives it
inline constexpr std::uint16_t kTextCodeWithHex = 50107;      // "%1" decimal, "%2" hexadecimal
inline constexpr std::uint16_t kTipRunning = 50108;           // "%1" = how many runs are in flight
inline constexpr std::uint16_t kTipIdle = 40101;              // the tip while nothing runs

// The captions of the buttons that start the runs.
inline constexpr std::uint16_t kCaptionMount = 10109, kCaptionUnmount = 10110, kCaptionApply = 10111,
                               kCaptionCapture = 10117;

// The balloon's title for a run of `op`.
std::uint16_t ReportTitleId(Operation op);

// An exit code "looks like an HRESULT" when its severity bit is set (failure HRESULTs and NTSTATUS errors such
// as 0xC0000005): such codes are known by their hexadecimal form.
constexpr bool LooksLikeHResult(std::uint32_t code) {
  return (code & 0x80000000u) != 0;
}

// "%1", "%2", ... of `pattern` replaced by values[0], values[1], ...; "%%" stays as it is written.
std::u16string FillIn(std::u16string_view pattern, std::initializer_list<std::u16string_view> values);

// The exit code as a user can look it up: the signed decimal value a command prompt shows (%ERRORLEVEL%), and,
// for a code that looks like an HRESULT, also "0x" and eight upper-case hexadecimal digits, through the
// pattern of kTextCodeWithHex.
std::u16string ExitCodeText(std::uint32_t code, std::u16string_view withHexPattern);

enum class BalloonIcon { Info, Error };

struct Balloon {
  std::uint16_t titleId;
  std::u16string text;
  BalloonIcon icon;
};

// The report of a run of `op` that ended with `exitCode`. `text` looks up a string-table entry; `systemText`
// is the system's own text for the code (empty when it has none), given on a line of its own after the code.
Balloon DecideBalloon(Operation op, std::uint32_t exitCode, const std::function<std::u16string(std::uint16_t)>& text,
                      std::u16string_view systemText);

// The tray tip: the idle tip when nothing runs, otherwise the running pattern with the count filled in.
std::u16string TrayTip(std::size_t running, const std::function<std::u16string(std::uint16_t)>& text);

// `text` cut to fit a field of `capacity` UTF-16 units that ends in a NUL, never between the two halves of a
// surrogate pair.
std::u16string FitField(std::u16string text, std::size_t capacity);

}  // namespace vantrel::imaging
