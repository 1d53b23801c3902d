#include "core/logo/BitImageConversion.h"

#include <algorithm>
#include <cstring>

#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"

namespace kp70 {

namespace {

int Clamp(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The header counts 8-dot units: the width in xL and the low 5 bits of xH, the height in
// yL and yH.
constexpr std::int64_t kMaxWidthUnits = 0x1FFF;
constexpr std::int64_t kMaxHeightUnits = 0xFFFF;

// Sizes the bitmap's buffers for its padded image; false (nothing to convert) when the
// printer could not take it.
bool Prepare(LogoBitmap& bitmap, bool gray) {
    const std::int64_t width = bitmap.PaddedWidth();
    const std::int64_t height = bitmap.PaddedHeight();
    if (!bitmap.IsLoaded() || !FitsNvImage(width, height, gray)) return false;
    const auto dots = static_cast<std::size_t>(width * height);
    bitmap.ReserveBuffers(dots, gray ? dots / 2 : dots / 8);
    return true;
}

void BrightnessPass(LogoBitmap& bitmap, int divergingPoint) {
    const int width = bitmap.PaddedWidth();
    const int height = bitmap.PaddedHeight();
    std::uint8_t* work = bitmap.WorkBuffer();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            work[y * width + x] =
                static_cast<std::uint8_t>(BrightnessAdjust(bitmap.Luminance(x, y), divergingPoint));
        }
    }
}

// Floyd-Steinberg diffusion in place. quantize(v) gives the reconstruction value r and the
// output value that replaces the dot; the error v - r spreads right and down, each share
// truncated toward zero and every neighbour clamped at once.
template <typename Quantize>
void Diffuse(LogoBitmap& bitmap, Quantize quantize) {
    const int width = bitmap.PaddedWidth();
    const int height = bitmap.PaddedHeight();
    std::uint8_t* work = bitmap.WorkBuffer();
    auto add = [&](int index, int share) {
        work[index] = static_cast<std::uint8_t>(Clamp(work[index] + share));
    };
    for (int y = 0; y < height; ++y) {
        const bool lastRow = y == height - 1;
        for (int x = 0; x < width; ++x) {
            const int index = y * width + x;
            const int v = work[index];
            int output = 0;
            const int r = quantize(v, output);
            work[index] = static_cast<std::uint8_t>(output);
            const int e = v - r;
            if (x < width - 1) add(index + 1, e * 7 / 16);
            if (!lastRow) {
                if (x > 0) add(index + width - 1, e * 3 / 16);
                add(index + width, e * 5 / 16);
                if (x < width - 1) add(index + width + 1, e * 1 / 16);
            }
        }
    }
}

}  // namespace

bool HeaderFits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && (width + 7) / 8 <= kMaxWidthUnits &&
           (height + 7) / 8 <= kMaxHeightUnits;
}

bool FitsNvImage(std::int64_t width, std::int64_t height, bool gray) {
    return HeaderFits(width, height) &&
           EncodedSize(width, height, gray) <= LogoList::kCapacityBytes;
}

std::int64_t EncodedSize(std::int64_t width, std::int64_t height, bool gray) {
    const std::int64_t size = (width + 7) / 8 * 8 * ((height + 7) / 8);
    return gray ? size * 4 : size;
}

std::int64_t CentringBytes(std::int64_t paddedWidth, std::int64_t paddedHeight, int area) {
    if (paddedWidth >= area) return 0;
    const std::int64_t pad = ((area - paddedWidth) / 2 + 7) / 8 * 8;
    if (pad == 0 || !FitsNvImage(paddedWidth + pad, paddedHeight, false)) return 0;
    return pad * (paddedHeight / 8);
}

std::int64_t SentSize(std::int64_t width, std::int64_t height, bool gray, bool centre, int area) {
    const std::int64_t size = EncodedSize(width, height, gray);
    if (gray || !centre) return size;
    return size + CentringBytes((width + 7) / 8 * 8, (height + 7) / 8 * 8, area);
}

int BrightnessAdjust(int luminance, int divergingPoint) {
    const int t = divergingPoint;
    // The factors are k/128, so integer arithmetic with truncation toward zero gives
    // exactly the truncated real result.
    const int v =
        t <= 128 ? luminance * (256 - t) / 128 : (luminance * t - 128 * (2 * t - 256)) / 128;
    return Clamp(v);
}

std::int64_t ConvertMono(LogoBitmap& bitmap, const LogoOptions& options, bool centre) {
    bitmap.SetOutputLength(0);
    if (!Prepare(bitmap, false)) return 0;
    const int width = bitmap.PaddedWidth();
    const int height = bitmap.PaddedHeight();
    const int bands = height / 8;
    std::uint8_t* out = bitmap.OutputBuffer();

    if (bitmap.BitsPerPixel() == 1) {
        // 1-bit images are taken dot by dot; the diverging point has no effect on them.
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < bands; ++b) {
                int byte = 0;
                for (int k = 0; k < 8; ++k) byte |= bitmap.MonoDot(x, 8 * b + k) << (7 - k);
                *out++ = static_cast<std::uint8_t>(byte);
            }
        }
    } else {
        BrightnessPass(bitmap, options.divergingPoint);
        Diffuse(bitmap, [](int v, int& output) {
            const int q = std::min(v / 127, 1);
            output = 1 - q;
            return 255 * q;
        });
        const std::uint8_t* work = bitmap.WorkBuffer();
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < bands; ++b) {
                int byte = 0;
                for (int k = 0; k < 8; ++k) byte |= work[(8 * b + k) * width + x] << (7 - k);
                *out++ = static_cast<std::uint8_t>(byte);
            }
        }
    }
    int length = width * height / 8;
    bitmap.SetOutputLength(length);

    // Centring: blank columns in front, none on the right. Skipped when the centred image
    // would not fit the printer.
    const int added =
        centre ? static_cast<int>(CentringBytes(width, height, options.maxPrintableArea)) : 0;
    if (added == 0) return 0;
    const int pad = added / bands;
    bitmap.ReserveBuffers(0, static_cast<std::size_t>(length + added));
    std::uint8_t* data = bitmap.OutputBuffer();
    std::uint8_t* spare = bitmap.SpareBuffer();
    std::memcpy(spare, data, static_cast<std::size_t>(length));
    std::memset(data, 0, static_cast<std::size_t>(added));
    std::memcpy(data + added, spare, static_cast<std::size_t>(length));
    bitmap.SetOutputLength(length + added);
    bitmap.SetPaddedWidth(width + pad);
    return added;
}

void ConvertGray(LogoBitmap& bitmap, const LogoOptions& options) {
    bitmap.SetOutputLength(0);
    if (!Prepare(bitmap, true)) return;
    const int width = bitmap.PaddedWidth();
    const int height = bitmap.PaddedHeight();
    BrightnessPass(bitmap, options.divergingPoint);
    Diffuse(bitmap, [](int v, int& output) {
        const int f = std::min((21 + v) / 42, 5);
        output = 5 - f;
        return 51 * f;
    });
    const std::uint8_t* work = bitmap.WorkBuffer();
    std::uint8_t* out = bitmap.OutputBuffer();
    for (int i = 0; i < width * height; i += 2) {
        *out++ = static_cast<std::uint8_t>((work[i] << 4) | work[i + 1]);
    }
    bitmap.SetOutputLength(width * height / 2);
}

std::vector<std::uint8_t> DotsAsGray(const LogoBitmap& bitmap, bool gray) {
    const int length = bitmap.OutputLength();
    if (length <= 0) return {};
    const int width = bitmap.PaddedWidth();
    const int height = bitmap.PaddedHeight();
    const int bands = height / 8;
    // The data must be what a conversion of that kind produced for this size.
    if (static_cast<std::int64_t>(length) !=
        static_cast<std::int64_t>(width) * height / (gray ? 2 : 8))
        return {};
    const std::uint8_t* data = bitmap.OutputBuffer();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height, 255);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            if (gray) {
                const std::uint8_t byte = data[at / 2];
                const int level = x % 2 == 0 ? byte >> 4 : byte & 15;
                pixels[at] = static_cast<std::uint8_t>(255 - 51 * std::min(level, 5));
            } else if ((data[static_cast<std::size_t>(x) * bands + y / 8] >> (7 - y % 8)) & 1) {
                pixels[at] = 0;
            }
        }
    }
    return pixels;
}

}  // namespace kp70
