#include "runtime/accessibility.h"

#include "runtime/handles.h"
#include "runtime/late_binding.h"

namespace vantrel::runtime {

const AccessibilityApi* Accessibility() {
  static AccessibilityApi api;
  static bool bound = false;
  if (!bound) {
    UniqueModule oleacc(LoadFromSystemFolder(L"oleacc.dll"));
    UniqueModule oleaut(LoadFromSystemFolder(L"oleaut32.dll"));
    AccessibilityApi found;
    if (Bind(oleacc.get(), "LresultFromObject", found.lresultFromObject) &&
        Bind(oleacc.get(), "CreateStdAccessibleObject", found.createStdAccessibleObject) &&
        Bind(oleaut.get(), "SysAllocStringLen", found.sysAllocStringLen)) {
      api = found;
      bound = true;
      oleacc.release();  // both stay loaded from here on
      oleaut.release();
    }
  }
  return bound ? &api : nullptr;
}

}  // namespace vantrel::runtime
