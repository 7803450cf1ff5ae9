// The seven pictures of the title-bar control: the strip and the close and minimise buttons' three states.
#include <algorithm>
#include <array>
#include <cmath>

#include "resources/artwork_canvas.h"

namespace vantrel::resources {
namespace {

using namespace art;

// ---------------------------------------------------------------------------------------------
// Title-bar pictures.

constexpr int kTitleHeight = static_cast<int>(kTitleGradient.size());

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
  return TitleBackground(23, scale).ToImage();  // no other value: the strip rather than an error
}

}  // namespace vantrel::resources
