#include "image/StbImageDecoder.h"

#include <stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kp70 {

namespace {

enum class Format { None, Png, Jpeg, Gif };

Format FormatOf(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= sizeof kPng && std::memcmp(data, kPng, sizeof kPng) == 0) return Format::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Format::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return Format::Gif;
    return Format::None;
}

const char* NameOf(Format format) {
    switch (format) {
        case Format::Png:
            return "PNG";
        case Format::Jpeg:
            return "JPEG";
        case Format::Gif:
            return "GIF";
        default:
            return "image";
    }
}

std::string Text(const char* format, long long a, long long b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// The library's reason in brackets, where it says more than that the data was not
// recognised (its answer when a file's header is cut short).
std::string Damaged(Format format) {
    std::string text = std::string("the ") + NameOf(format) + " file is damaged or incomplete";
    const char* reason = stbi_failure_reason();
    if (reason != nullptr && std::strcmp(reason, "unknown image type") != 0) {
        text += std::string(" (") + reason + ")";
    }
    return text;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// The bytes a PNG's image data inflates to: one filter byte and the packed pixels of every
// row (of every interlace pass). 0 when the header is not one a PNG can have.
std::uint64_t PngRawSize(const std::uint8_t* ihdr) {
    const std::uint64_t width = BigEndian32(ihdr);
    const std::uint64_t height = BigEndian32(ihdr + 4);
    const int depth = ihdr[8];
    const int colourType = ihdr[9];
    const bool interlaced = ihdr[12] != 0;
    int channels = 0;
    switch (colourType) {
        case 0:
        case 3:
            channels = 1;
            break;
        case 2:
            channels = 3;
            break;
        case 4:
            channels = 2;
            break;
        case 6:
            channels = 4;
            break;
        default:
            return 0;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(channels) * depth;
    auto rows = [bits](std::uint64_t w, std::uint64_t h) {
        return w == 0 || h == 0 ? 0 : h * (1 + (w * bits + 7) / 8);
    };
    if (!interlaced) return rows(width, height);
    // Adam7: the seven passes' origins and spacings.
    static constexpr int kX0[] = {0, 4, 0, 2, 0, 1, 0};
    static constexpr int kY0[] = {0, 0, 4, 0, 2, 0, 1};
    static constexpr int kDx[] = {8, 8, 4, 4, 2, 2, 1};
    static constexpr int kDy[] = {8, 8, 8, 4, 4, 2, 2};
    std::uint64_t total = 0;
    for (int p = 0; p < 7; ++p) {
        const std::uint64_t w =
            width > static_cast<std::uint64_t>(kX0[p]) ? (width - kX0[p] + kDx[p] - 1) / kDx[p] : 0;
        const std::uint64_t h = height > static_cast<std::uint64_t>(kY0[p])
                                    ? (height - kY0[p] + kDy[p] - 1) / kDy[p]
                                    : 0;
        total += rows(w, h);
    }
    return total;
}

// The decoder inflates a PNG's image data into a buffer it doubles as long as the data
// goes on, so a few megabytes of crafted data could claim gigabytes. The data is inflated
// once here into a small scratch buffer, only counting: data that inflates to more than
// the header's image needs is refused before the decoder allocates for it. Data zlib cannot
// inflate is left for the decoder to judge.
bool PngDataFitsItsImage(const std::uint8_t* data, std::size_t size, std::string& error) {
    std::size_t pos = 8;
    std::uint64_t limit = 0;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return true;
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);
    std::array<std::uint8_t, 32768> scratch{};
    std::uint64_t produced = 0;
    bool inflating = true;
    while (inflating && pos + 8 <= size) {
        const std::uint32_t length = BigEndian32(data + pos);
        const std::uint8_t* type = data + pos + 4;
        if (length > size - pos - 8) break;  // truncated: the decoder says so
        const std::uint8_t* body = data + pos + 8;
        if (std::memcmp(type, "CgBI", 4) == 0) {
            // Headerless image data with B,G,R pixels: no standard PNG reader takes it.
            error = "the PNG file is of the CgBI kind, which is not a standard PNG";
            return false;
        }
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            limit = PngRawSize(body);
        } else if (std::memcmp(type, "IDAT", 4) == 0 && limit > 0) {
            stream.next_in = const_cast<std::uint8_t*>(body);
            stream.avail_in = length;
            while (stream.avail_in > 0) {
                stream.next_out = scratch.data();
                stream.avail_out = static_cast<uInt>(scratch.size());
                const int status = inflate(&stream, Z_NO_FLUSH);
                produced += scratch.size() - stream.avail_out;
                if (produced > limit) {
                    error = "the PNG file's image data is longer than its image";
                    return false;
                }
                if (status != Z_OK) {
                    inflating = false;  // the end of the stream, or data for the decoder to judge
                    break;
                }
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        pos += std::size_t{length} + 12;
    }
    return true;
}

// The decoder builds each Huffman table of a JPEG into arrays of 256 codes without checking
// that the table's 16 counts add up to at most 256, so a damaged file could make it write
// past them. Every table of every DHT segment (before and between the scans) is checked
// here first.
bool JpegTablesFit(const std::uint8_t* data, std::size_t size, std::string& error) {
    std::size_t pos = 2;  // after SOI
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) {
            ++pos;  // entropy-coded data of a scan: look for the next marker
            continue;
        }
        const std::uint8_t marker = data[pos + 1];
        // Fill bytes, stuffed zeros inside a scan, restart markers and TEM carry no length.
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9) return true;  // EOI
        if (pos + 4 > size) return true;  // truncated: the decoder says so
        const std::size_t length = (std::size_t{data[pos + 2]} << 8) | data[pos + 3];
        const std::size_t end = std::min(size, pos + 2 + length);
        if (marker == 0xC4) {
            // Read as the decoder reads it: a table is begun while the segment has a byte
            // left, and its counts may run past the segment (bytes past the file read 0).
            auto byte = [&](std::size_t at) { return at < size ? data[at] : 0; };
            std::size_t at = pos + 4;
            while (at < end) {
                if ((byte(at) >> 4) > 1 || (byte(at) & 15) > 3) break;  // the decoder refuses it
                std::size_t codes = 0;
                for (std::size_t i = 1; i <= 16; ++i) codes += byte(at + i);
                if (codes > 256) {
                    error = "the JPEG file is damaged (a Huffman table claims more than 256 codes)";
                    return false;
                }
                at += 17 + codes;
            }
        }
        pos += 2 + std::max<std::size_t>(length, 2);
    }
    return true;
}

// The BMP reader's limits and words: each side at most 0x7FFFFF pixels, and here the
// decoder's R,G,B,A image at most kMaxDecodedBytes.
bool SizeAllowed(std::int64_t width, std::int64_t height, std::string& error) {
    if (width <= 0 || height <= 0 || width > 0x7FFFFF || height > 0x7FFFFF) {
        error = Text("the image size %lld x %lld is not valid", width, height);
        return false;
    }
    if (width * height * 4 > kMaxDecodedBytes) {
        error = Text("the image is too large (%lld x %lld pixels)", width, height);
        return false;
    }
    return true;
}

}  // namespace

bool StbImageDecoder::Recognises(const std::uint8_t* data, std::size_t size) const {
    return data != nullptr && FormatOf(data, size) != Format::None;
}

std::optional<DecodedBitmap> StbImageDecoder::Decode(const std::uint8_t* data, std::size_t size,
                                                     std::string& error) const {
    const Format format = data != nullptr ? FormatOf(data, size) : Format::None;
    if (format == Format::None) {
        error = "the file is not a PNG, JPEG or GIF image";
        return std::nullopt;
    }
    if (size > static_cast<std::size_t>(INT_MAX)) {
        error = "the file is too large to be a logo";
        return std::nullopt;
    }
    const int length = static_cast<int>(size);

    // The size from the header first, so that nothing is allocated for an image refused.
    // PNG and GIF headers are read here, since the library refuses some large images as
    // damaged; a JPEG's size is found by the library, which reads only the headers for it.
    bool headerRead = false;
    std::int64_t headerWidth = 0;
    std::int64_t headerHeight = 0;
    if (format == Format::Png && size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        headerRead = true;
        headerWidth = BigEndian32(data + 16);
        headerHeight = BigEndian32(data + 20);
    } else if (format == Format::Gif && size >= 10) {
        headerRead = true;
        headerWidth = data[6] | (data[7] << 8);
        headerHeight = data[8] | (data[9] << 8);
    }
    if (headerRead && !SizeAllowed(headerWidth, headerHeight, error)) return std::nullopt;
    if (format == Format::Jpeg && !JpegTablesFit(data, size, error)) return std::nullopt;
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
        error = Damaged(format);
        return std::nullopt;
    }
    if (!SizeAllowed(width, height, error)) return std::nullopt;
    if (format == Format::Png && !PngDataFitsItsImage(data, size, error)) return std::nullopt;

    int loadedWidth = 0;
    int loadedHeight = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(data, length, &loadedWidth, &loadedHeight, &channels, 4),
        stbi_image_free);
    if (!rgba) {
        error = Damaged(format);
        return std::nullopt;
    }
    if (loadedWidth != width || loadedHeight != height) {
        error = Text("the image's size changed while it was read (%lld x %lld pixels)", loadedWidth,
                     loadedHeight);
        return std::nullopt;
    }

    // A 24-bit bitmap of the same pixels: B,G,R rows padded to 4 bytes, bottom row first,
    // every pixel composed over white by its alpha (rounded to the nearest).
    DecodedBitmap image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = 24;
    image.fileBitsPerPixel = 24;
    image.rowStride = (width * 3 + 3) / 4 * 4;
    image.pixels.assign(static_cast<std::size_t>(image.rowStride) * height, 0);
    auto over = [](int channel, int alpha) {
        return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = rgba.get() + static_cast<std::size_t>(y) * width * 4;
        std::uint8_t* dst =
            image.pixels.data() + static_cast<std::size_t>(height - 1 - y) * image.rowStride;
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            const int alpha = src[3];
            dst[0] = over(src[2], alpha);
            dst[1] = over(src[1], alpha);
            dst[2] = over(src[0], alpha);
        }
    }
    return image;
}

void InstallStandardImageDecoders() {
    static const StbImageDecoder decoder;
    InstallImageDecoder(&decoder);
}

}  // namespace kp70
