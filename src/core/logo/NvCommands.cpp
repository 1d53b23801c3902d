#include "core/logo/NvCommands.h"

#include <utility>

namespace kp70 {

namespace {
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kFs = 0x1C;
constexpr std::uint8_t kGs = 0x1D;
}  // namespace

Bytes DefineNvImagesCommand(int count, bool starEmulation) {
    Bytes bytes;
    if (starEmulation) bytes.push_back(kEsc);
    bytes.insert(bytes.end(), {kFs, 0x71, static_cast<std::uint8_t>(count)});
    return bytes;
}

Bytes DeleteAllNvImagesCommand() {
    return {kFs, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00};
}

Bytes PrintNvImageCommand(int number, NvPrintMode mode, bool starEmulation) {
    Bytes bytes;
    if (starEmulation) bytes.push_back(kEsc);
    bytes.insert(bytes.end(),
                 {kFs, 0x70, static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(mode)});
    return bytes;
}

Bytes InitializePrinterCommand() {
    return {kEsc, 0x40};
}

Bytes PrinterIdentityRequest() {
    return {kGs, 0x49, 0x01};
}

Bytes EmptyNvImage() {
    return {0x00, 0x00, 0x00, 0x00};
}

std::array<std::uint8_t, 4> NvImageHeader(int paddedWidth, int paddedHeight, bool gray) {
    const int x = paddedWidth / 8;
    const int y = paddedHeight / 8;
    return {static_cast<std::uint8_t>(x % 256),
            static_cast<std::uint8_t>((x / 256) | (gray ? 0xA0 : 0x00)),
            static_cast<std::uint8_t>(y % 256), static_cast<std::uint8_t>(y / 256)};
}

std::vector<int> UploadOrder(const std::vector<int>& numbers) {
    std::vector<int> order(numbers.size());
    std::vector<int> keys = numbers;
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    for (std::size_t i = 1; i < keys.size(); ++i) {
        for (std::size_t j = i; j < keys.size(); ++j) {
            if (keys[j] < keys[i - 1]) {
                std::swap(keys[j], keys[i - 1]);
                std::swap(order[j], order[i - 1]);
            }
        }
    }
    return order;
}

}  // namespace kp70
