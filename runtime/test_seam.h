// The program's one seam for its tests: observers the Windows tests install to see what the program does, and
// to keep it running when it would end. In the program every one stays empty, and each call site costs one test
// of a pointer.
#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace vantrel::skin {
enum class Event;
struct MouseArgs;
}  // namespace vantrel::skin

namespace vantrel::runtime {

struct TestObservers {
  // Called by EndProgram instead of ending the process.
  void (*endProgram)() = nullptr;
  // Called with every event the title-bar control raises, before the host's receiver gets it.
  void (*titleBarEvent)(HWND control, skin::Event e, const skin::MouseArgs& args) = nullptr;
  // Called after every Shell_NotifyIconA call of the tray module, with the message, the record as sent and the
  // call's result.
  void (*trayNotify)(DWORD message, const NOTIFYICONDATAA& record, BOOL result) = nullptr;
  // Called after every balloon and every tip sent through the Unicode record, with the record as sent and the
  // call's result.
  void (*balloon)(const NOTIFYICONDATAW& record, BOOL result) = nullptr;
  // Called after the taskbar object was asked to show a state (a TBPFLAG) and a value out of 1000 on the
  // window's button, with the result of the state's call: Wine's object takes the calls but shows nothing.
  void (*taskbarProgress)(HWND window, int state, int tenths, HRESULT result) = nullptr;
};

// The observers in force. A test sets the ones it needs and puts the whole set back when it is done.
inline TestObservers& TestSeam() {
  static constinit TestObservers observers;
  return observers;
}

}  // namespace vantrel::runtime
