// Image::at, the checked pixel read of the tests and the build's own tools (the icon and bitmap files). The
// program reads `pixels` directly and never calls it: this file alone is built with exceptions (see
// CMakeLists.txt), so that a read outside the image throws in every build, and nothing of it reaches
// Vantrel.exe.
#include <stdexcept>

#include "resources/artwork.h"

namespace vantrel::resources {

std::uint32_t Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) throw std::out_of_range("Image::at: pixel outside the image");
  return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
}

}  // namespace vantrel::resources
