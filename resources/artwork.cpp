#include "resources/artwork.h"

#include <algorithm>
#include <cmath>
#include <bits/functexcept.h>  // the standard library's own argument checks: they throw, or in the program
                                // report and end (runtime/lean_runtime.cpp)
#include <string>
#include <utility>
#include <vector>

namespace vantrel::resources {

std::uint32_t Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    std::__throw_out_of_range("Image::at: pixel outside the image");
  }
  return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)];
}

Image MakeImage(int width, int height, std::uint32_t fill) {
  if (width < 0 || height < 0) std::__throw_invalid_argument("MakeImage: negative image size");
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
  return image;
}

namespace {

// ---------------------------------------------------------------------------------------------
// A small floating-point canvas with supersampled shape filling. Coordinates are in pixels;
// pixel (i, j) covers [i, i+1) x [j, j+1), so its centre is (i + 0.5, j + 0.5).

struct Colour {
  double r = 0, g = 0, b = 0;  // 0..255
  double a = 1;                // 0..1, straight (not premultiplied)
};

Colour Mix(const Colour& p, const Colour& q, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}

Colour Scaled(const Colour& c, double factor) {
  return {c.r * factor, c.g * factor, c.b * factor, c.a};
}

Colour WithAlpha(const Colour& c, double a) { return {c.r, c.g, c.b, a}; }

double SmoothStep(double edge0, double edge1, double x) {
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
Rect Near(Rect clip, double x0, double y0, double x1, double y1) {
  return {std::max(clip.x0, static_cast<int>(std::floor(x0)) - 1),
          std::max(clip.y0, static_cast<int>(std::floor(y0)) - 1),
          std::min(clip.x1, static_cast<int>(std::floor(x1)) + 2),
          std::min(clip.y1, static_cast<int>(std::floor(y1)) + 2)};
}

Rect NearEllipse(Rect clip, double cx, double cy, double rx, double ry) {
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

Colour GreyColour(double level) { return {level, level, level, 1}; }

// Shapes.
auto Ellipse(double cx, double cy, double rx, double ry) {
  return [=](double x, double y) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
  };
}

// Rectangle [x0, x1] x [y0, y1] with corners rounded to radius r.
auto RoundRect(double x0, double y0, double x1, double y1, double r) {
  return [=](double x, double y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const double qx = std::max({x0 + r - x, x - (x1 - r), 0.0});
    const double qy = std::max({y0 + r - y, y - (y1 - r), 0.0});
    return qx * qx + qy * qy <= r * r;
  };
}

// A stroke of width w along the segment from (ax, ay) to (bx, by), with round ends.
auto Stroke(double ax, double ay, double bx, double by, double w) {
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

void DrawPlatterStack(Canvas& canvas, Rect clip, const StackGeometry& s) {
  const Colour outline{34, 48, 70, 1};
  const Colour sideDark{60, 80, 110, 1}, sideLight{116, 140, 174, 1};
  const Colour faceTop{214, 224, 238, 1}, faceBottom{150, 168, 194, 1};
  const Colour accentTop{176, 208, 246, 1}, accentBottom{76, 128, 204, 1};

  for (int i = s.count - 1; i >= 0; --i) {
    const double cy = s.topFaceY + i * s.gap;
    const bool top = i == 0;
    const double o = s.outline;

    // Silhouette (face plus side), grown by the outline width, in the outline colour.
    auto silhouette = [&](double grow) {
      return [=, &s](double x, double y) {
        const double rx = s.rx + grow, ry = s.ry + grow;
        if (Ellipse(s.cx, cy, rx, ry)(x, y)) return true;
        if (Ellipse(s.cx, cy + s.thickness, rx, ry)(x, y)) return true;
        return std::abs(x - s.cx) <= rx && y >= cy && y <= cy + s.thickness;
      };
    };
    auto nearSilhouette = [&](double grow) {
      return Near(clip, s.cx - s.rx - grow, cy - s.ry - grow, s.cx + s.rx + grow,
                  cy + s.thickness + s.ry + grow);
    };
    canvas.Fill(nearSilhouette(o), silhouette(o), outline);

    // Side: lit from the upper left, so lightest a little left of the middle.
    canvas.Fill(nearSilhouette(0), silhouette(0), [&](double x, double y) {
      const double u = (x - s.cx) / s.rx + 0.3;
      const double light = std::clamp(1 - u * u, 0.0, 1.0);
      const double down = std::clamp((y - cy) / (s.thickness + s.ry), 0.0, 1.0);
      return Scaled(Mix(sideDark, sideLight, light), 1 - 0.15 * down);
    });

    // Face: vertical gradient, darker towards its rim.
    const Colour hi = top ? accentTop : faceTop, lo = top ? accentBottom : faceBottom;
    const Rect nearFace = NearEllipse(clip, s.cx, cy, s.rx, s.ry);
    canvas.Fill(nearFace, Ellipse(s.cx, cy, s.rx, s.ry), [&](double x, double y) {
      const double dx = (x - s.cx) / s.rx, dy = (y - cy) / s.ry;
      const double r = std::sqrt(dx * dx + dy * dy);
      const Colour base = Mix(hi, lo, (dy + 1) / 2);
      return Scaled(base, 1 - 0.18 * SmoothStep(0.7, 1.0, r));
    });

    if (s.grooves) {
      // A faint ring and the hub, so the face reads as a disc.
      const double w = std::max(0.6, o * 0.6);
      auto ring = [&](double x, double y) {
        return Ellipse(s.cx, cy, s.rx * 0.62, s.ry * 0.62)(x, y) &&
               !Ellipse(s.cx, cy, s.rx * 0.62 - w, s.ry * 0.62 - w * s.ry / s.rx)(x, y);
      };
      canvas.Fill(nearFace, ring, WithAlpha(outline, 0.22));
      canvas.Fill(nearFace, Ellipse(s.cx, cy, s.rx * 0.2, s.ry * 0.2),
                  WithAlpha(Scaled(lo, 0.55), 0.85));
    }

    // Gloss on the upper left of the face.
    canvas.Fill(nearFace, Ellipse(s.cx - s.rx * 0.3, cy - s.ry * 0.35, s.rx * 0.45, s.ry * 0.4),
                [&](double, double y) {
                  const double t = (y - (cy - s.ry * 0.75)) / (s.ry * 0.8);
                  return Colour{255, 255, 255, 0.45 * (1 - std::clamp(t, 0.0, 1.0))};
                });
  }
}

// ---------------------------------------------------------------------------------------------
// The window picture.

constexpr int kHeaderFirstRow = 1, kHeaderLastRow = 66;
constexpr int kSeparatorRow = 67, kBodyFirstRow = 68;

// The header band: 252 at row 1 falling evenly to 189 at row 66.
int HeaderLevel(int y) {
  return static_cast<int>(std::lround(252.0 - 63.0 * (y - kHeaderFirstRow) /
                                                  (kHeaderLastRow - kHeaderFirstRow)));
}

// Pinstripe of the body, period four: row 68 is 236, rows 69-70 are 240, rows 71-72 are 236, ...
int BodyLevel(int y) { return ((y - kBodyFirstRow + 1) / 2) % 2 == 0 ? 236 : 240; }

// The side edges: 179 at the first row below the cut corner (row 5), darkening evenly to 141 at
// row 65 and staying there.
int SideEdgeLevel(int y) {
  if (y >= 65) return 141;
  return static_cast<int>(std::lround(179.0 - 38.0 * (y - 5) / 60.0));
}

// Magenta pixels of each top corner, counted from the outer edge, rows 0 to 4.
constexpr std::array<int, 5> kCornerCut = {5, 3, 2, 1, 1};

void DrawHeaderArt(Canvas& canvas) {
  const Rect clip{kHeaderArtLeft, kHeaderArtTop, kHeaderArtRight + 1, kHeaderArtBottom + 1};

  const StackGeometry stack{/*cx=*/35, /*topFaceY=*/34, /*rx=*/21, /*ry=*/6.5, /*thickness=*/3.5,
                            /*gap=*/9, /*count=*/3, /*outline=*/1, /*grooves=*/true};
  // Soft shadow under the stack.
  canvas.Fill(NearEllipse(clip, 36, 62, 23, 2.6), Ellipse(36, 62, 23, 2.6),
              Colour{40, 48, 60, 0.16});
  DrawPlatterStack(canvas, clip, stack);

  // One engraved bar beside each platter, like the lines of a list of images.
  const double barsLeft = 68;
  const std::array<double, 3> lengths = {94, 72, 50};
  const std::array<Colour, 3> colours = {Colour{72, 122, 196, 1}, Colour{128, 140, 158, 1},
                                         Colour{150, 158, 170, 1}};
  for (int i = 0; i < 3; ++i) {
    const double cy = stack.topFaceY + i * stack.gap;
    const double x1 = barsLeft + lengths[static_cast<std::size_t>(i)];
    // Light lip below, then the bar itself, then a thin top highlight.
    canvas.Fill(Near(clip, barsLeft, cy - 1.5, x1, cy + 3.0),
                RoundRect(barsLeft, cy - 1.5, x1, cy + 3.0, 2.25),
                Colour{255, 255, 255, 0.55});
    const Colour c = colours[static_cast<std::size_t>(i)];
    canvas.Fill(Near(clip, barsLeft, cy - 2.5, x1, cy + 2.0),
                RoundRect(barsLeft, cy - 2.5, x1, cy + 2.0, 2.25), [&](double, double y) {
      return Mix(Scaled(c, 1.12), Scaled(c, 0.88), (y - (cy - 2.5)) / 4.5);
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Title-bar pictures.

constexpr int kTitleHeight = 18;
constexpr std::array<std::uint8_t, kTitleHeight> kTitleGradient = {
    252, 245, 241, 240, 240, 239, 239, 238, 237, 237, 236, 235, 234, 234, 233, 232, 231, 230};

// A title-bar picture `width` design pixels wide, at the DPI: each row has the grey of the design row it
// lies in.
Canvas TitleBackground(int width, DpiScale scale) {
  const int w = scale.Px(width), h = scale.Px(kTitleHeight);
  Canvas canvas(w, h, Colour{}, scale);
  for (int y = 0; y < h; ++y) {
    const int row = std::min(scale.DesignCell(y), kTitleHeight - 1);
    for (int x = 0; x < w; ++x) canvas(x, y) = GreyColour(kTitleGradient[static_cast<std::size_t>(row)]);
  }
  return canvas;
}

// Drawing stays off the first and last column so the buttons meet the strip without a seam.
Rect ButtonClip(int width) { return {1, 0, width - 1, kTitleHeight}; }

// Close button: a glossy red ball, optionally with a dark cross; `shade` below 1 darkens it
// for the pressed picture.
Image CloseButton(bool cross, double shade, DpiScale scale) {
  constexpr int kWidth = 17;
  Canvas canvas = TitleBackground(kWidth, scale);
  const Rect clip = ButtonClip(kWidth);
  const double cx = 8.5, cy = 9.0, r = 6.75;

  // A faint drop shadow makes the ball sit in the bar.
  canvas.Fill(clip, Ellipse(cx, cy + 0.6, r + 0.4, r + 0.4), Colour{0, 0, 0, 0.12});
  const Colour rim{128, 20, 12, 1}, body{214, 52, 36, 1}, glow{255, 150, 112, 1};
  canvas.Fill(clip, Ellipse(cx, cy, r, r), [&](double x, double y) {
    const double d = std::hypot(x - cx, y - cy) / r;
    // Light gathers in the lower half, as in a lit glass bead.
    const double g = std::clamp(1 - std::hypot(x - cx, y - (cy + r * 0.45)) / (r * 0.9), 0.0, 1.0);
    Colour c = Mix(body, glow, g * 0.8);
    c = Mix(c, rim, SmoothStep(0.72, 1.0, d));
    return Scaled(c, shade);
  });
  // Specular highlight across the top.
  canvas.Fill(clip, Ellipse(cx, cy - r * 0.5, r * 0.62, r * 0.38), [&](double, double y) {
    const double t = (y - (cy - r * 0.88)) / (r * 0.76);
    return Colour{255, 255, 255, (0.9 - 0.75 * std::clamp(t, 0.0, 1.0)) * (0.6 + 0.4 * shade)};
  });
  if (cross) {
    const double a = 2.6;
    const Colour ink = Scaled(Colour{84, 8, 4, 0.9}, shade);
    canvas.Fill(clip, Stroke(cx - a, cy - a, cx + a, cy + a, 1.5), ink);
    canvas.Fill(clip, Stroke(cx - a, cy + a, cx + a, cy - a, 1.5), ink);
  }
  return canvas.ToImage();
}

// Minimise button: a glossy pill about 20 x 11.
Image MinimiseButton(const Colour& rim, const Colour& top, const Colour& bottom,
                     const Colour& glow, DpiScale scale) {
  constexpr int kWidth = 24;
  Canvas canvas = TitleBackground(kWidth, scale);
  const Rect clip = ButtonClip(kWidth);
  const double x0 = 2, x1 = 22, y0 = 3.5, y1 = 14.5, radius = 5.5;

  canvas.Fill(clip, RoundRect(x0 - 0.3, y0 + 0.3, x1 + 0.3, y1 + 0.8, radius + 0.3),
              Colour{0, 0, 0, 0.1});
  canvas.Fill(clip, RoundRect(x0, y0, x1, y1, radius), rim);
  canvas.Fill(clip, RoundRect(x0 + 0.9, y0 + 0.9, x1 - 0.9, y1 - 0.9, radius - 0.9),
              [&](double, double y) {
                const double t = (y - y0) / (y1 - y0);
                // Darkest a little above the middle, brightening again towards the bottom.
                return t < 0.55 ? Mix(top, bottom, t / 0.55) : Mix(bottom, glow, (t - 0.55) / 0.45);
              });
  canvas.Fill(clip, RoundRect(x0 + 2.5, y0 + 1.2, x1 - 2.5, y0 + 5.2, 2.0), [&](double, double y) {
    const double t = (y - (y0 + 1.2)) / 4.0;
    return Colour{255, 255, 255, 0.85 - 0.65 * std::clamp(t, 0.0, 1.0)};
  });
  return canvas.ToImage();
}

}  // namespace

std::array<std::uint8_t, 18> TitleGradient() { return kTitleGradient; }

namespace {

// The window picture at the design size, without the header art: flat greys, the edges and the cut
// corners.
Image FlatWindowPicture() {
  constexpr int W = kWindowPictureWidth, H = kWindowPictureHeight;
  Image image = MakeImage(W, H, 0);
  auto put = [&](int x, int y, std::uint32_t colour) {
    image.pixels[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)] = colour;
  };
  for (int y = 0; y < H; ++y) {
    int level;
    if (y == 0) {
      level = 181;
    } else if (y <= kHeaderLastRow) {
      level = HeaderLevel(y);
    } else if (y == kSeparatorRow || y == H - 1) {
      level = 141;
    } else {
      level = BodyLevel(y);
    }
    std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * W, W, Grey(level));
  }
  for (int y = 5; y < H; ++y) {
    put(0, y, Grey(SideEdgeLevel(y)));
    put(W - 1, y, Grey(SideEdgeLevel(y)));
  }
  // The cut corners, and the curve of edge pixels just inside them joining the top line to the
  // side edges.
  const std::array<int, 5> curveLevel = {181, 181, 180, 179, 179};
  for (int y = 0; y < static_cast<int>(kCornerCut.size()); ++y) {
    const int cut = kCornerCut[static_cast<std::size_t>(y)];
    for (int i = 0; i < cut; ++i) {
      put(i, y, Rgb(255, 0, 255));
      put(W - 1 - i, y, Rgb(255, 0, 255));
    }
    if (y == 0) continue;
    // From row 1 on, the outline steps inwards from where the cut of the row above ended.
    const int previousCut = kCornerCut[static_cast<std::size_t>(y - 1)];
    for (int x = cut; x < std::max(previousCut, cut + 1); ++x) {
      put(x, y, Grey(curveLevel[static_cast<std::size_t>(y)]));
      put(W - 1 - x, y, Grey(curveLevel[static_cast<std::size_t>(y)]));
    }
  }
  return image;
}

}  // namespace

Image WindowPicture(DpiScale scale) {
  // The flat greys, the edge lines and the colour-key corners are design pixels, each covering the
  // pixels between its rounded edges at the DPI (so a line stays one solid line and the holes are the
  // design's corners at scale); only the header art, which blends, is drawn on a (floating-point)
  // canvas at the DPI, and that canvas covers the art's own rectangle.
  Image flat = FlatWindowPicture();
  Image image;
  if (scale.IsDesign()) {
    image = std::move(flat);
  } else {
    const int W = scale.Px(kWindowPictureWidth), H = scale.Px(kWindowPictureHeight);
    image = MakeImage(W, H, 0);
    std::vector<int> column(static_cast<std::size_t>(W));
    for (int x = 0; x < W; ++x) column[static_cast<std::size_t>(x)] = std::min(scale.DesignCell(x), flat.width - 1);
    for (int y = 0; y < H; ++y) {
      const std::uint32_t* from =
          flat.pixels.data() + static_cast<std::size_t>(std::min(scale.DesignCell(y), flat.height - 1)) * flat.width;
      std::uint32_t* to = image.pixels.data() + static_cast<std::size_t>(y) * W;
      for (int x = 0; x < W; ++x) to[x] = from[column[static_cast<std::size_t>(x)]];
    }
  }

  const Rect art{scale.Px(kHeaderArtLeft), scale.Px(kHeaderArtTop), scale.Px(kHeaderArtRight + 1),
                 scale.Px(kHeaderArtBottom + 1)};
  Canvas canvas(art, Colour{}, scale);
  static_assert(kHeaderArtTop >= kHeaderFirstRow && kHeaderArtBottom <= kHeaderLastRow,
                "the header art lies on the header band");
  for (int y = art.y0; y < art.y1; ++y) {
    const Colour row = GreyColour(HeaderLevel(scale.DesignCell(y)));
    for (int x = art.x0; x < art.x1; ++x) canvas(x, y) = row;
  }
  DrawHeaderArt(canvas);
  canvas.CopyInto(image);
  return image;
}

Image PanelPicture() { return PanelPicture(kPanelPictureWidth, kPanelPictureHeight); }

Image PanelPicture(int width, int height, DpiScale scale) {
  width = std::clamp(width, 0, scale.Px(kPanelPictureWidth));
  height = std::clamp(height, 0, scale.Px(kPanelPictureHeight));
  Image image = MakeImage(width, height, 0);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t colour = (scale.DesignCell(y) / 2) % 2 == 0 ? Grey(236) : Grey(240);
    std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width, colour);
  }
  return image;
}

Image TitleBarPicture(TitlePicture which, DpiScale scale) {
  const Colour greyRim{132, 136, 142, 1}, greyTop{246, 246, 248, 1}, greyBottom{200, 202, 208, 1},
      greyGlow{236, 238, 242, 1};
  const Colour blueRim{30, 78, 160, 1}, blueTop{120, 178, 244, 1}, blueBottom{44, 116, 216, 1},
      blueGlow{128, 200, 255, 1};
  constexpr double kPressed = 0.74;
  switch (which) {
    case TitlePicture::U_Img1:
      return CloseButton(false, 1.0, scale);
    case TitlePicture::M_Img1:
      return CloseButton(true, 1.0, scale);
    case TitlePicture::D_Img1:
      return CloseButton(true, kPressed, scale);
    case TitlePicture::U_Img2:
      return MinimiseButton(greyRim, greyTop, greyBottom, greyGlow, scale);
    case TitlePicture::M_Img2:
      return MinimiseButton(blueRim, blueTop, blueBottom, blueGlow, scale);
    case TitlePicture::D_Img2:
      return MinimiseButton(Scaled(blueRim, kPressed), Scaled(blueTop, kPressed),
                            Scaled(blueBottom, kPressed), Scaled(blueGlow, kPressed), scale);
    case TitlePicture::WindowImg:
      return TitleBackground(23, scale).ToImage();
  }
  std::__throw_invalid_argument("TitleBarPicture: unknown title-bar picture");
}

Image IconImage(int size) {
  if (size < 16 || size > 256) {
    std::__throw_invalid_argument("IconImage: the icon is 16 to 256 pixels on a side");
  }
  Canvas canvas(size, size, Colour{0, 0, 0, 0});
  const Rect all{0, 0, size, size};
  // Proportions tuned at the three stored sizes so the smallest image keeps its three platters apart; a size
  // between two of them (24 at 144 dpi, 40 at 120 dpi) takes the proportions in between, and a larger one
  // those of 48 scaled. The outline stays about one pixel wide at 96 dpi, which keeps a crisp edge on light
  // and dark taskbars alike, and grows with the scale.
  struct Proportions {
    double rx, ry, thickness, gap, outline;
  };
  static constexpr int kTuned[] = {16, 32, 48};
  static constexpr Proportions kAt[] = {{6.8, 2.3, 1.7, 3.7, 0.8}, {13.5, 4.9, 3, 6.8, 1.0}, {20, 7.2, 4.4, 10, 1.2}};
  Proportions p = kAt[2];
  if (size >= 48) {
    const double k = size / 48.0;
    p = {p.rx * k, p.ry * k, p.thickness * k, p.gap * k, p.outline * k};
  } else {
    const int upper = size < 32 ? 1 : 2;  // so that 16 and 32 take their own proportions exactly (t = 0)
    const double t = (size - kTuned[upper - 1]) / double(kTuned[upper] - kTuned[upper - 1]);
    const Proportions &a = kAt[upper - 1], &b = kAt[upper];
    const auto mix = [&](double Proportions::*field) { return a.*field + (b.*field - a.*field) * t; };
    p = {mix(&Proportions::rx), mix(&Proportions::ry), mix(&Proportions::thickness), mix(&Proportions::gap),
         mix(&Proportions::outline)};
  }
  const double height = 2 * p.ry + p.thickness + 2 * p.gap + 2 * p.outline;
  const StackGeometry stack{/*cx=*/size / 2.0,
                            /*topFaceY=*/(size - height) / 2 + p.outline + p.ry,
                            p.rx,
                            p.ry,
                            p.thickness,
                            p.gap,
                            /*count=*/3,
                            p.outline,
                            /*grooves=*/size >= 32};
  DrawPlatterStack(canvas, all, stack);
  return canvas.ToImage();
}

}  // namespace vantrel::resources
