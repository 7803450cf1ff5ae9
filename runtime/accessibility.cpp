#include "runtime/accessibility.h"

#include "runtime/file_dialogs.h"

namespace vantrel::runtime {

const AccessibilityApi* Accessibility() {
  static AccessibilityApi api;
  static bool bound = false;
  if (!bound) {
    HMODULE oleacc = LoadFromSystemFolder(L"oleacc.dll");
    HMODULE oleaut = LoadFromSystemFolder(L"oleaut32.dll");
    AccessibilityApi found;
    if (oleacc && oleaut && Bind(oleacc, "LresultFromObject", found.lresultFromObject) &&
        Bind(oleacc, "CreateStdAccessibleObject", found.createStdAccessibleObject) &&
        Bind(oleaut, "SysAllocStringLen", found.sysAllocStringLen)) {
      api = found;
      bound = true;
    } else {
      if (oleacc) FreeLibrary(oleacc);
      if (oleaut) FreeLibrary(oleaut);
    }
  }
  return bound ? &api : nullptr;
}

}  // namespace vantrel::runtime
