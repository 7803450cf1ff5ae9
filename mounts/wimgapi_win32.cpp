#include "mounts/wimgapi_win32.h"

#include <cwchar>
#include <vector>

#include "runtime/handles.h"
#include "runtime/late_binding.h"
#include "runtime/runtime.h"

namespace vantrel::mounts {
namespace {

// The library, once loaded, stays for the program's life: a read in flight on the reading thread may be inside
// it while the program ends, so it is never freed.
struct Library {
  runtime::UniqueModule module;
  GetMountedImageInfoFunction get = nullptr;
};
INIT_ONCE g_bound = INIT_ONCE_STATIC_INIT;
Library* g_library = nullptr;

BOOL CALLBACK Bind(INIT_ONCE*, void*, void**) {
  auto* library = new Library();
  library->module.reset(runtime::LoadFromSystemFolder(L"wimgapi.dll"));
  runtime::Bind(library->module.get(), "WIMGetMountedImageInfo", library->get);
  g_library = library;
  return TRUE;
}

// A record's path: up to its NUL, and never past the field.
std::u16string FieldText(const wchar_t (&field)[MAX_PATH]) {
  return runtime::Utf16(std::wstring_view(field, wcsnlen(field, MAX_PATH)));
}

}  // namespace

GetMountedImageInfoFunction BoundGetMountedImageInfo() {
  if (!InitOnceExecuteOnce(&g_bound, &Bind, nullptr, nullptr) || !g_library) return nullptr;
  return g_library->get;
}

MountList ToMountList(const MountInfoLevel1* records, std::size_t capacity, DWORD count) {
  if (count > capacity || (count > 0 && !records)) return std::nullopt;
  std::vector<MountedImage> list;
  list.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    const MountInfoLevel1& r = records[i];
    list.push_back({FieldText(r.wimPath), FieldText(r.mountPath), r.imageIndex, r.mountFlags});
  }
  return list;
}

MountList ReadMountedImages(GetMountedImageInfoFunction get) {
  if (!get) return std::nullopt;
  // The size first: with no buffer the library says how many bytes the list takes (or, with nothing mounted,
  // succeeds at once).
  DWORD count = 0, needed = 0;
  if (get(kMountedImageInfoLevel1, &count, nullptr, 0, &needed))
    return count == 0 ? MountList(std::in_place) : std::nullopt;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::vector<MountInfoLevel1> records;
  for (int attempt = 0; attempt < kMountListAttempts; ++attempt) {
    const std::size_t capacity =
        (static_cast<std::size_t>(needed) + sizeof(MountInfoLevel1) - 1) / sizeof(MountInfoLevel1);
    if (capacity == 0 || capacity > kMaxMounts) return std::nullopt;
    records.assign(capacity, MountInfoLevel1{});
    const DWORD bytes = static_cast<DWORD>(capacity * sizeof(MountInfoLevel1));
    count = 0;
    needed = 0;
    if (get(kMountedImageInfoLevel1, &count, records.data(), bytes, &needed))
      return ToMountList(records.data(), capacity, count);
    // Grown since the last call (a mount made meanwhile): asked again with the size given now. A library that
    // claims too small a buffer without asking for more is not asked again.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= bytes) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace vantrel::mounts
