#include "tray/tray_icon.h"

#include <algorithm>

namespace vantrel::tray {

namespace {

// The text bytes kept, then the NUL, then spaces to the end of the field.
std::array<char, 64> Terminate(std::array<char, 64> field, std::size_t textLength) {
  field[textLength] = '\0';
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(textLength) + 1, field.end(), ' ');
  return field;
}

}  // namespace

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
  if (lParam == kBalloonUserClick) return TrayAction::OpenRuns;
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
