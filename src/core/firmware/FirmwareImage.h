#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"

namespace kp70 {

// A firmware image is a copy of the printer's 8 MB flash: every area's contents at a fixed
// offset, and a five-byte trailer at the very end: the boot enable byte and the signature
// "KVRN". Bytes outside the areas carry nothing the tool uses.
inline constexpr std::size_t kFirmwareImageSize = 0x800000;
inline constexpr std::size_t kBootEnableOffset = 0x7FFFFB;
inline constexpr std::size_t kSignatureOffset = 0x7FFFFC;
inline constexpr std::size_t kTrailerSize = 5;
inline constexpr std::array<std::uint8_t, 4> kFirmwareSignature = {'K', 'V', 'R', 'N'};

// The flash areas, in the order of the F/W Update screen's radio buttons; the number is the
// stored selection index.
enum class FirmwareArea { Program = 0, ExtFont = 1, LcdFont = 2, Download = 3, Boot = 4 };
inline constexpr int kFirmwareAreaCount = 5;

// Opens an image file for reading. Only regular files are opened: a folder or a device is
// no image, and opening a named pipe would wait for a writer that may never come.
bool OpenImageFile(const std::string& path, std::ifstream& file);
// The size of an opened file in bytes; -1 when it cannot be told.
std::int64_t FileSizeOf(std::ifstream& file);

// Where an area lies in the image and how its packet is headed for a model.
struct AreaLayout {
    std::size_t offset = 0;              // of the area's data in the image
    std::uint32_t length = 0;            // L: the whole packet, its 10 header bytes included
    std::array<std::uint8_t, 4> code{};  // the area code, in sending order
};
AreaLayout LayoutOf(FirmwareArea area, int modelCode);

// The Yes/No question asked before the area is sent: msg::kExtFontAreaQuestion,
// msg::kDownloaderAreaQuestion and msg::kBootAreaQuestion, and for the LCD font a text of the
// tool's own; none for the program area.
std::optional<Notice> AreaQuestion(FirmwareArea area);

// Whether the operator may choose the area: program and Ext. Font always, the LCD font on
// model code 6 only, the DOWNLOAD area in service mode, the Boot area in service mode when
// the image permits it.
bool AreaAllowed(FirmwareArea area, int modelCode, bool serviceMode, bool bootPermitted);

// What an image's trailer says about the Boot area. Undecided when the file cannot be read
// or carries no signature: the screen then leaves the Boot choice as it is.
enum class BootPermission { Permitted, NotPermitted, Undecided };
// From the five trailer bytes (boot enable byte, then the signature): permitted for a boot
// enable byte of 1..10.
BootPermission BootPermissionOf(const std::uint8_t* trailer);

struct TrailerRead {
    bool opened = false;  // the file could be opened for reading
    BootPermission permission = BootPermission::Undecided;
};
// Opens the file, reads the five bytes at 0x7FFFFB and closes it again.
TrailerRead ReadTrailer(const std::string& path);
inline BootPermission BootPermitted(const std::string& path) {
    return ReadTrailer(path).permission;
}

// The size an opened image must have; otherwise "FileSize (%d bytes) Error!" with the actual
// size, caption "Error".
std::optional<Notice> CheckImageSize(std::int64_t size);
// The last four bytes must be the signature; otherwise "Wrong File!", caption "Error".
std::optional<Notice> CheckSignature(const std::uint8_t* image, std::size_t size);

// The whole image read into one buffer of 8,388,608 bytes (filled with 0xFF first). The
// buffer is moved along from here on, never copied.
struct LoadedImage {
    std::vector<std::uint8_t> bytes;
    std::optional<Notice> failure;  // "ERROR:Memory Allocation Fail." or a short read
};
LoadedImage LoadFirmwareImage(std::istream& file);

// One area's packet: its L bytes (area code, L little-endian, checksum little-endian, the
// area's image bytes; the Boot packet ends in 00 80 FE FF) and the checksum, the sum of bytes
// 10 .. L-1 modulo 65,536. An image shorter than the area reads as 0xFF beyond its end.
struct AreaPacket {
    std::vector<std::uint8_t> bytes;
    std::uint16_t checksum = 0;
};
AreaPacket BuildAreaPacket(const std::uint8_t* image, std::size_t size, FirmwareArea area,
                           int modelCode);
// The packet's checksum worked out on the image itself, without building the packet.
std::uint16_t AreaChecksum(const std::uint8_t* image, std::size_t size, FirmwareArea area,
                           int modelCode);
// The checksum as the screen shows it: upper-case hexadecimal without leading zeros (F60A).
std::string ChecksumText(std::uint16_t checksum);

}  // namespace kp70
