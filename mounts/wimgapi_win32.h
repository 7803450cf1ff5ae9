// Windows' own list of mounted images, read from its imaging library: WIMGetMountedImageInfo of wimgapi.dll
// (Windows 7 and later), level 1 (WIM path, mount folder, index, mount flags). It sees the mounts that DISM and
// imagex made alike, in the library's words rather than a tool's localised text. The DLL is loaded from the system
// folder when the list is first read and kept for the program's life; where it or the function is missing, or the
// library fails, nothing is known.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "mounts/mounted_image.h"

namespace vantrel::mounts {

// wimgapi.h's MOUNTED_IMAGE_INFO_LEVELS: a C enum, passed as a 32-bit value.
enum MountedImageInfoLevel : int { kMountedImageInfoLevel0 = 0, kMountedImageInfoLevel1 = 1 };

// wimgapi.h's WIM_MOUNT_INFO_LEVEL1: two MAX_PATH arrays of UTF-16 and two DWORDs, no pointer and no padding, so
// the same 1,048 bytes in 32-bit and 64-bit processes.
struct MountInfoLevel1 {
  wchar_t wimPath[MAX_PATH];
  wchar_t mountPath[MAX_PATH];
  DWORD imageIndex;
  DWORD mountFlags;
};
static_assert(sizeof(wchar_t) == 2 && sizeof(DWORD) == 4 && sizeof(MountedImageInfoLevel) == 4);
static_assert(sizeof(MountInfoLevel1) == 1048 && alignof(MountInfoLevel1) == 4);
static_assert(offsetof(MountInfoLevel1, mountPath) == 520 && offsetof(MountInfoLevel1, imageIndex) == 1040 &&
              offsetof(MountInfoLevel1, mountFlags) == 1044);

// BOOL WINAPI WIMGetMountedImageInfo(MOUNTED_IMAGE_INFO_LEVELS fInfoLevel, PDWORD pdwImageCount, PVOID pMountInfo,
//                                    DWORD cbMountInfo, PDWORD pcbReturnLength);
using GetMountedImageInfoFunction = BOOL(WINAPI*)(MountedImageInfoLevel level, DWORD* imageCount, void* mountInfo,
                                                  DWORD mountInfoBytes, DWORD* returnLength);
static_assert(sizeof(GetMountedImageInfoFunction) == sizeof(void*));

// How often the list is asked for again when its size changed since the last call (a mount made meanwhile).
inline constexpr int kMountListAttempts = 4;
// The most mounts read: a library asking for more room than that is not believed.
inline constexpr std::uint32_t kMaxMounts = 8192;

// WIMGetMountedImageInfo of the system folder's wimgapi.dll, bound the first time it is asked for (from any
// thread, once); null when the DLL or the function is missing.
GetMountedImageInfoFunction BoundGetMountedImageInfo();

// The mounted images now, read on the calling thread (it may take a while: call it off the user-interface
// thread): the size asked first, then the list into a buffer of that size, asked again at most kMountListAttempts
// times while the size grows between the calls. Any failure, or a null function: nothing known.
MountList ReadMountedImages(GetMountedImageInfoFunction get);
inline MountList ReadMountedImages() {
  return ReadMountedImages(BoundGetMountedImageInfo());
}

// The first `count` level-1 records of a buffer of `capacity` records as plain values; nothing known when the
// count does not fit the buffer. A path without its NUL ends at the field's end.
MountList ToMountList(const MountInfoLevel1* records, std::size_t capacity, DWORD count);

}  // namespace vantrel::mounts
