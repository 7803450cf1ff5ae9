#include "tray/tray_icon.h"

#include <algorithm>

namespace vantrel::tray {

namespace {

void PutLittleEndian(std::array<std::uint8_t, 88>& out, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// The text bytes kept, then the NUL, then spaces to the end of the field.
std::array<char, 64> Terminate(std::array<char, 64> field, std::size_t textLength) {
  field[textLength] = '\0';
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(textLength) + 1, field.end(), ' ');
  return field;
}

}  // namespace

std::array<std::uint8_t, 88> Serialize(const TrayIconData& data) {
  std::array<std::uint8_t, 88> out{};
  PutLittleEndian(out, 0, data.cbSize);
  PutLittleEndian(out, 4, data.hWnd);
  PutLittleEndian(out, 8, data.uID);
  PutLittleEndian(out, 12, data.uFlags);
  PutLittleEndian(out, 16, data.uCallbackMessage);
  PutLittleEndian(out, 20, data.hIcon);
  std::transform(data.szTip.begin(), data.szTip.end(), out.begin() + kTipOffset,
                 [](char c) { return static_cast<std::uint8_t>(c); });
  return out;
}

std::array<char, 64> TipField(const std::vector<std::string>& encodedCharacters) {
  constexpr std::size_t kMaxText = kTipSize - 1;
  std::array<char, 64> field{};
  std::size_t used = 0;
  for (const std::string& character : encodedCharacters) {
    // Stop at the first character that does not fit whole; dropping it and going on with
    // narrower ones would garble the text.
    if (character.size() > kMaxText - used) break;
    std::copy(character.begin(), character.end(),
              field.begin() + static_cast<std::ptrdiff_t>(used));
    used += character.size();
  }
  return Terminate(field, used);
}

std::array<char, 64> TipField(std::string_view singleByteText) {
  std::array<char, 64> field{};
  const std::size_t used = std::min(singleByteText.size(), kTipSize - 1);
  std::copy_n(singleByteText.begin(), used, field.begin());
  return Terminate(field, used);
}

void PrepareAdd(TrayIconData& data, std::uint32_t hWnd, std::uint32_t hIcon) {
  data.uID = 0;
  data.hWnd = hWnd;
  data.cbSize = kRecordSize;
  data.hIcon = hIcon;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.uFlags = kFlagsAdd;
}

void PrepareTip(TrayIconData& data, const std::array<char, 64>& tipField) {
  data.szTip = tipField;
  data.uFlags = kFlagsTip;
}

void PrepareDelete(TrayIconData& data) { data.uFlags = kFlagsDelete; }

TrayAction DecideTrayMessage(std::uint32_t uMsg, std::intptr_t lParam) {
  if (uMsg != kTrayCallbackMessage) return TrayAction::PassOn;
  if (lParam == kLeftButtonUp) return TrayAction::RestoreAndFocus;
  if (lParam == kRightButtonUp) return TrayAction::Popup;
  return TrayAction::PassOn;
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

}  // namespace vantrel::tray
