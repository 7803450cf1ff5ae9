#include "runtime/accessibility.h"

#include "runtime/file_dialogs.h"

namespace vantrel::runtime {
namespace {

template <class Function>
bool Bind(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return function != nullptr;
}

}  // namespace

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
