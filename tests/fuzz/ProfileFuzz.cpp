// Reads arbitrary bytes as the profile file (kp70tool.INI, which anyone may edit) and
// changes it as the tool does: a written key reads back as written, the logo list and the
// firmware tools' keys read back whatever the file held, and nothing reads out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app/Profile.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/LastImage.h"

namespace {

// One folder of the fuzzer's own: a save looks through the profile's folder for temporary
// files that earlier saves left.
const std::string& ProfilePath() {
    static const std::string path = [] {
        char folder[] = "/tmp/kp70-fuzz-profile-XXXXXX";
        if (!::mkdtemp(folder)) std::abort();
        return std::string(folder) + "/kp70tool.INI";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kp70;
    const std::string& path = ProfilePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Profile profile(path);
    const auto logos = profile.SectionEntries("LOGO");
    (void)profile.SectionEntries("DEVICELIST");
    (void)LoadLastImage(profile, firmwaretext::kFwdn20Section);

    // The keys the tool writes, with values as the tool makes them.
    if (!SaveLastImage(profile, firmwaretext::kFwdn15Section, {"/img/a b,c.bin", "a b,c.bin"}))
        std::abort();
    const LastImage image = LoadLastImage(profile, firmwaretext::kFwdn15Section);
    if (image.path != "/img/a b,c.bin") std::abort();
    if (!profile.WriteString("LOGO", "Logofile1", "/logos/x.bmp")) std::abort();
    if (profile.GetString("logo", "LOGOFILE1") != "/logos/x.bmp") std::abort();
    // The other entries of the logo list stay as they were (only the first key of a name
    // counts, so a second Logofile1 may stay behind).
    if (profile.SectionEntries("LOGO").size() < logos.size()) std::abort();
    if (!profile.DeleteKey("LOGO", "Logofile1")) std::abort();
    return 0;
}
