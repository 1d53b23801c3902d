#include "core/firmware/FirmwareImage.h"

#include "core/app/ModelCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "core/app/MessageCatalogue.h"
#include "core/firmware/FirmwareTexts.h"

namespace kp70 {

namespace {

// The Boot packet's last four bytes, whatever the image holds there.
constexpr std::array<std::uint8_t, 4> kBootTail = {0x00, 0x80, 0xFE, 0xFF};
constexpr std::size_t kHeaderSize = 10;

Notice ErrorNotice(std::string text) {
    Notice notice = Notice::Literal(std::move(text));
    notice.caption = firmwaretext::kErrorCaption;
    return notice;
}

}  // namespace

bool OpenImageFile(const std::string& path, std::ifstream& file) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    file.open(path, std::ios::binary);
    return file.is_open();
}

std::int64_t FileSizeOf(std::ifstream& file) {
    const std::streampos here = file.tellg();
    file.seekg(0, std::ios::end);
    const std::streampos end = file.tellg();
    file.seekg(here);
    if (!file || end < 0) return -1;
    return static_cast<std::int64_t>(end);
}

AreaLayout LayoutOf(FirmwareArea area, int modelCode) {
    using models::FirmwareLayout;
    const FirmwareLayout family = models::FirmwareLayoutOf(modelCode);
    const bool talvo30 = family == FirmwareLayout::Talvo30;
    AreaLayout layout;
    switch (area) {
        case FirmwareArea::Program:
            layout.offset = talvo30                          ? 0x300000
                            : family == FirmwareLayout::Kp70 ? 0x400000
                                                             : 0x500000;
            layout.length = talvo30 ? 0x98000 : 0xD0000;
            layout.code = {0x01, 0x11, static_cast<std::uint8_t>(talvo30 ? 0x52 : 0x51), 0x30};
            break;
        case FirmwareArea::ExtFont:
            layout = {0x600000, 0x100000, {0x01, 0x11, 0x46, 0x30}};
            break;
        case FirmwareArea::LcdFont:
            layout = {0x000000, 0x200000, {0x01, 0x11, 0xBB, 0x30}};
            break;
        case FirmwareArea::Download:
            layout.offset = talvo30                          ? 0x3D0000
                            : family == FirmwareLayout::Kp70 ? 0x4D0000
                                                             : 0x5D0000;
            layout.length = 0x18000;
            layout.code = {0x01, 0x11, 0x44, 0x30};
            break;
        case FirmwareArea::Boot:
            layout = {0x2E0000, 0x15000, {0x01, 0x11, 0x42, 0x30}};
            break;
    }
    return layout;
}

std::optional<Notice> AreaQuestion(FirmwareArea area) {
    switch (area) {
        case FirmwareArea::Program:
            return std::nullopt;
        case FirmwareArea::ExtFont:
            return Notice::Message(msg::kExtFontAreaQuestion);
        case FirmwareArea::LcdFont: {
            Notice notice;
            notice.text = firmwaretext::kLcdFontQuestion;
            return notice;
        }
        case FirmwareArea::Download:
            return Notice::Message(msg::kDownloaderAreaQuestion);
        case FirmwareArea::Boot:
            return Notice::Message(msg::kBootAreaQuestion);
    }
    return std::nullopt;
}

bool AreaAllowed(FirmwareArea area, int modelCode, bool serviceMode, bool bootPermitted) {
    switch (area) {
        case FirmwareArea::Program:
        case FirmwareArea::ExtFont:
            return true;
        case FirmwareArea::LcdFont:
            return models::HasLcdFontArea(modelCode);
        case FirmwareArea::Download:
            return serviceMode;
        case FirmwareArea::Boot:
            return serviceMode && bootPermitted;
    }
    return false;
}

BootPermission BootPermissionOf(const std::uint8_t* trailer) {
    if (!std::equal(kFirmwareSignature.begin(), kFirmwareSignature.end(), trailer + 1))
        return BootPermission::Undecided;
    return trailer[0] >= 1 && trailer[0] <= 10 ? BootPermission::Permitted
                                               : BootPermission::NotPermitted;
}

TrailerRead ReadTrailer(const std::string& path) {
    TrailerRead result;
    std::ifstream file;
    if (!OpenImageFile(path, file)) return result;
    result.opened = true;
    std::array<char, kTrailerSize> trailer{};
    file.seekg(static_cast<std::streamoff>(kBootEnableOffset));
    if (!file || !file.read(trailer.data(), kTrailerSize)) return result;
    std::array<std::uint8_t, kTrailerSize> bytes{};
    std::memcpy(bytes.data(), trailer.data(), kTrailerSize);
    result.permission = BootPermissionOf(bytes.data());
    return result;
}

std::optional<Notice> CheckImageSize(std::int64_t size) {
    if (size == static_cast<std::int64_t>(kFirmwareImageSize)) return std::nullopt;
    char text[64];
    std::snprintf(text, sizeof text, firmwaretext::kFileSizeFormat, static_cast<int>(size));
    return ErrorNotice(text);
}

std::optional<Notice> CheckSignature(const std::uint8_t* image, std::size_t size) {
    if (size >= kFirmwareSignature.size() &&
        std::equal(kFirmwareSignature.begin(), kFirmwareSignature.end(),
                   image + size - kFirmwareSignature.size()))
        return std::nullopt;
    return ErrorNotice(firmwaretext::kWrongFile);
}

LoadedImage LoadFirmwareImage(std::istream& file) {
    LoadedImage loaded;
    try {
        loaded.bytes.assign(kFirmwareImageSize, 0xFF);
    } catch (const std::bad_alloc&) {
        loaded.failure = Notice::Literal(firmwaretext::kAllocationFailed);
        return loaded;
    }
    file.read(reinterpret_cast<char*>(loaded.bytes.data()),
              static_cast<std::streamsize>(kFirmwareImageSize));
    if (file.gcount() != static_cast<std::streamsize>(kFirmwareImageSize)) {
        loaded.bytes = {};
        loaded.failure = Notice::Literal(firmwaretext::kShortRead);
    }
    return loaded;
}

AreaPacket BuildAreaPacket(const std::uint8_t* image, std::size_t size, FirmwareArea area,
                           int modelCode) {
    const AreaLayout layout = LayoutOf(area, modelCode);
    const std::size_t length = layout.length;
    AreaPacket packet;
    packet.bytes.assign(length, 0xFF);
    std::uint8_t* p = packet.bytes.data();
    std::copy(layout.code.begin(), layout.code.end(), p);
    for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    // The data: image[offset] .. image[offset + L - 11], as far as the image reaches.
    const std::size_t dataLength = length - kHeaderSize;
    if (layout.offset < size) {
        const std::size_t available = std::min(dataLength, size - layout.offset);
        std::memcpy(p + kHeaderSize, image + layout.offset, available);
    }
    if (area == FirmwareArea::Boot) std::copy(kBootTail.begin(), kBootTail.end(), p + length - 4);
    std::uint32_t sum = 0;
    for (std::size_t i = kHeaderSize; i < length; ++i) sum += p[i];
    packet.checksum = static_cast<std::uint16_t>(sum);
    p[8] = static_cast<std::uint8_t>(packet.checksum);
    p[9] = static_cast<std::uint8_t>(packet.checksum >> 8);
    return packet;
}

std::uint16_t AreaChecksum(const std::uint8_t* image, std::size_t size, FirmwareArea area,
                           int modelCode) {
    const AreaLayout layout = LayoutOf(area, modelCode);
    std::size_t dataLength = layout.length - kHeaderSize;
    std::uint32_t sum = 0;
    if (area == FirmwareArea::Boot) {
        dataLength -= kBootTail.size();
        for (std::uint8_t b : kBootTail) sum += b;
    }
    // The image's bytes as far as it reaches, 0xFF beyond.
    const std::size_t available =
        layout.offset < size ? std::min(dataLength, size - layout.offset) : 0;
    const std::uint8_t* from = image + layout.offset;
    for (std::size_t i = 0; i < available; ++i) sum += from[i];
    sum += static_cast<std::uint32_t>(0xFF * (dataLength - available));
    return static_cast<std::uint16_t>(sum);
}

std::string ChecksumText(std::uint16_t checksum) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(checksum));
    return text;
}

}  // namespace kp70
