// Turning the generated artwork into GDI bitmaps, once, at start-up.
#pragma once
#include <windows.h>

#include "resources/artwork.h"
#include "runtime/handles.h"

namespace vantrel::runtime {

// The header of a top-down 32-bit DIB of width x height pixels (rows in the order of an Image).
BITMAPINFO TopDownDib(int width, int height);

// A 32-bit top-down DIB section holding the image's pixels.
UniqueBitmap MakeBitmap(const resources::Image& image);

// An icon showing the image with its alpha; the mask is opaque where alpha is at least
// kIconMaskAlphaThreshold, for painters that ignore alpha. Null when the system refuses.
UniqueIcon MakeIcon(const resources::Image& image);

// Copies the bitmap (or the part of it that fits) to dc at (x, y), clipped to width x height.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height, int sourceX = 0, int sourceY = 0);

}  // namespace vantrel::runtime
