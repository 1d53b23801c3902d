#include "core/logo/LogoPreview.h"

#include <algorithm>
#include <cstdint>

namespace kp70 {

PreviewSize PreviewImageSize(int areaWidth, int areaHeight, int imageWidth, int imageHeight,
                             PreviewQuality quality) {
    if (areaWidth <= 0 || areaHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {};
    // 64-bit products: a bitmap may be millions of pixels wide.
    const std::int64_t bw = imageWidth;
    const std::int64_t bh = imageHeight;
    const std::int64_t h2 = areaHeight / 2;
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (bw == bh) {
        w = h = h2;
    } else if (bw > bh) {
        w = areaWidth / 2;
        h = bh * w / bw;
        if (areaHeight < 2 * h) {
            w = h2 * bw / bh;
            h = h2;
        }
    } else {
        w = h2 * bw / bh;
        h = h2;
    }
    const bool doubleWidth =
        quality == PreviewQuality::Quadruple || quality == PreviewQuality::DoubleWidth;
    const bool doubleHeight =
        quality == PreviewQuality::Quadruple || quality == PreviewQuality::DoubleHeight;
    return PreviewSize{static_cast<int>(doubleWidth ? 2 * w : w),
                       static_cast<int>(doubleHeight ? 2 * h : h)};
}

double PrinterDotsScale(int areaWidth, int areaHeight, int paperDots, int imageHeight) {
    if (areaWidth <= 0 || areaHeight <= 0 || paperDots <= 0 || imageHeight <= 0) return 0;
    return std::min(static_cast<double>(areaWidth) / paperDots,
                    static_cast<double>(areaHeight) / imageHeight);
}

}  // namespace kp70
