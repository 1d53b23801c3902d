#pragma once

namespace kp70 {

// The sizes of the Preview page, in screen pixels.
struct PreviewSize {
    int width = 0;
    int height = 0;
};

// The Preview page's qualities, in its radio order (the print page orders them otherwise).
enum class PreviewQuality { Normal = 0, Quadruple = 1, DoubleHeight = 2, DoubleWidth = 3 };

// The size at which an imageWidth x imageHeight bitmap is drawn from the top-left corner of
// an areaWidth x areaHeight preview area. The base size w x h comes from integer
// arithmetic, truncating: a square image is h2 x h2 (h2 = half the area's height); a wide
// one half the area's width wide, unless it would then be taller than h2; a tall one h2
// high. Normal draws w x h, Quadruple 2w x 2h, Double Height w x 2h, Double Width 2w x h.
// 0 x 0 for an empty image or area.
PreviewSize PreviewImageSize(int areaWidth, int areaHeight, int imageWidth, int imageHeight,
                             PreviewQuality quality);

// The scale at which the printer's dots are shown: paperDots (the printable area, or the
// image when it is wider) fill the area's width, unless the image's height would then not
// fit. 0 for an empty image or area.
double PrinterDotsScale(int areaWidth, int areaHeight, int paperDots, int imageHeight);

}  // namespace kp70
