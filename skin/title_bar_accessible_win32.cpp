#include "skin/title_bar_accessible_win32.h"

#include <oleacc.h>

#include <optional>
#include <string>
#include <type_traits>

#include "runtime/accessibility.h"
#include "runtime/runtime.h"
#include "skin/mac_window_win32.h"
#include "skin/title_bar_accessible.h"

namespace vantrel::skin {
namespace {

// The values the platform-free decisions use are Active Accessibility's own.
static_assert(kAccSelf == CHILDID_SELF);
static_assert(kAccRoleTitleBar == ROLE_SYSTEM_TITLEBAR && kAccRolePushButton == ROLE_SYSTEM_PUSHBUTTON);
static_assert(kAccStatePressed == STATE_SYSTEM_PRESSED && kAccStateHotTracked == STATE_SYSTEM_HOTTRACKED &&
              kAccStateUnavailable == STATE_SYSTEM_UNAVAILABLE);
static_assert(NAVDIR_LEFT == 3 && NAVDIR_NEXT == 5 && NAVDIR_FIRSTCHILD == 7 && NAVDIR_LASTCHILD == 8);
// What crosses the interface differs between 32- and 64-bit Windows: the VARIANT that carries child ids and
// roles, and the message parameters WM_GETOBJECT brings. A header or packing mismatch shows here.
static_assert(sizeof(VARIANT) == (sizeof(void*) == 4 ? 16 : 24));
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*) && sizeof(LONG) == 4);

class TitleBarAccessible final : public IAccessible {
 public:
  TitleBarAccessible(HWND control, const runtime::AccessibilityApi& api) : hwnd_(control), api_(api) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: no type information; clients call the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!Control()) return RPC_E_DISCONNECTED;
    // The control's window, as the system describes it.
    return api_.createStdAccessibleObject(hwnd_, OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = kAccChildCount;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    // The buttons are simple elements: the bar answers for them.
    return ChildOf(child) ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    const MacWindowControl* control = Control();
    if (!control) return RPC_E_DISCONNECTED;
    const std::uint16_t stringId = AccNameId(*id);
    return Text(stringId ? runtime::LoadResString(stringId) : runtime::Wide(control->Caption()), name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return NoText(child, value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    role->vt = VT_EMPTY;
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = AccRole(*id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    state->vt = VT_EMPTY;
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    const MacWindowControl* control = Control();
    if (!control) return RPC_E_DISCONNECTED;
    state->vt = VT_I4;
    state->lVal = AccState(control->Model(), *id) | (IsWindowVisible(hwnd_) ? 0 : STATE_SYSTEM_INVISIBLE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (topic) *topic = 0;
    return NoText(child, file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    focus->vt = VT_EMPTY;  // the bar and its buttons never take the keyboard focus
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    selection->vt = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    if (!AccPartOf(*id)) return DISP_E_MEMBERNOTFOUND;
    return Text(runtime::LoadResString(kAccPressActionId), action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT child) override {
    return ChildOf(child) ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    const MacWindowControl* control = Control();
    if (!control) return RPC_E_DISCONNECTED;
    const auto part = AccPartOf(*id);
    RECT r = control->PartRect(part ? *part : Part::Surface);
    MapWindowPoints(hwnd_, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left, *top = r.top, *width = r.right - r.left, *height = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    end->vt = VT_EMPTY;
    const auto from = ChildOf(start);
    if (!from) return E_INVALIDARG;
    const auto to = AccNavigate(*from, direction);
    if (!to) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = *to;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    if (!child) return E_POINTER;
    child->vt = VT_EMPTY;
    const MacWindowControl* control = Control();
    if (!control) return RPC_E_DISCONNECTED;
    POINT p{x, y};
    ScreenToClient(hwnd_, &p);
    const auto at = control->AccessibleChildAt(p);
    if (!at) return S_FALSE;
    child->vt = VT_I4;
    child->lVal = *at;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const auto id = ChildOf(child);
    if (!id) return E_INVALIDARG;
    if (!AccPartOf(*id)) return DISP_E_MEMBERNOTFOUND;
    if (!Control()) return RPC_E_DISCONNECTED;
    // Pressed once the client's call has returned: closing the window inside the call would pull the
    // window away from under the client.
    return PostMessageW(hwnd_, MacWindowControl::kPressPartMessage, static_cast<WPARAM>(*id), 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~TitleBarAccessible() = default;

  // The control, while its window lives; a client may keep the object longer.
  const MacWindowControl* Control() const { return MacWindowControl::FromHandle(hwnd_); }

  static std::optional<long> ChildOf(const VARIANT& child) {
    if (child.vt != VT_I4 || child.lVal < kAccSelf || child.lVal > kAccChildCount) return std::nullopt;
    return child.lVal;
  }
  HRESULT Text(const std::wstring& text, BSTR* out) const {
    *out = api_.sysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT NoText(const VARIANT& child, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ChildOf(child) ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
  }

  HWND hwnd_;
  const runtime::AccessibilityApi& api_;
  ULONG references_ = 1;
};

// The methods are called through the interface's table: on 32-bit Windows with the stdcall convention.
static_assert(std::is_same_v<decltype(&TitleBarAccessible::get_accName),
                             HRESULT (STDMETHODCALLTYPE TitleBarAccessible::*)(VARIANT, BSTR*)>);

}  // namespace

bool AnswerGetObject(HWND control, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // The object id is a 32-bit value; on 64-bit Windows it arrives in a 64-bit parameter, sign-extended or not.
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return false;
  const runtime::AccessibilityApi* api = runtime::Accessibility();
  if (!api) return false;
  auto* object = new TitleBarAccessible(control, *api);
  result = api->lresultFromObject(__uuidof(IAccessible), wParam, object);
  object->Release();  // the result holds its own reference
  return true;
}

}  // namespace vantrel::skin
