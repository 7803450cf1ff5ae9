// The program's main window opened for a test, as the program opens it, with the program's end recorded
// instead of carried out; closed again after the test by the program's own way out (tray icon removed,
// window destroyed, program ended).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_win32.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"

namespace vantrel::wintest {

// How many times the program has asked to end since the last fixture set-up.
inline int g_ended = 0;
inline void RecordEnd() { ++g_ended; }

class MainWindowFixture : public testing::Test {
 protected:
  void SetUp() override {
    g_ended = 0;
    saved_ = runtime::TestSeam();
    runtime::TestSeam().endProgram = &RecordEnd;
    BeforeOpen();
    window_ = app::MainWindow::Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
    ASSERT_TRUE(window_);
    main_ = window_->hwnd();
    AfterOpen();
  }
  void TearDown() override {
    if (closeByProgram_ && window_ && window_->hwnd()) window_->MacWindow_CloseWindow();
    window_.reset();
    AfterClose();
    runtime::TestSeam() = saved_;
  }
  // A test program's own preparation: observers to install (the seam is put back after the test), hooks.
  virtual void BeforeOpen() {}
  virtual void AfterOpen() {}
  virtual void AfterClose() {}

  // A control of the main window by its name in the control tree.
  HWND Ctl(const char* name) const {
    const app::ControlDef* def = app::FindControl(name);
    EXPECT_NE(def, nullptr) << name;
    HWND control = def ? window_->Control(def->id) : nullptr;
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  std::unique_ptr<app::MainWindow> window_;
  HWND main_ = nullptr;
  // Closed after the test by the program's own way out; false: the window object is only destroyed.
  bool closeByProgram_ = true;

 private:
  runtime::TestObservers saved_;
};

}  // namespace vantrel::wintest
