// One image that Windows' imaging library has mounted, as its mounted-image list gives it (level 1 of
// WIMGetMountedImageInfo): the WIM file, the mount folder, the image's index and the mount's flags. Plain values:
// read on Windows, decided on everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::mounts {

struct MountedImage {
  std::u16string wimPath;
  std::u16string mountPath;
  std::uint32_t index = 0;
  std::uint32_t flags = 0;  // WIM_MOUNT_FLAG_* of wimgapi.h
  bool operator==(const MountedImage&) const = default;
};

// What the list says: the mounts, or nothing known (the library is missing, or it failed: then nothing is shown
// and nothing is refused).
using MountList = std::optional<std::vector<MountedImage>>;

}  // namespace vantrel::mounts
