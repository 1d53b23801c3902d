// Feeds arbitrary bytes, starting from small PNG, JPEG and GIF files, to the image decoder
// behind the logo reader and, when a file decodes, through both conversions: nothing may
// read or write out of bounds or allocate without bound, whatever the file says.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoOptions.h"
#include "image/StbImageDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto bitmap = [] {
        kp70::InstallStandardImageDecoders();
        return std::make_unique<kp70::LogoBitmap>();
    }();
    if (!bitmap->LoadFromMemory(data, size)) return 0;
    // Keep each run quick: convert only images that a logo list would accept.
    if (static_cast<long long>(bitmap->PaddedWidth()) * bitmap->PaddedHeight() > 64 * 1024) {
        return 0;
    }
    kp70::LogoOptions options;
    options.divergingPoint = size > 20 ? data[20] : 128;
    kp70::ConvertMono(*bitmap, options, true);
    kp70::ConvertGray(*bitmap, options);
    return 0;
}
