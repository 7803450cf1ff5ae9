// Active Accessibility's helpers, bound when a client first asks a window for its accessible object.
//
// oleacc (and the OLE automation library it brings) is not in the program's import table: most runs meet
// no screen reader, and loading them would cost every start. The first WM_GETOBJECT the program answers
// itself loads oleacc from the system folder and looks up what it needs.
#pragma once
#include <windows.h>
#include <oleacc.h>

namespace vantrel::runtime {

struct AccessibilityApi {
  decltype(&::LresultFromObject) lresultFromObject = nullptr;
  decltype(&::CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
  decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
};

// The bound functions, binding them on the first call; null when oleacc or oleaut32 cannot be had (a later
// call tries again). The libraries stay loaded for the life of the program.
const AccessibilityApi* Accessibility();

}  // namespace vantrel::runtime
