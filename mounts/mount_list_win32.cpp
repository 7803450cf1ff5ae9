#include "mounts/mount_list_win32.h"

#include "mounts/wimgapi_win32.h"

namespace vantrel::mounts {

MountList MountListSource::Read() {
  return ReadMountedImages();
}

}  // namespace vantrel::mounts
