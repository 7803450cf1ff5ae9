// Build tool: writes the program icon (six images) as an .ico file for the resource compiler.
// Usage: make_icon <output.ico>
#include <cstdio>
#include <exception>
#include <fstream>

#include "resources/icon_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.ico>\n", argc > 0 ? argv[0] : "make_icon");
    return 2;
  }
  try {
    const std::vector<std::uint8_t> icon = vantrel::resources::BuildIconFile();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(icon.data()), static_cast<std::streamsize>(icon.size()));
    out.close();
    if (!out) {
      // Leave no half-written file behind for the build to mistake for a finished one.
      std::remove(argv[1]);
      std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_icon: %s\n", e.what());
    return 1;
  }
  return 0;
}
