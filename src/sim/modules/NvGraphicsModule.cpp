// The printer's NV graphics memory and its receipt output.
//
// Decodes, on its own, the NV bit-image commands: FS q n (define n images; the memory is
// erased first; each image is xL xH yL yH and its data: monochrome column-major, one byte
// per 8 vertical dots with the top dot in bit 7, or, with 0xA0 set in xH, gray nibbles
// row-major, levels 0..5), FS p n m (print image n: m = 0 normal, 1 double width,
// 2 double height, 3 quadruple), each also with a leading ESC. Plain text, LF, ESC @
// (initialise) and the cuts (ESC i, ESC m, GS V) make receipt pages; each page is written
// as an 8-bit gray PNG (receipt-LINK-N.png in the output folder) whenever it changes, and
// a cut starts the next page. The NV images persist in the printer state ("nv").
#include <png.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/Hex.h"
#include "sim/Printer.h"
#include "sim/PrinterModule.h"

namespace kp70sim {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kFs = 0x1C;
constexpr std::uint8_t kGs = 0x1D;

// Text is drawn with a 5 x 7 font doubled in size, in a 12 x 24 cell.
constexpr int kCellWidth = 12;
constexpr int kLineHeight = 24;

// Columns of the 5 x 7 glyphs of 0x20..0x7E, bit 0 the top row.
constexpr std::array<std::array<std::uint8_t, 5>, 95> kFont = {{
    {0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x5F, 0x00, 0x00}, {0x00, 0x07, 0x00, 0x07, 0x00},
    {0x14, 0x7F, 0x14, 0x7F, 0x14}, {0x24, 0x2A, 0x7F, 0x2A, 0x12}, {0x23, 0x13, 0x08, 0x64, 0x62},
    {0x36, 0x49, 0x56, 0x20, 0x50}, {0x00, 0x05, 0x03, 0x00, 0x00}, {0x00, 0x1C, 0x22, 0x41, 0x00},
    {0x00, 0x41, 0x22, 0x1C, 0x00}, {0x2A, 0x1C, 0x7F, 0x1C, 0x2A}, {0x08, 0x08, 0x3E, 0x08, 0x08},
    {0x00, 0x50, 0x30, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08}, {0x00, 0x60, 0x60, 0x00, 0x00},
    {0x20, 0x10, 0x08, 0x04, 0x02}, {0x3E, 0x51, 0x49, 0x45, 0x3E}, {0x00, 0x42, 0x7F, 0x40, 0x00},
    {0x42, 0x61, 0x51, 0x49, 0x46}, {0x21, 0x41, 0x45, 0x4B, 0x31}, {0x18, 0x14, 0x12, 0x7F, 0x10},
    {0x27, 0x45, 0x45, 0x45, 0x39}, {0x3C, 0x4A, 0x49, 0x49, 0x30}, {0x01, 0x71, 0x09, 0x05, 0x03},
    {0x36, 0x49, 0x49, 0x49, 0x36}, {0x06, 0x49, 0x49, 0x29, 0x1E}, {0x00, 0x36, 0x36, 0x00, 0x00},
    {0x00, 0x56, 0x36, 0x00, 0x00}, {0x08, 0x14, 0x22, 0x41, 0x00}, {0x14, 0x14, 0x14, 0x14, 0x14},
    {0x00, 0x41, 0x22, 0x14, 0x08}, {0x02, 0x01, 0x51, 0x09, 0x06}, {0x32, 0x49, 0x79, 0x41, 0x3E},
    {0x7E, 0x11, 0x11, 0x11, 0x7E}, {0x7F, 0x49, 0x49, 0x49, 0x36}, {0x3E, 0x41, 0x41, 0x41, 0x22},
    {0x7F, 0x41, 0x41, 0x22, 0x1C}, {0x7F, 0x49, 0x49, 0x49, 0x41}, {0x7F, 0x09, 0x09, 0x09, 0x01},
    {0x3E, 0x41, 0x49, 0x49, 0x7A}, {0x7F, 0x08, 0x08, 0x08, 0x7F}, {0x00, 0x41, 0x7F, 0x41, 0x00},
    {0x20, 0x40, 0x41, 0x3F, 0x01}, {0x7F, 0x08, 0x14, 0x22, 0x41}, {0x7F, 0x40, 0x40, 0x40, 0x40},
    {0x7F, 0x02, 0x0C, 0x02, 0x7F}, {0x7F, 0x04, 0x08, 0x10, 0x7F}, {0x3E, 0x41, 0x41, 0x41, 0x3E},
    {0x7F, 0x09, 0x09, 0x09, 0x06}, {0x3E, 0x41, 0x51, 0x21, 0x5E}, {0x7F, 0x09, 0x19, 0x29, 0x46},
    {0x46, 0x49, 0x49, 0x49, 0x31}, {0x01, 0x01, 0x7F, 0x01, 0x01}, {0x3F, 0x40, 0x40, 0x40, 0x3F},
    {0x1F, 0x20, 0x40, 0x20, 0x1F}, {0x3F, 0x40, 0x38, 0x40, 0x3F}, {0x63, 0x14, 0x08, 0x14, 0x63},
    {0x07, 0x08, 0x70, 0x08, 0x07}, {0x61, 0x51, 0x49, 0x45, 0x43}, {0x00, 0x7F, 0x41, 0x41, 0x00},
    {0x02, 0x04, 0x08, 0x10, 0x20}, {0x00, 0x41, 0x41, 0x7F, 0x00}, {0x04, 0x02, 0x01, 0x02, 0x04},
    {0x40, 0x40, 0x40, 0x40, 0x40}, {0x00, 0x01, 0x02, 0x04, 0x00}, {0x20, 0x54, 0x54, 0x54, 0x78},
    {0x7F, 0x48, 0x44, 0x44, 0x38}, {0x38, 0x44, 0x44, 0x44, 0x20}, {0x38, 0x44, 0x44, 0x48, 0x7F},
    {0x38, 0x54, 0x54, 0x54, 0x18}, {0x08, 0x7E, 0x09, 0x01, 0x02}, {0x0C, 0x52, 0x52, 0x52, 0x3E},
    {0x7F, 0x08, 0x04, 0x04, 0x78}, {0x00, 0x44, 0x7D, 0x40, 0x00}, {0x20, 0x40, 0x44, 0x3D, 0x00},
    {0x7F, 0x10, 0x28, 0x44, 0x00}, {0x00, 0x41, 0x7F, 0x40, 0x00}, {0x7C, 0x04, 0x18, 0x04, 0x78},
    {0x7C, 0x08, 0x04, 0x04, 0x78}, {0x38, 0x44, 0x44, 0x44, 0x38}, {0x7C, 0x14, 0x14, 0x14, 0x08},
    {0x08, 0x14, 0x14, 0x18, 0x7C}, {0x7C, 0x08, 0x04, 0x04, 0x08}, {0x48, 0x54, 0x54, 0x54, 0x20},
    {0x04, 0x3F, 0x44, 0x40, 0x20}, {0x3C, 0x40, 0x40, 0x20, 0x7C}, {0x1C, 0x20, 0x40, 0x20, 0x1C},
    {0x3C, 0x40, 0x30, 0x40, 0x3C}, {0x44, 0x28, 0x10, 0x28, 0x44}, {0x0C, 0x50, 0x50, 0x50, 0x3C},
    {0x44, 0x64, 0x54, 0x4C, 0x44}, {0x00, 0x08, 0x36, 0x41, 0x00}, {0x00, 0x00, 0x7F, 0x00, 0x00},
    {0x00, 0x41, 0x36, 0x08, 0x00}, {0x08, 0x04, 0x08, 0x10, 0x08},
}};

// One stored NV image: dots (x, y) as gray values, 255 white.
struct NvImage {
    int width = 0;
    int height = 0;
    bool gray = false;
    Bytes data;  // as received
};

// Gray value of dot (x, y) of an image.
std::uint8_t DotValue(const NvImage& image, int x, int y) {
    if (image.gray) {
        const std::uint8_t byte = image.data[(static_cast<std::size_t>(y) * image.width + x) / 2];
        const int level = x % 2 == 0 ? byte >> 4 : byte & 15;
        return static_cast<std::uint8_t>(255 - std::min(level, 5) * 51);
    }
    const int bands = image.height / 8;
    const std::uint8_t byte = image.data[static_cast<std::size_t>(x) * bands + y / 8];
    return (byte >> (7 - y % 8)) & 1 ? 0 : 255;
}

bool WritePng(const std::string& path, int width, const std::vector<Bytes>& rows) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width),
                     static_cast<png_uint_32>(std::max<std::size_t>(rows.size(), 1)), 8,
                     PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        const Bytes blank(static_cast<std::size_t>(width), 255);
        if (rows.empty()) png_write_row(png, blank.data());
        for (const Bytes& row : rows) png_write_row(png, row.data());
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

class NvGraphicsModule : public PrinterModule {
public:
    explicit NvGraphicsModule(Printer& printer)
        : m_printer(printer), m_pageWidth(printer.ModelCode() == 2 ? 384 : 512) {}

    void OnBytes(const std::uint8_t* data, std::size_t size, LinkActions& link) override {
        m_linkName = link.LinkName();
        m_pageChanged = false;
        for (std::size_t i = 0; i < size; ++i) Byte(data[i]);
        if (m_stateChanged) SaveImages();
        if (m_pageChanged) WritePage();
    }

private:
    enum class Mode { Normal, Command, Define, Skip };

    void Byte(std::uint8_t b) {
        switch (m_mode) {
            case Mode::Normal:
                return NormalByte(b);
            case Mode::Command:
                return CommandByte(b);
            case Mode::Define:
                return DefineByte(b);
            case Mode::Skip:
                if (--m_skip <= 0) m_mode = Mode::Normal;
                return;
        }
    }

    void NormalByte(std::uint8_t b) {
        if (b == kEsc || b == kFs || b == kGs) {
            m_command = {b};
            m_mode = Mode::Command;
        } else if (b == '\n') {
            FlushLine(true);
        } else if (b >= 0x20 && b != 0x7F) {
            m_line.push_back(b);
        }
        // Other control bytes (NUL of surplus empty images, CR, ...) print nothing.
    }

    // Collects an ESC, FS or GS sequence until it is complete.
    void CommandByte(std::uint8_t b) {
        m_command.push_back(b);
        const Bytes& c = m_command;
        // A Star-style ESC before FS p / FS q: the ESC only prefixes the command.
        if (c.size() == 2 && c[0] == kEsc && b == kFs) {
            m_command = {kFs};
            return;
        }
        if (c.size() == 2) {
            const std::uint8_t first = c[0];
            if (first == kEsc && b == '@') return Done(Initialise());
            if (first == kEsc && (b == 'i' || b == 'm')) return Done(Cut());
            if (first == kEsc && (b == 'd' || b == 'J')) return;  // feeds
            if (first == kFs && (b == 'q' || b == 'p')) return;   // parameters follow
            if (first == kGs && (b == 'V' || b == '(' || b == 'I')) return;
            // Other commands are taken to have one parameter byte, which is skipped.
            m_skip = 1;
            m_mode = Mode::Skip;
            return;
        }
        const std::uint8_t first = c[0];
        const std::uint8_t name = c[1];
        if (first == kEsc && (name == 'd' || name == 'J')) {
            FlushLine(false);
            const int rows = name == 'd' ? b * kLineHeight : b;
            m_page.insert(m_page.end(), static_cast<std::size_t>(rows),
                          Bytes(static_cast<std::size_t>(m_pageWidth), 255));
            m_pageChanged = rows > 0;
            Done(true);
        } else if (first == kFs && name == 'q') {
            StartDefine(b);
        } else if (first == kFs && name == 'p' && c.size() == 4) {
            Done(PrintImage(c[2], c[3]));
        } else if (first == kGs && name == 'I') {
            Done(true);  // identity request: answered by other modules if at all
        } else if (first == kGs && name == 'V') {
            // GS V m, or GS V m n for m 65/66.
            if (c.size() == 3 && (b == 65 || b == 66)) return;
            Done(Cut());
        } else if (first == kGs && name == '(' && c.size() == 5) {
            // GS ( fn pL pH, then pL + 256 pH bytes (the user-setup commands, GS ( E).
            m_skip = c[3] | (c[4] << 8);
            m_mode = m_skip > 0 ? Mode::Skip : Mode::Normal;
        }
    }

    void Done(bool) { m_mode = Mode::Normal; }

    bool Initialise() {
        m_line.clear();
        return true;
    }

    // FS q n: the memory is erased, then n images follow.
    void StartDefine(int count) {
        m_images.clear();
        m_stateChanged = true;
        m_defineLeft = count;
        m_header.clear();
        m_dataLeft = 0;
        m_mode = count > 0 ? Mode::Define : Mode::Normal;
    }

    void DefineByte(std::uint8_t b) {
        if (m_header.size() < 4) {
            m_header.push_back(b);
            if (m_header.size() < 4) return;
            NvImage image;
            const bool gray = (m_header[1] & 0xA0) == 0xA0;
            const int xHigh = gray ? m_header[1] & 0x5F : m_header[1];
            image.width = (m_header[0] + 256 * xHigh) * 8;
            image.height = (m_header[2] + 256 * m_header[3]) * 8;
            image.gray = gray;
            m_dataLeft = static_cast<std::size_t>(image.width) * image.height / (gray ? 2 : 8);
            m_images.push_back(std::move(image));
        } else {
            m_images.back().data.push_back(b);
            --m_dataLeft;
        }
        if (m_dataLeft == 0) {
            m_header.clear();
            m_stateChanged = true;
            if (--m_defineLeft == 0) m_mode = Mode::Normal;
        }
    }

    // FS p n m: image n scaled by m; text waiting in the line is printed first.
    bool PrintImage(int number, int mode) {
        FlushLine(false);
        if (m_defineLeft == 0) LoadImages();  // another link may have defined them
        if (number < 1 || number > static_cast<int>(m_images.size())) return false;
        const NvImage& image = m_images[static_cast<std::size_t>(number - 1)];
        if (image.width == 0 || image.height == 0) return false;
        const int sx = (mode & 1) ? 2 : 1;
        const int sy = (mode & 2) ? 2 : 1;
        for (int y = 0; y < image.height; ++y) {
            Bytes row(static_cast<std::size_t>(m_pageWidth), 255);
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t v = DotValue(image, x, y);
                for (int k = 0; k < sx; ++k) {
                    const int px = x * sx + k;
                    if (px < m_pageWidth) row[static_cast<std::size_t>(px)] = v;
                }
            }
            for (int k = 0; k < sy; ++k) m_page.push_back(row);
        }
        m_pageChanged = true;
        return true;
    }

    // Prints the text of the line; with feed, an empty line still advances the paper.
    void FlushLine(bool feed) {
        if (m_line.empty() && !feed) return;
        std::vector<Bytes> rows(kLineHeight, Bytes(static_cast<std::size_t>(m_pageWidth), 255));
        for (std::size_t i = 0; i < m_line.size(); ++i) {
            const int c = m_line[i];
            const auto& glyph =
                kFont[static_cast<std::size_t>(c >= 0x20 && c < 0x7F ? c - 0x20 : '?' - 0x20)];
            for (int col = 0; col < 5; ++col) {
                for (int r = 0; r < 7; ++r) {
                    if (!((glyph[static_cast<std::size_t>(col)] >> r) & 1)) continue;
                    for (int dy = 0; dy < 2; ++dy) {
                        for (int dx = 0; dx < 2; ++dx) {
                            const int px = static_cast<int>(i) * kCellWidth + 1 + col * 2 + dx;
                            if (px < m_pageWidth)
                                rows[static_cast<std::size_t>(4 + r * 2 + dy)]
                                    [static_cast<std::size_t>(px)] = 0;
                        }
                    }
                }
            }
        }
        m_page.insert(m_page.end(), rows.begin(), rows.end());
        m_line.clear();
        m_pageChanged = true;
    }

    bool Cut() {
        FlushLine(false);
        if (!m_page.empty()) WritePage();
        m_page.clear();
        ++m_pageNumber;
        m_pageChanged = false;
        return true;
    }

    void WritePage() {
        const std::string path = m_printer.OutPath("receipt-" + m_linkName + "-" +
                                                   std::to_string(m_pageNumber) + ".png");
        if (path.empty()) return;
        if (!WritePng(path, m_pageWidth, m_page)) {
            std::fprintf(stderr, "kp70sim: cannot write %s\n", path.c_str());
        }
    }

    void LoadImages() {
        m_images.clear();
        const nlohmann::json& nv = m_printer.State("nv");
        if (!nv.contains("images") || !nv["images"].is_array()) return;
        for (const auto& entry : nv["images"]) {
            NvImage image;
            image.width = entry.value("width", 0);
            image.height = entry.value("height", 0);
            image.gray = entry.value("gray", false);
            if (!ParseHex(entry.value("data", std::string()), image.data)) image.data.clear();
            const std::size_t expected =
                static_cast<std::size_t>(image.width) * image.height / (image.gray ? 2 : 8);
            if (image.data.size() != expected) image = NvImage{};
            m_images.push_back(std::move(image));
        }
    }

    void SaveImages() {
        nlohmann::json images = nlohmann::json::array();
        for (const NvImage& image : m_images) {
            images.push_back({{"width", image.width},
                              {"height", image.height},
                              {"gray", image.gray},
                              {"data", ToHex(image.data.data(), image.data.size())}});
        }
        m_printer.State("nv")["images"] = images;
        m_printer.StateChanged();
        m_stateChanged = false;
    }

    Printer& m_printer;
    const int m_pageWidth;
    std::string m_linkName = "link";
    Mode m_mode = Mode::Normal;
    Bytes m_command;
    int m_skip = 0;
    // Definition in progress.
    int m_defineLeft = 0;
    Bytes m_header;
    std::size_t m_dataLeft = 0;
    std::vector<NvImage> m_images;
    bool m_stateChanged = false;
    // The receipt.
    Bytes m_line;
    std::vector<Bytes> m_page;
    int m_pageNumber = 1;
    bool m_pageChanged = false;
};

}  // namespace

std::unique_ptr<PrinterModule> MakeNvGraphicsModule(Printer& printer) {
    return std::make_unique<NvGraphicsModule>(printer);
}

}  // namespace kp70sim
