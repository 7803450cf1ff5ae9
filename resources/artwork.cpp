// The image type the artwork is drawn into. The pictures themselves: artwork_window.cpp (window and panels),
// artwork_title_bar.cpp (the title-bar control), artwork_emblem.cpp (the emblem and the icon); their drawing
// tools: artwork_canvas.h.
#include "resources/artwork.h"

#include <algorithm>

namespace vantrel::resources {

Image MakeImage(int width, int height, std::uint32_t fill) {
  // The program is built without exceptions: a size that cannot be, which no caller passes, is no error to
  // throw but an empty side.
  Image image;
  image.width = std::max(width, 0);
  image.height = std::max(height, 0);
  image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), fill);
  return image;
}

}  // namespace vantrel::resources
