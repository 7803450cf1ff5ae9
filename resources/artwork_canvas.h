// The artwork's drawing tools, shared by its parts (window picture, title-bar pictures, emblem and icon):
// colours, the supersampled canvas and the shapes it fills. Platform-free; only artwork_*.cpp include it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "resources/artwork.h"

namespace vantrel::resources::art {

// ---------------------------------------------------------------------------------------------
// A small floating-point canvas with supersampled shape filling. Coordinates are in pixels;
// pixel (i, j) covers [i, i+1) x [j, j+1), so its centre is (i + 0.5, j + 0.5).

struct Colour {
  double r = 0, g = 0, b = 0;  // 0..255
  double a = 1;                // 0..1, straight (not premultiplied)
};

inline Colour Mix(const Colour& p, const Colour& q, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}

inline Colour Scaled(const Colour& c, double factor) {
  return {c.r * factor, c.g * factor, c.b * factor, c.a};
}

inline Colour WithAlpha(const Colour& c, double a) { return {c.r, c.g, c.b, a}; }

inline double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

struct Rect {
  int x0, y0, x1, y1;  // [x0, x1) x [y0, y1)
};

// Per axis at the design DPI: 64 samples a pixel. At a higher DPI a pixel covers less of the design, so fewer
// samples a pixel give the same count for each design pixel (at least 64 there): 6 per axis at 144 dpi, 4 at
// 192. The art costs about the same to draw at any scale, and at 96 dpi it is drawn exactly as before.
constexpr int kSubsamples = 8;
constexpr int SubsamplesAt(DpiScale scale) {
  return std::clamp((kSubsamples * kDesignDpi + scale.Dpi() - 1) / scale.Dpi(), 2, kSubsamples);
}

// The pixels of `clip` that a shape lying within [x0, x1] x [y0, y1] can touch, with a pixel to
// spare on each side for rounding in the shape's own test. Filling only these gives the same
// picture as filling all of `clip`, as no subsample outside them is inside the shape, and takes a
// fraction of the time.
inline Rect Near(Rect clip, double x0, double y0, double x1, double y1) {
  return {std::max(clip.x0, static_cast<int>(std::floor(x0)) - 1),
          std::max(clip.y0, static_cast<int>(std::floor(y0)) - 1),
          std::min(clip.x1, static_cast<int>(std::floor(x1)) + 2),
          std::min(clip.y1, static_cast<int>(std::floor(y1)) + 2)};
}

inline Rect NearEllipse(Rect clip, double cx, double cy, double rx, double ry) {
  return Near(clip, cx - rx, cy - ry, cx + rx, cy + ry);
}

// The canvas's pixels are pixels at its DPI; the shapes drawn on it and the clip rectangles are given
// in design pixels (96 dpi) and are drawn at that DPI, not enlarged afterwards.
class Canvas {
 public:
  Canvas(int width, int height, Colour fill, DpiScale scale = DpiScale())
      : Canvas(Rect{0, 0, width, height}, fill, scale) {}
  // A canvas over `area` (pixels at the DPI) only, for a drawing that changes nothing outside it;
  // pixels keep the coordinates they have in the whole picture.
  Canvas(Rect area, Colour fill, DpiScale scale = DpiScale())
      : area_(area),
        scale_(scale),
        toDesign_(scale.Design(1)),
        subsamples_(SubsamplesAt(scale)),
        px_(static_cast<std::size_t>(area.x1 - area.x0) * static_cast<std::size_t>(area.y1 - area.y0),
            fill) {}

  int width() const { return area_.x1 - area_.x0; }
  int height() const { return area_.y1 - area_.y0; }

  Colour& operator()(int x, int y) {
    return px_[static_cast<std::size_t>(y - area_.y0) * static_cast<std::size_t>(width()) +
               static_cast<std::size_t>(x - area_.x0)];
  }

  // Fills the shape `inside(x, y)` with `paint(x, y)` (colour and opacity at that point), blending
  // each pixel by the share of its subsamples that fall inside. Only pixels in `clip` change. Every
  // picture's time goes here: the shape and paint are inlined into the loop even in a build for size.
  template <class Inside, class Paint>
  [[gnu::flatten]] void Fill(Rect designClip, Inside inside, Paint paint) {
    // The clip's design edges, rounded as every design edge is.
    Rect clip{scale_.Px(designClip.x0), scale_.Px(designClip.y0), scale_.Px(designClip.x1),
              scale_.Px(designClip.y1)};
    clip.x0 = std::max(clip.x0, area_.x0);
    clip.y0 = std::max(clip.y0, area_.y0);
    clip.x1 = std::min(clip.x1, area_.x1);
    clip.y1 = std::min(clip.y1, area_.y1);
    const int n = subsamples_;
    const double step = 1.0 / n, samples = n * n;
    for (int y = clip.y0; y < clip.y1; ++y) {
      for (int x = clip.x0; x < clip.x1; ++x) {
        // Premultiplied sum over the covered subsamples.
        double r = 0, g = 0, b = 0, a = 0;
        for (int sy = 0; sy < n; ++sy) {
          const double py = (y + (sy + 0.5) * step) * toDesign_;
          for (int sx = 0; sx < n; ++sx) {
            const double px = (x + (sx + 0.5) * step) * toDesign_;
            if (!inside(px, py)) continue;
            const Colour c = paint(px, py);
            r += c.r * c.a;
            g += c.g * c.a;
            b += c.b * c.a;
            a += c.a;
          }
        }
        if (a <= 0) continue;
        r /= samples;
        g /= samples;
        b /= samples;
        a /= samples;
        Colour& d = (*this)(x, y);
        const double outA = a + d.a * (1 - a);
        if (outA <= 0) continue;
        d.r = (r + d.r * d.a * (1 - a)) / outA;
        d.g = (g + d.g * d.a * (1 - a)) / outA;
        d.b = (b + d.b * d.a * (1 - a)) / outA;
        d.a = outA;
      }
    }
  }

  template <class Inside>
  void Fill(Rect clip, Inside inside, Colour colour) {
    Fill(clip, inside, [&](double, double) { return colour; });
  }

  Image ToImage() const {
    Image image = MakeImage(width(), height(), 0);
    for (std::size_t i = 0; i < px_.size(); ++i) image.pixels[i] = Packed(px_[i]);
    return image;
  }

  // The canvas's pixels written into `image` at their places (the canvas lies inside it).
  void CopyInto(Image& image) const {
    for (int y = area_.y0; y < area_.y1; ++y)
      for (int x = area_.x0; x < area_.x1; ++x)
        image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                     static_cast<std::size_t>(x)] =
            Packed(px_[static_cast<std::size_t>(y - area_.y0) * static_cast<std::size_t>(width()) +
                       static_cast<std::size_t>(x - area_.x0)]);
  }

 private:
  static std::uint32_t Packed(const Colour& c) {
    auto channel = [](double v) {
      return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    const std::uint32_t alpha = channel(c.a * 255);
    // A fully transparent pixel carries no colour.
    return alpha == 0 ? 0u : (alpha << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
  }

  Rect area_;
  DpiScale scale_;
  double toDesign_;  // exactly 1 at the design DPI, so the design picture is drawn as it always was
  int subsamples_;   // per axis in each pixel
  std::vector<Colour> px_;
};

inline Colour GreyColour(double level) { return {level, level, level, 1}; }

// Shapes.
inline auto Ellipse(double cx, double cy, double rx, double ry) {
  return [=](double x, double y) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
  };
}

// Rectangle [x0, x1] x [y0, y1] with corners rounded to radius r.
inline auto RoundRect(double x0, double y0, double x1, double y1, double r) {
  return [=](double x, double y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const double qx = std::max({x0 + r - x, x - (x1 - r), 0.0});
    const double qy = std::max({y0 + r - y, y - (y1 - r), 0.0});
    return qx * qx + qy * qy <= r * r;
  };
}

// A stroke of width w along the segment from (ax, ay) to (bx, by), with round ends.
inline auto Stroke(double ax, double ay, double bx, double by, double w) {
  return [=](double x, double y) {
    const double vx = bx - ax, vy = by - ay;
    const double t = std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    const double dx = x - (ax + t * vx), dy = y - (ay + t * vy);
    return dx * dx + dy * dy <= w * w / 4;
  };
}

// ---------------------------------------------------------------------------------------------
// The emblem: a stack of platters (the layered images of a WIM file), used small in the window's
// header and alone as the program icon.

struct StackGeometry {
  double cx, topFaceY;  // centre of the top platter's face
  double rx, ry;        // face radii
  double thickness;     // height of a platter's side
  double gap;           // vertical distance between the faces of neighbouring platters
  int count;
  double outline;       // width of the dark outline around each platter
  bool grooves;         // draw the face's ring and hub (too fine for the smallest icon)
};

// Draws the stack within `clip` (design pixels).
void DrawPlatterStack(Canvas& canvas, Rect clip, const StackGeometry& s);

}  // namespace vantrel::resources::art
