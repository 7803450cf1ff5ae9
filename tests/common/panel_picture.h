// The whole panel picture at the design size, for the tests: the program draws only the part each panel shows.
#pragma once

#include "resources/artwork.h"

namespace vantrel::resources {

inline Image PanelPicture() { return PanelPicture(kPanelPictureWidth, kPanelPictureHeight); }

}  // namespace vantrel::resources
