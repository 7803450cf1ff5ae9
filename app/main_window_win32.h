// The main window on Windows: created hidden from the control tree, loaded by Form_Load, then shown.
//
// One class keeps the window's state; its code is spread over files by concern:
//   main_window_win32.cpp           creation, Form_Load, captions, the message handler, command dispatch
//   main_window_layout_win32.cpp    the control factory, artwork, fonts, icons, DPI relayout, painting
//   main_window_focus_win32.cpp     focus, Tab order and the message loop's keyboard handling
//   main_window_runs_win32.cpp      launched runs, their logs, their reports, the tray tip and the taskbar button
//   main_window_progress_win32.cpp  the progress strip under the title bar
//   main_window_mounts_win32.cpp    the mounted images: the line, the list, picks and repairs
//   main_window_tooltips_win32.cpp  the action buttons' tooltips
//   main_window_run_window_win32.cpp  the run window and the ways to open it
// The window drag is window_drag_win32.*, the panels are panel_win32.*.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_tree.h"
#include "app/panel_win32.h"
#include "imaging/panels_win32.h"
#include "imaging/tool_lookout_win32.h"
#include "mounts/mount_choice.h"
#include "mounts/mount_list_win32.h"
#include "runs/run_book.h"
#include "runs/run_log_win32.h"
#include "runs/run_window_win32.h"
#include "runs/taskbar_progress_win32.h"
#include "resources/dpi_scale.h"
#include "runtime/handles.h"
#include "runtime/process_watch.h"
#include "runs/run_book.h"
#include "runs/run_window_win32.h"
#include "runtime/window.h"
#include "skin/mac_window_win32.h"
#include "wim/image_list_win32.h"

namespace vantrel::app {

class MainWindow final : public runtime::Window<MainWindow>,
                         public imaging::PanelHost,
                         private PanelOwner,
                         private wim::ListCommandSink,
                         private skin::MacWindowEvents {
 public:
  static constexpr wchar_t kClassName[] = L"VantrelMainWindow";

  // Registers the window classes, creates the window and its controls at their design values (hidden),
  // runs Form_Load and shows the window. Returns null when the window cannot be created.
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance, int showCommand = SW_SHOWNORMAL);
  ~MainWindow();

  // PanelHost: a control by its id (a control of the capture panel fills that panel first), the owner of
  // message boxes, and the runs launched.
  HWND Control(ControlId id) override;
  HWND Owner() const override { return hwnd(); }
  // A launched run is watched until the tool ends; the tray tip counts the runs in flight and a balloon on the
  // tray icon tells how each one ended. The line launched last is what the tray menu's copy entry copies.
  // The run's output goes to `log`, followed while it runs.
  void Launched(imaging::Operation op, imaging::Tool tool, const std::u16string& line,
                runtime::UniqueKernelHandle process, runs::RunLogResult log) override;
  std::optional<wim::FileFacts> MountFileFacts() override { return imageInfo_.MountFacts(); }
  std::optional<wim::FileFacts> CaptureFileFacts() override { return imageInfo_.CaptureFacts(); }
  // How many launched runs have not ended yet.
  std::size_t RunsInFlight() const { return processes_.InFlight(); }
  // Windows' list of mounted images as last read (read again whenever the window is activated); none before the
  // first read has come, or when the imaging library cannot say.
  const mounts::MountList& Mounts() const { return mounts_.Known(); }
  const mounts::MountList* MountedImages() override { return &mounts_.Known(); }
  void MountingReadWrite(std::u16string_view folder) override;

  // Handlers of the main window, named after their widget and event.
  void Form_Load();
  void LoadCaptions();
  void Option1_Click();
  void Option2_Click();
  // A press on the header band; the same move as the title strip's.
  void Image1_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  // Handlers of the title-bar control's events; its other events have no handler here.
  void MacWindow_MoveWindow(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void MacWindow_CloseWindow();
  void MacWindow_MiniWindow();
  // The title-bar control `MacWindow`, or null.
  skin::MacWindowControl* TitleBar() const { return macWindow_.get(); }

  // The run window (main_window_run_window_win32.cpp): made the first time it is opened (the tray menu's entry, a
  // click on a balloon, the progress strip), then kept, hidden when closed, and shown again.
  void OpenRunWindow();
  runs::RunBook& Runs() { return runs_; }
  runs::RunWindow* RunWindowIfMade() const { return runWindow_.get(); }

  // Runs the message loop until the program ends; Tab and the arrow keys move between controls.
  static int RunMessageLoop(HWND window);
  // The keyboard navigation of the message loop for one message: Tab and Shift+Tab walk the design tab
  // order, everything else goes to the dialog manager (arrow keys in the mode-button group and the rest).
  // True when the message was handled and must not be dispatched.
  static bool DialogMessage(HWND window, MSG* msg);

 private:
  friend class runtime::Window<MainWindow>;
  explicit MainWindow(HINSTANCE instance);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnWindowGone();

  // Creation and layout (main_window_layout_win32.cpp).
  // The window class: the program icon at the sizes of the screen's DPI, made once and kept for the program's
  // life (the tray icon shows the small one).
  static WNDCLASSEXW WindowClass(HINSTANCE instance);
  bool CreateControls();
  bool CreatePanelChildren(ControlId panel);
  HWND CreateControl(const ControlDef& def, HWND parent);
  bool CreateTitleBar(const ControlDef& def, HWND parent);
  // A control already created, or null.
  HWND Existing(ControlId id) const { return controls_[static_cast<std::size_t>(RowOf(id))]; }
  // The id of one of this window's controls, or none for any other window.
  std::optional<ControlId> IdOf(HWND control) const;
  // The window picture, the panel picture and the font at the window's DPI.
  void MakeArtwork();
  // The window's big and small icons at its DPI, where the class's (made for the screen's DPI) are not.
  void MakeIcons(bool atStartUp);
  // A control's rectangle in its parent at the window's DPI.
  RECT Place(const ControlDef& def) const;
  // The window's own size at its DPI, as Form_Load gives it.
  SIZE WindowSize() const;
  void OnDpiChanged(int dpi, const RECT& suggested);
  // The size of a caption in the window's font.
  SIZE TextSize(const std::wstring& text) const;
  void PaintWindow();

  // PanelOwner: what the panels hand on; the window's own children go the same way.
  void OnCommand(ControlId id, HWND control, int notification) override;
  LRESULT OnNotify(NMHDR* header) override;
  LRESULT OnControlColour(UINT message, HDC dc, HWND control) override;
  void OnPointerOver(HWND control) override { MakeToolTips(control); }
  HBITMAP PanelPicture() const override { return panelPicture_.get(); }

  // Focus and keyboard (main_window_focus_win32.cpp). Keyboard focus is kept as a dialog keeps it: the
  // control that had it when the window was deactivated gets it back when the window (or, after a restore
  // from minimised, its frame) gets the focus again.
  bool CanTakeFocus(HWND control) const;
  void FocusControl(HWND control, bool selectText);
  void FocusFirstTabStop();
  std::string_view TabStopFrom(std::string_view from, bool backwards) const;
  void ShowView(ControlId shown, ControlId hidden);
  bool MoveFocusByTab(bool backwards);
  void OnSetFocus(HWND lost);
  void KeepFocusOnDeactivation(UINT message, WPARAM wParam);

  // The tray's way to the run window, set by Form_Load (main_window_run_window_win32.cpp).
  void ConnectRunWindow();

  // Runs (main_window_runs_win32.cpp). While runs are in flight their logs are looked at every kFollowMs; each
  // look reads only what the tools added.
  void RunEnded(std::uint32_t id, imaging::Operation op, imaging::Tool tool, runtime::ProcessEnd end);
  bool FollowLogs();
  void OnFollowTimer();
  // The runs moved on (launched, ended, a new percentage): the tray tip, the taskbar button, the strip and the
  // run window follow.
  void RunsMoved();
  // The taskbar button shows the error state for kFailureShownMs after a failure.
  void ShowFailureForAMoment();
  void OnFailureTimer();

  // The mounted images (main_window_mounts_win32.cpp). The line beside the mount folder says what is mounted
  // once a read has come; the list opens from it, or with F4 / Alt+Down in the mount folder box.
  void AttachMountsLine();
  void MountsRead();
  void ShowMountsList();
  // wim::ListCommandSink: a command picked below the image list.
  void ListCommandPicked(wim::ListCommand command) override;
  void PickMount(const mounts::MountEntry& entry);
  static LRESULT CALLBACK MountFolderBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self);

  // The progress strip (main_window_progress_win32.cpp).
  RECT StripRect() const;
  void UpdateStrip();
  void PaintStrip(HDC dc) const;
  bool StripPressed(POINT at);
  void MakeStripTip();
  LRESULT OnStripTipText(NMHDR* header);

  // Tooltips (main_window_tooltips_win32.cpp). The action buttons' tooltips say which tool a click starts. The
  // tooltip window is made when the pointer first comes over one of them (`over`), so start-up makes none; a
  // panel filled later adds its buttons.
  void MakeToolTips(HWND over);
  void AddToolTips(ControlId panel);
  // The tooltips' widths at the window's DPI.
  void ScaleToolTips();
  LRESULT OnToolTipText(NMHDR* header);

  // skin::MacWindowEvents.
  void MacWindowEvent(skin::Event e, skin::MouseArgs& args) override;

  HINSTANCE instance_;
  std::array<HWND, kControlCount> controls_{};  // by row of the control tree
  Panel mountPanel_{*this}, capturePanel_{*this};
  resources::DpiScale scale_;
  runtime::UniqueFont font_;
  runtime::UniqueBitmap windowPicture_;  // DIB section of the window picture
  runtime::UniqueBitmap panelPicture_;   // DIB section of the panel pinstripe
  runtime::UniqueBrush panelBrush_;      // RGB(236,236,236) behind check boxes
  runtime::UniqueBrush optionBrush_;     // system colour 5 behind the mode buttons
  // Icons drawn for the window's DPI: the tray keeps the small one of start-up for the program's life (its
  // record names it), the others are replaced when the DPI changes.
  runtime::UniqueIcon trayIcon_, bigIcon_, smallIcon_;
  imaging::FilesDialog filesDialog_;
  // The image list's export and split ask for their destinations in dialogs of their own, which keep their filters.
  imaging::FilesDialog exportDialog_, splitDialog_;
  HWND savedFocus_ = nullptr;
  // The launched runs not yet reported; their handles close when reported or when the window object goes.
  runtime::ProcessWatch processes_;
  runtime::UniqueWindow toolTips_;
  std::wstring toolTipText_;  // the text the tooltip shows now; it reads it from here
  // The tool a click would start, for the tooltips: looked at on a thread of its own from the first hover
  // over an action button on, never while the pointer hovers.
  static constexpr UINT kToolLookoutMessage = WM_APP + 18;
  imaging::ToolLookout tools_{kToolLookoutMessage};
  // The mounted images, read off this thread; the message says a read has come.
  static constexpr UINT kMountListMessage = WM_APP + 19;
  mounts::MountListReader mounts_{kMountListMessage};
  // The folders this session mounted read-write into, for the tray tip's reminder.
  mounts::SessionMounts sessionMounts_;
  // The logs of the runs in flight, and where their progress shows.
  static constexpr UINT_PTR kFollowTimer = 0x5718, kFailureTimer = 0x5719;
  static constexpr UINT kFollowMs = 250, kFailureShownMs = 3000;
  static constexpr int kLooksAtEnd = 8;
  struct FollowedLog {
    std::uint32_t id;
    runs::RunLog log;
  };
  std::vector<FollowedLog> logs_;
  std::unique_ptr<runs::TaskbarProgressView> taskbar_;  // made with the window: it lets the button's message in
  bool showingFailure_ = false;
  std::wstring tipShown_;  // the runs' tip last sent to the tray
  struct Strip {
    bool visible = false;
    std::optional<int> tenths;  // none: a piece moves along
    int step = 0;
  } strip_;
  static constexpr UINT_PTR kStripToolId = 1;
  static constexpr int kStripTipWidth = 400;
  runtime::UniqueWindow stripTip_;
  std::wstring stripTipText_;
  // The title-bar control; its window goes with the main window.
  std::unique_ptr<skin::MacWindowControl> macWindow_;
  // What the WIM files named in the panels hold, shown beside the index box and the append box.
  wim::PanelImageInfo imageInfo_{*this, *this};
  // The runs of this session, and the window that shows them (which goes first: it refers to the book).
  runs::RunBook runs_;
  std::unique_ptr<runs::RunWindow> runWindow_;
};

}  // namespace vantrel::app
