// The main window on Windows: created hidden from the control tree, loaded by Form_Load, then shown.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/control_tree.h"
#include "imaging/panels_win32.h"
#include "resources/dpi_scale.h"
#include "runtime/handles.h"
#include "runtime/process_watch.h"
#include "skin/mac_window_win32.h"
#include "wim/image_list_win32.h"

namespace vantrel::app {

class MainWindow final : public imaging::PanelHost, public wim::ControlHost, private skin::MacWindowEvents {
 public:
  // Registers the window classes, creates the window and its controls at their design values (hidden),
  // runs Form_Load and shows the window. Returns null when the window cannot be created.
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance, int showCommand = SW_SHOWNORMAL);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // The window of a control by its name (a text box, button, panel, label), or null.
  HWND Control(std::string_view name) const override;
  HWND Owner() const override { return hwnd_; }
  // A launched run is watched until the tool ends; the tray tip counts the runs in flight and a balloon on the
  // tray icon tells how each one ended.
  // The line launched last is what the tray menu's copy entry copies.
  void Launched(imaging::Operation op, imaging::Tool tool, const std::u16string& line,
                runtime::UniqueKernelHandle process) const override;
  std::optional<std::uint32_t> WimImageCount() const override { return imageInfo_.MountImageCount(); }
  // How many launched runs have not ended yet.
  std::size_t RunsInFlight() const { return processes_->InFlight(); }

  // Handlers of the main window, named after their widget and event.
  void Form_Load();
  void LoadCaptions();
  void Option1_Click();
  void Option2_Click();
  // A press on the header band; the same move as the title strip's: the system's own for the left button,
  // the window following the pointer until the release for the right and middle buttons.
  void Image1_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  // Handlers of the title-bar control's events; its other events have no handler here.
  void MacWindow_MoveWindow(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void MacWindow_CloseWindow();
  void MacWindow_MiniWindow();
  // The title-bar control `MacWindow`, or null.
  skin::MacWindowControl* TitleBar() const { return macWindow_.get(); }

  // The move request: let go of the mouse and start the system's own window move, as a press on a
  // caption bar would.
  void StartWindowMove();

  // Runs the message loop until the program ends; Tab and the arrow keys move between controls.
  static int RunMessageLoop(HWND window);
  // The keyboard navigation of the message loop for one message: Tab and Shift+Tab walk the design tab
  // order, everything else goes to the dialog manager (arrow keys in the mode-button group and the rest).
  // True when the message was handled and must not be dispatched.
  static bool DialogMessage(HWND window, MSG* msg);

 private:
  explicit MainWindow(HINSTANCE instance);
  bool CreateControls();
  // The window picture, the panel picture and the font at the window's DPI.
  void MakeArtwork();
  // The window's big and small icons at its DPI, where the class's (made for the screen's DPI) are not.
  void MakeIcons(bool atStartUp);
  // A control's rectangle in its parent at the window's DPI.
  RECT Place(const ControlDef& def) const;
  void OnDpiChanged(int dpi, const RECT& suggested);
  bool CreatePanelChildren(std::string_view panel);
  HWND CreateControl(const ControlDef& def, HWND parent);
  // A control already created, or null; Control() also fills a panel whose child is asked for.
  HWND Existing(std::string_view name) const;
  // The size of a caption in the window's font.
  SIZE TextSize(const std::wstring& text) const;
  void OnCommand(HWND control, int notification);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  void PaintWindow();
  void RunEnded(imaging::Operation op, imaging::Tool tool, runtime::ProcessEnd end) const;
  // The action buttons' tooltips say which tool a click starts. The tooltip window is made when the pointer
  // first comes over one of them (`over`), so start-up makes none; a panel filled later adds its buttons.
  void MakeToolTips(HWND over);
  void AddToolTips(std::string_view panel);
  LRESULT OnNotify(NMHDR* header);
  runtime::UniqueWindow toolTips_;
  std::wstring toolTipText_;  // the text the tooltip shows now; it reads it from here
  void ShowRunsInTip() const;
  // Keyboard focus, kept as a dialog keeps it: the control that had it when the window was deactivated
  // gets it back when the window (or, after a restore from minimised, its frame) gets the focus again.
  bool CanTakeFocus(HWND control) const;
  void FocusControl(HWND control, bool selectText);
  void FocusFirstTabStop();
  std::string_view TabStopFrom(std::string_view from, bool backwards) const;
  void ShowView(std::string_view shown, std::string_view hidden);
  bool MoveFocusByTab(bool backwards);
  void OnSetFocus(HWND lost);
  HWND savedFocus_ = nullptr;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  runtime::UniqueWindow window_;
  std::map<std::string, HWND, std::less<>> controls_;
  resources::DpiScale scale_;
  runtime::UniqueGdiObject font_;
  runtime::UniqueGdiObject windowPicture_;  // DIB section of the window picture
  runtime::UniqueGdiObject panelPicture_;   // DIB section of the panel pinstripe
  runtime::UniqueGdiObject panelBrush_;     // RGB(236,236,236) behind check boxes
  runtime::UniqueGdiObject optionBrush_;    // system colour 5 behind the mode buttons
  // Icons drawn for the window's DPI: the tray keeps the small one of start-up for the program's life (its
  // record names it), the others are replaced when the DPI changes.
  runtime::UniqueIcon trayIcon_, bigIcon_, smallIcon_;
  imaging::FilesDialog filesDialog_;
  // The launched runs not yet reported; their handles close when reported or when the window object goes.
  std::unique_ptr<runtime::ProcessWatch> processes_ = std::make_unique<runtime::ProcessWatch>();
  // The title-bar control. Declared after window_, so it goes (with its window) before the main window.
  std::unique_ptr<skin::MacWindowControl> macWindow_;
  // What the WIM files named in the panels hold, shown beside the index box and the append box.
  wim::PanelImageInfo imageInfo_{*this};
  void MacWindowEvent(skin::Event e, skin::MouseArgs& args) override;
  void FollowPointerWhileHeld(std::int16_t button);
};

}  // namespace vantrel::app
