// The display scale: every size and position of the program is a design value in 96-dpi pixels, and the
// window, its controls and its artwork are laid out and drawn at the window's DPI from those values. Each
// design edge is rounded once, here, so neighbouring parts stay edge to edge and a 96-dpi layout is exactly
// the design.
#pragma once

namespace vantrel::resources {

inline constexpr int kDesignDpi = 96;

class DpiScale {
 public:
  // A DPI the system reports; nonsense (0 or negative) is taken as the design DPI.
  constexpr explicit DpiScale(int dpi = kDesignDpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}

  constexpr int Dpi() const { return dpi_; }
  constexpr bool IsDesign() const { return dpi_ == kDesignDpi; }

  // A design position (96-dpi pixels, possibly fractional) in pixels at this DPI, rounded half up. The
  // small allowance keeps design values made of thirds of a pixel (twips) on the side exact arithmetic
  // puts them.
  constexpr int Px(double design) const {
    const double v = design * dpi_ / kDesignDpi + 0.5 + 1e-9;
    const int truncated = static_cast<int>(v);
    return truncated > v ? truncated - 1 : truncated;  // floor, also for negative values
  }
  // The extent of [at, at + size) at this DPI: the distance between its two rounded edges.
  constexpr int Extent(double at, double size) const { return Px(at + size) - Px(at); }
  // A length in pixels at this DPI as a design value (for input: the pointer, measured text).
  constexpr double Design(double pixels) const { return pixels * kDesignDpi / dpi_; }
  // The design pixel (row or column) a pixel at this DPI lies in: the last design cell whose rounded
  // leading edge is at or before it. The inverse of Px for whole cells.
  constexpr int DesignCell(int pixel) const {
    int cell = static_cast<int>(Design(pixel));
    while (Px(cell) > pixel) --cell;
    while (Px(cell + 1) <= pixel) ++cell;
    return cell;
  }

  friend constexpr bool operator==(DpiScale, DpiScale) = default;

 private:
  int dpi_;
};

}  // namespace vantrel::resources
