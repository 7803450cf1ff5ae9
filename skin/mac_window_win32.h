// The title-bar control MacWindow on Windows: one child window of its own class that owns the
// platform-free model (skin/mac_window.h) and is its host. The window paints the bar from the seven
// title-bar pictures and the caption, hit-tests and routes the mouse through the model, holds the
// mouse capture while a button is down on a part, and runs the 10 ms hover timer Timer1.
//
// The control closes, minimises or moves nothing itself: its events go to the MacWindowEvents the
// host gave it, which decides what they mean.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "resources/dpi_scale.h"
#include "runtime/handles.h"
#include "runtime/window.h"
#include "skin/mac_window.h"

namespace vantrel::skin {

// The host window's side of the control: receives every event the control raises, on the UI thread,
// while the control is handling the mouse message or timer tick that caused it. The receiver may
// change args (the control reads Button again after MouseMove and MiniMouseMove), may run a nested
// message loop (a window move), and may destroy the control's window or the control itself.
class MacWindowEvents {
 public:
  virtual void MacWindowEvent(Event e, MouseArgs& args) = 0;

 protected:
  ~MacWindowEvents() = default;
};

class MacWindowControl final : public runtime::Window<MacWindowControl>, private MacWindowHost {
 public:
  // Where and how the host places the control.
  struct Site {
    HWND parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;  // design pixels (96 dpi) in the parent
    int dpi = resources::kDesignDpi;                // the parent's DPI: the control is laid out and drawn at it
    std::u16string displayName;                     // the host's name for the instance
    FontRef ambientFont;                            // the host's font
    MacWindowEvents* events = nullptr;              // may be null: events go nowhere
    int id = 0;                                     // the control id its window carries
  };

  // Creates the control's window (hidden) at the site and runs UserControl_Initialize. Null when
  // the window cannot be created. The host then runs InitProperties or ReadProperties, and Show.
  static std::unique_ptr<MacWindowControl> Create(HINSTANCE instance, const Site& site);
  ~MacWindowControl();
  MacWindowControl(const MacWindowControl&) = delete;
  MacWindowControl& operator=(const MacWindowControl&) = delete;

  // Lifecycle hooks as the host's framework runs them.
  void InitProperties() { model_.UserControl_InitProperties(); }
  // False, with nothing changed, for a stored "Caption" that is not text or "Font" that is not a font.
  bool ReadProperties(const PropertyBag& bag) { return model_.UserControl_ReadProperties(bag); }
  void WriteProperties(PropertyBag& bag) { model_.UserControl_WriteProperties(bag); }
  // Makes the window visible; becoming visible runs UserControl_Show (layout, normal pictures).
  void Show();

  // The control's properties.
  const std::u16string& Caption() const { return model_.Caption(); }
  void SetCaption(std::u16string caption) { model_.SetCaption(std::move(caption)); }
  const FontRef& Font() const { return model_.Font(); }
  void SetFont(FontRef font) { model_.SetFont(std::move(font)); }

  // The control's window is hwnd(), null once the window is gone (destroyed with its parent); FromHandle gives
  // the control that owns a window of this class.
  // The model, read-only: the pictures shown, the layout, the timer state.
  const MacWindow& Model() const { return model_; }

  // The font handle the caption is drawn with (made once per font description and DPI).
  HFONT CaptionFont() const { return font_.get(); }

  // The DPI the control is drawn at. SetDpi moves and sizes the window to its site at the new DPI, makes
  // its pictures and font again for it and repaints (the parent moved to a monitor with another scale).
  resources::DpiScale Scale() const { return scale_; }
  void SetDpi(int dpi);
  // Where a part is drawn, in client pixels at the control's DPI.
  RECT PartRect(Part part) const;
  // The accessible child (title_bar_accessible.h) at a point in client pixels, or none outside.
  std::optional<long> AccessibleChildAt(POINT client) const;
  // Posted by the accessible object's default action: presses the button of child id wParam.
  static constexpr UINT kPressPartMessage = WM_USER + 1;

  // The window class name.
  static constexpr wchar_t kClassName[] = L"VantrelMacWindow";

 private:
  MacWindowControl(HINSTANCE instance, const Site& site);

  // MacWindowHost.
  void RaiseEvent(Event e, MouseArgs& args) override;
  void PropertyChanged(std::u16string_view name) override;
  void TimerEnabledChanged(bool running) override;
  void PicturesChanged() override;
  void LayoutChanged() override;
  void SetOuterSize(double widthTwips, double heightTwips) override;
  std::pair<float, float> MeasureCaption(std::u16string_view text, const FontRef& font) override;
  std::u16string AmbientDisplayName() override { return displayName_; }
  FontRef AmbientFont() override { return ambientFont_; }

  friend class runtime::Window<MacWindowControl>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Destroyed with the host window: the control object lives on without a window and asks the system for
  // nothing more.
  void OnWindowGone() { initialized_ = false; }
  void OnButtonDown(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void OnButtonUp(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void OnTimer();
  // A mouse message's position in design pixels.
  float DesignX(LPARAM lParam) const;
  float DesignY(LPARAM lParam) const;
  void Render(HDC target);
  void DrawPicture(HDC dc, Part part, bool stretch);
  HBITMAP PictureBitmap(Picture picture);
  HFONT FontFor(const FontRef& font);
  bool EnsureBackBuffer(int width, int height);

  MacWindow model_;
  resources::DpiScale scale_;
  int siteLeft_, siteTop_;  // design pixels
  MacWindowEvents* events_;
  std::u16string displayName_;
  FontRef ambientFont_;
  bool initialized_ = false;  // WM_SIZE reaches the model only after UserControl_Initialize

  // GDI objects, each made once: the pictures at creation, the font per font description, the back
  // buffer per client size. pictureDc_ holds the picture being drawn and measures the caption.
  std::array<runtime::UniqueBitmap, 7> pictures_;
  std::array<SIZE, 7> pictureSizes_{};
  runtime::UniqueFont font_;
  FontRef fontMadeFor_;
  runtime::UniqueMemoryDc pictureDc_;
  runtime::UniqueMemoryDc backDc_;
  HGDIOBJ backDcFirstBitmap_ = nullptr;
  runtime::UniqueBitmap backBitmap_;
  SIZE backSize_{};

  std::shared_ptr<char> alive_{new char()};  // not make_shared: see MakeFont
};

}  // namespace vantrel::skin
