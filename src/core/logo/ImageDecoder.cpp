#include "core/logo/ImageDecoder.h"

#include <atomic>

namespace kp70 {

namespace {

// Set once at start-up and read by every decode, from any thread.
std::atomic<const ImageDecoder*> g_decoder{nullptr};

}  // namespace

void InstallImageDecoder(const ImageDecoder* decoder) {
    g_decoder.store(decoder, std::memory_order_release);
}

const ImageDecoder* InstalledImageDecoder() {
    return g_decoder.load(std::memory_order_acquire);
}

std::optional<DecodedBitmap> DecodeImage(const std::uint8_t* data, std::size_t size,
                                         std::string& error) {
    const ImageDecoder* decoder = InstalledImageDecoder();
    if (decoder != nullptr && decoder->Recognises(data, size)) {
        return decoder->Decode(data, size, error);
    }
    return DecodeBmp(data, size, error);
}

}  // namespace kp70
