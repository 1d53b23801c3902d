// Treats arbitrary bytes as a firmware image file: the size check, the signature, the boot
// enable byte and every area's packet stay consistent, and reading the file never crashes,
// whatever it holds (a short file reads as a short read, never as an image). Now and then
// the input becomes the start and the trailer of a file of the full 8 MB, which goes
// through the checks a real file takes: the read, the signature and the boot permission.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "core/firmware/FirmwareImage.h"

namespace {

void CheckFullSizeImage(const std::uint8_t* data, std::size_t size) {
    using namespace kp70;
    std::string file(kFirmwareImageSize, '\xFF');
    file.replace(0, std::min(size - kTrailerSize, kFirmwareImageSize - kTrailerSize),
                 reinterpret_cast<const char*>(data), size - kTrailerSize);
    file.replace(kBootEnableOffset, kTrailerSize,
                 reinterpret_cast<const char*>(data + size - kTrailerSize), kTrailerSize);
    std::istringstream in(std::move(file));
    const LoadedImage loaded = LoadFirmwareImage(in);
    if (loaded.failure || loaded.bytes.size() != kFirmwareImageSize) std::abort();
    const std::uint8_t* trailer = loaded.bytes.data() + kBootEnableOffset;
    if (std::memcmp(trailer, data + size - kTrailerSize, kTrailerSize) != 0) std::abort();
    const bool signed_ = std::memcmp(trailer + 1, "KVRN", 4) == 0;
    if (CheckSignature(loaded.bytes.data(), loaded.bytes.size()).has_value() == signed_)
        std::abort();
    if ((BootPermissionOf(trailer) == BootPermission::Undecided) == signed_) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kp70;
    if (CheckImageSize(static_cast<std::int64_t>(size)).has_value() != (size != kFirmwareImageSize))
        std::abort();
    const bool signed_ = size >= 4 && data[size - 4] == 'K' && data[size - 3] == 'V' &&
                         data[size - 2] == 'R' && data[size - 1] == 'N';
    if (CheckSignature(data, size).has_value() == signed_) std::abort();
    if (size >= kTrailerSize) {
        const BootPermission boot = BootPermissionOf(data + size - kTrailerSize);
        const std::uint8_t enable = data[size - kTrailerSize];
        const BootPermission expected = !signed_ ? BootPermission::Undecided
                                        : enable >= 1 && enable <= 10
                                            ? BootPermission::Permitted
                                            : BootPermission::NotPermitted;
        if (boot != expected) std::abort();
    }
    if (size >= kTrailerSize && (data[0] & 0x3F) == 0x38) CheckFullSizeImage(data, size);

    // Building a packet walks tens of kilobytes (megabytes for the long areas), slow in an
    // instrumented build: one input in eight builds one.
    if (size == 0 || (data[0] & 0x0E) != 0) return 0;

    // One area of one model per input: the packet is L bytes, carries its own length and a
    // checksum over its data that the in-place sum agrees with. The short areas (boot,
    // download) mostly, the long ones (up to 2 MB) now and then, to keep the pace.
    const auto area = (data[0] & 0xE0) == 0xE0 ? static_cast<FirmwareArea>(data[0] % 3)
                      : (data[0] & 1)          ? FirmwareArea::Boot
                                               : FirmwareArea::Download;
    const int model = 1 + (data[0] >> 4) % 6;
    const AreaLayout layout = LayoutOf(area, model);
    const AreaPacket packet = BuildAreaPacket(data, size, area, model);
    if (packet.bytes.size() != layout.length) std::abort();
    const std::uint8_t* p = packet.bytes.data();
    if ((p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24) != layout.length)
        std::abort();
    // The packet's checksum and the sum worked out on the image agree.
    if ((p[8] | p[9] << 8) != packet.checksum) std::abort();
    if (AreaChecksum(data, size, area, model) != packet.checksum) std::abort();
    if (ChecksumText(packet.checksum).size() > 4) std::abort();

    // Now and then the whole read: a file shorter than 8 MB is a short read.
    if ((data[0] & 0x1F) == 0x10) {
        std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
        const LoadedImage loaded = LoadFirmwareImage(file);
        if (!loaded.failure || !loaded.bytes.empty()) std::abort();
    }
    return 0;
}
