// The emblem, a stack of platters (the header's art uses it too), and the program icon drawn from it.
#include <algorithm>
#include <cmath>

#include "resources/artwork_canvas.h"

namespace vantrel::resources {
namespace art {

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

}  // namespace art

using namespace art;

Image IconImage(int size) {
  size = std::clamp(size, 16, 256);
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
