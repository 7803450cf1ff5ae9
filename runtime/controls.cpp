#include "runtime/controls.h"

#include "runtime/buffer.h"

namespace vantrel::runtime {

int CheckState(HWND button) { return button ? static_cast<int>(SendMessageW(button, BM_GETCHECK, 0, 0)) : 0; }

void SetChecked(HWND button, bool checked) {
  if (button) SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  return GrowString([window](wchar_t* buffer, DWORD size) { return GetWindowTextW(window, buffer, static_cast<int>(size)); },
                    static_cast<DWORD>(length) + 1);
}

UniqueFont ControlFont(int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(9, dpi, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lstrcpynW(lf.lfFaceName, L"宋体", LF_FACESIZE);
  return UniqueFont(CreateFontIndirectW(&lf));
}

}  // namespace vantrel::runtime
