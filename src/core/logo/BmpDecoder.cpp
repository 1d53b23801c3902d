#include "core/logo/BmpDecoder.h"

#include "core/logo/ImageDecoder.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kp70 {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::int64_t kMaxFileSize = 256LL * 1024 * 1024;

std::string Format(const char* format, long long a, long long b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// Bounds-checked little-endian reads of the file's bytes.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Size() const { return m_size; }
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    std::uint8_t U8(std::size_t offset) const { return m_data[offset]; }
    std::uint16_t U16(std::size_t offset) const {
        return static_cast<std::uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::uint32_t U32(std::size_t offset) const {
        return static_cast<std::uint32_t>(m_data[offset]) |
               (static_cast<std::uint32_t>(m_data[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(m_data[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(m_data[offset + 3]) << 24);
    }
    std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    const std::uint8_t* At(std::size_t offset) const { return m_data + offset; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// One colour channel of a bit-field pixel.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    std::uint64_t maximum = 0;

    // Scales the channel of pixel value v to 0..255, rounding to the nearest.
    std::uint8_t Scale(std::uint32_t v) const {
        const std::uint64_t c = (v & mask) >> shift;
        return static_cast<std::uint8_t>((c * 255 + maximum / 2) / maximum);
    }
};

// False for an empty mask or one whose bits are not contiguous.
bool MakeChannel(std::uint32_t mask, Channel& channel) {
    if (mask == 0) return false;
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    const std::uint32_t shifted = mask >> channel.shift;
    channel.bits = std::popcount(shifted);
    if ((shifted & (shifted + 1)) != 0) return false;  // a gap inside the mask
    channel.maximum = (std::uint64_t{1} << channel.bits) - 1;
    return true;
}

int RowBytes(std::int64_t width, int bitsPerPixel) {
    return static_cast<int>(((width * bitsPerPixel + 31) / 32) * 4);
}

// Decodes RLE8 or RLE4 data into 8-bit indices (rows bottom-up, stride out.rowStride).
// Pixels that the data skips keep index 0. Runs or moves beyond the image refuse the file.
bool DecodeRle(const Bytes& bytes, std::size_t pos, bool rle4, DecodedBitmap& out,
               std::string& error) {
    const int width = out.width;
    const int height = out.height;
    int x = 0;
    int y = 0;
    auto put = [&](int count, auto valueOf) -> bool {
        if (y >= height) {
            error = "the compressed data runs past the last row";
            return false;
        }
        if (count > width - x) {
            error = "a compressed run runs past the end of a row";
            return false;
        }
        std::uint8_t* row = out.pixels.data() + static_cast<std::size_t>(y) * out.rowStride;
        for (int i = 0; i < count; ++i) row[x + i] = valueOf(i);
        x += count;
        return true;
    };
    for (;;) {
        if (!bytes.Has(pos, 2)) {
            error = "the compressed data ends without an end-of-bitmap mark";
            return false;
        }
        const int first = bytes.U8(pos);
        const int second = bytes.U8(pos + 1);
        pos += 2;
        if (first > 0) {
            // An encoded run: one index (RLE8) or two alternating ones (RLE4).
            const bool ok =
                rle4 ? put(first,
                           [&](int i) {
                               return static_cast<std::uint8_t>(i % 2 == 0 ? second >> 4
                                                                           : second & 15);
                           })
                     : put(first, [&](int) { return static_cast<std::uint8_t>(second); });
            if (!ok) return false;
            continue;
        }
        if (second == 0) {  // end of line
            x = 0;
            ++y;
            if (y > height) {
                error = "the compressed data has more rows than the image";
                return false;
            }
        } else if (second == 1) {  // end of bitmap
            return true;
        } else if (second == 2) {  // delta
            if (!bytes.Has(pos, 2)) {
                error = "the compressed data ends inside a move";
                return false;
            }
            x += bytes.U8(pos);
            y += bytes.U8(pos + 1);
            pos += 2;
            if (x > width || y > height || (y == height && x > 0)) {
                error = "a move in the compressed data leaves the image";
                return false;
            }
        } else {  // an absolute run of `second` indices, padded to a 16-bit boundary
            const int count = second;
            const std::size_t dataBytes =
                rle4 ? static_cast<std::size_t>((count + 1) / 2) : static_cast<std::size_t>(count);
            if (!bytes.Has(pos, dataBytes)) {
                error = "the compressed data ends inside a run";
                return false;
            }
            const std::uint8_t* run = bytes.At(pos);
            const bool ok = rle4 ? put(count,
                                       [&](int i) {
                                           return static_cast<std::uint8_t>(
                                               i % 2 == 0 ? run[i / 2] >> 4 : run[i / 2] & 15);
                                       })
                                 : put(count, [&](int i) { return run[i]; });
            if (!ok) return false;
            pos += dataBytes + (dataBytes & 1);
        }
    }
}

// True when every pixel's index lies inside the colour table.
bool IndicesInTable(const DecodedBitmap& image, std::string& error) {
    const int count = image.paletteCount;
    const int bpp = image.bitsPerPixel;
    if (count >= (1 << bpp)) return true;
    for (int row = 0; row < image.height; ++row) {
        const std::uint8_t* p =
            image.pixels.data() + static_cast<std::size_t>(row) * image.rowStride;
        for (int x = 0; x < image.width; ++x) {
            int index = 0;
            switch (bpp) {
                case 1:
                    index = (p[x / 8] >> (7 - x % 8)) & 1;
                    break;
                case 2:
                    index = (p[x / 4] >> (6 - 2 * (x % 4))) & 3;
                    break;
                case 4:
                    index = (p[x / 2] >> (4 - 4 * (x % 2))) & 15;
                    break;
                default:
                    index = p[x];
                    break;
            }
            if (index >= count) {
                error =
                    Format("a pixel uses colour %lld, but the colour table has only %lld entries",
                           index, count);
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::optional<DecodedBitmap> DecodeBmp(const std::uint8_t* data, std::size_t size,
                                       std::string& error) {
    const Bytes bytes(data, size);
    if (!bytes.Has(0, kFileHeaderSize + 4)) {
        error = "the file is too short to be a bitmap file";
        return std::nullopt;
    }
    if (bytes.U8(0) != 'B' || bytes.U8(1) != 'M') {
        error = "the file is not a Windows bitmap (it does not start with \"BM\")";
        return std::nullopt;
    }
    const std::uint32_t pixelOffset = bytes.U32(10);
    const std::uint32_t headerSize = bytes.U32(14);
    const bool os2v1 = headerSize == 12;
    const bool os2v2 = headerSize == 16 || headerSize == 64;
    if (!(os2v1 || os2v2 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
          headerSize == 108 || headerSize == 124)) {
        error = Format("the information header has an unknown size (%lld bytes)", headerSize);
        return std::nullopt;
    }
    if (!bytes.Has(kFileHeaderSize, headerSize)) {
        error = "the file ends inside its information header";
        return std::nullopt;
    }

    std::int64_t width = 0;
    std::int64_t height = 0;
    int planes = 0;
    int bpp = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t coloursUsed = 0;
    if (os2v1) {
        width = bytes.U16(18);
        height = bytes.U16(20);
        planes = bytes.U16(22);
        bpp = bytes.U16(24);
    } else {
        width = bytes.I32(18);
        height = bytes.I32(22);
        planes = bytes.U16(26);
        bpp = bytes.U16(28);
        if (headerSize >= 20) compression = bytes.U32(30);
        if (headerSize >= 36) coloursUsed = bytes.U32(46);
    }

    if (planes != 1) {
        error = Format("the planes field is %lld; it must be 1", planes);
        return std::nullopt;
    }
    if (os2v2 && compression == kBiBitfields) {
        error = "Huffman-compressed OS/2 bitmaps are not supported";
        return std::nullopt;
    }
    if (os2v2 && compression == kBiJpeg) {
        error = "RLE24-compressed OS/2 bitmaps are not supported";
        return std::nullopt;
    }
    if (compression == kBiJpeg || compression == kBiPng) {
        error = "bitmaps holding JPEG or PNG data are not supported";
        return std::nullopt;
    }
    if (compression > kBiAlphaBitfields) {
        error = Format("the compression method %lld is not supported", compression);
        return std::nullopt;
    }
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        error = Format("a colour depth of %lld bits per pixel is not supported", bpp);
        return std::nullopt;
    }
    const bool rle = compression == kBiRle8 || compression == kBiRle4;
    const bool bitfields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if ((compression == kBiRle8 && bpp != 8) || (compression == kBiRle4 && bpp != 4) ||
        (bitfields && bpp != 16 && bpp != 32)) {
        error = Format("compression method %lld cannot be used with %lld bits per pixel",
                       compression, bpp);
        return std::nullopt;
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (topDown && rle) {
        error = "a compressed bitmap cannot be stored top-down";
        return std::nullopt;
    }
    if (width <= 0 || height <= 0 || width > 0x7FFFFF || height > 0x7FFFFF) {
        error = Format("the image size %lld x %lld is not valid", width, height);
        return std::nullopt;
    }
    const int decodedBpp = rle ? 8 : bpp;
    const std::int64_t fileRowBytes = ((width * bpp + 31) / 32) * 4;
    if (fileRowBytes * height > kMaxDecodedBytes ||
        ((width * decodedBpp + 31) / 32) * 4 * height > kMaxDecodedBytes ||
        width * height * 3 > kMaxDecodedBytes) {
        error = Format("the image is too large (%lld x %lld pixels)", width, height);
        return std::nullopt;
    }

    DecodedBitmap image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.fileBitsPerPixel = bpp;

    // Bit-field masks: inside the header from 52 bytes on, else just after a 40-byte one.
    std::size_t tableStart = kFileHeaderSize + headerSize;
    Channel red, green, blue;
    if (bitfields) {
        std::size_t maskOffset = kFileHeaderSize + 40;
        if (headerSize == 40) tableStart += compression == kBiAlphaBitfields ? 16 : 12;
        if (!bytes.Has(maskOffset, 12)) {
            error = "the file ends inside its colour masks";
            return std::nullopt;
        }
        const std::uint32_t limit = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        const std::uint32_t r = bytes.U32(maskOffset);
        const std::uint32_t g = bytes.U32(maskOffset + 4);
        const std::uint32_t b = bytes.U32(maskOffset + 8);
        if (!MakeChannel(r, red) || !MakeChannel(g, green) || !MakeChannel(b, blue) ||
            (r | g | b) > limit) {
            error = "the colour masks are empty, broken or wider than the pixels";
            return std::nullopt;
        }
    }

    // The colour table, after the header's real size (and the masks of a 40-byte header).
    if (bpp <= 8) {
        const std::size_t entrySize = os2v1 ? 3 : 4;
        std::int64_t count = coloursUsed != 0 ? coloursUsed : (std::int64_t{1} << bpp);
        // A table may be shorter than the depth allows when the pixels follow at once.
        if (pixelOffset > tableStart && coloursUsed == 0) {
            count = std::min<std::int64_t>(count, (pixelOffset - tableStart) / entrySize);
        }
        if (coloursUsed > (1u << bpp) && !bytes.Has(tableStart, coloursUsed * entrySize)) {
            error = Format("the colour table claims %lld entries, more than the file holds",
                           coloursUsed);
            return std::nullopt;
        }
        count = std::min<std::int64_t>(count, 256);
        if (!bytes.Has(tableStart, static_cast<std::size_t>(count) * entrySize)) {
            error = "the file ends inside its colour table";
            return std::nullopt;
        }
        for (int i = 0; i < count; ++i) {
            const std::size_t at = tableStart + static_cast<std::size_t>(i) * entrySize;
            image.palette[i] = BitmapColour{bytes.U8(at), bytes.U8(at + 1), bytes.U8(at + 2)};
        }
        image.paletteCount = static_cast<int>(count);
    }

    if (pixelOffset < kFileHeaderSize + headerSize || pixelOffset >= size) {
        error = "the pixel data offset does not point into the file";
        return std::nullopt;
    }

    if (rle) {
        image.bitsPerPixel = 8;
        image.rowStride = RowBytes(width, 8);
        image.pixels.assign(static_cast<std::size_t>(image.rowStride) * image.height, 0);
        if (!DecodeRle(bytes, pixelOffset, compression == kBiRle4, image, error))
            return std::nullopt;
        if (!IndicesInTable(image, error)) return std::nullopt;
        return image;
    }

    // Uncompressed rows; the padding of the last row may be missing from the file.
    const std::size_t rowBytes = static_cast<std::size_t>(fileRowBytes);
    const std::size_t usedRowBytes = static_cast<std::size_t>((width * bpp + 7) / 8);
    if (!bytes.Has(pixelOffset, rowBytes * (image.height - 1) + usedRowBytes)) {
        error = "the file is shorter than its pixel data";
        return std::nullopt;
    }
    auto fileRow = [&](int storedRow) {
        // Stored row index in decoded order (bottom-up) -> its bytes in the file.
        const int fileIndex = topDown ? image.height - 1 - storedRow : storedRow;
        return bytes.At(pixelOffset + rowBytes * static_cast<std::size_t>(fileIndex));
    };

    const bool keepAsStored =
        !bitfields ||
        (bpp == 16 && red.mask == 0x7C00 && green.mask == 0x03E0 && blue.mask == 0x001F) ||
        (bpp == 32 && red.mask == 0xFF0000 && green.mask == 0xFF00 && blue.mask == 0xFF);
    if (keepAsStored) {
        image.bitsPerPixel = bpp;
        image.rowStride = static_cast<int>(rowBytes);
        image.pixels.assign(rowBytes * image.height, 0);
        for (int row = 0; row < image.height; ++row) {
            const std::size_t available =
                std::min(rowBytes, size - static_cast<std::size_t>(fileRow(row) - data));
            std::copy_n(fileRow(row), available,
                        image.pixels.data() + static_cast<std::size_t>(row) * rowBytes);
        }
        if (bpp <= 8 && !IndicesInTable(image, error)) return std::nullopt;
        return image;
    }

    // Other bit-field layouts become 24-bit B,G,R.
    image.bitsPerPixel = 24;
    image.rowStride = RowBytes(width, 24);
    image.pixels.assign(static_cast<std::size_t>(image.rowStride) * image.height, 0);
    const int pixelBytes = bpp / 8;
    for (int row = 0; row < image.height; ++row) {
        const std::uint8_t* src = fileRow(row);
        std::uint8_t* dst = image.pixels.data() + static_cast<std::size_t>(row) * image.rowStride;
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = src + static_cast<std::size_t>(x) * pixelBytes;
            std::uint32_t v = p[0] | (p[1] << 8);
            if (pixelBytes == 4)
                v |= (static_cast<std::uint32_t>(p[2]) << 16) |
                     (static_cast<std::uint32_t>(p[3]) << 24);
            dst[3 * x] = blue.Scale(v);
            dst[3 * x + 1] = green.Scale(v);
            dst[3 * x + 2] = red.Scale(v);
        }
    }
    return image;
}

std::optional<std::vector<std::uint8_t>> ReadBitmapFile(const std::string& path,
                                                        std::string& error) {
    // Only regular files are read: a listed path that became a named pipe would wait for
    // a writer that may never come, and a device could be read without end.
    std::error_code kind;
    if (std::filesystem::exists(path, kind) && !std::filesystem::is_regular_file(path, kind)) {
        error = "the file is not a regular file";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "the file cannot be opened";
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length < 0 || !in) {
        error = "the file cannot be read";
        return std::nullopt;
    }
    if (length > kMaxFileSize) {
        error = "the file is too large to be a logo";
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(length));
    if (length > 0 && !in.read(reinterpret_cast<char*>(data.data()), length)) {
        error = "the file cannot be read";
        return std::nullopt;
    }
    return data;
}

BitmapProbe ProbeBitmapMemory(const std::uint8_t* data, std::size_t size) {
    BitmapProbe probe;
    if (auto image = DecodeImage(data, size, probe.error)) {
        probe.ok = true;
        probe.width = image->width;
        probe.height = image->height;
        probe.bitsPerPixel = image->fileBitsPerPixel;
    }
    return probe;
}

BitmapProbe ProbeBitmap(const std::string& path) {
    BitmapProbe probe;
    auto data = ReadBitmapFile(path, probe.error);
    if (!data) return probe;
    return ProbeBitmapMemory(data->data(), data->size());
}

}  // namespace kp70
