#include <gtest/gtest.h>

#include <sstream>

#include "core/app/MessageCatalogue.h"
#include "core/firmware/FirmwareImage.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::MakeImage;

TEST(FirmwareImage, SizeMustBeEightMegabytes) {
    const struct {
        std::int64_t size;
        const char* text;
    } cases[] = {
        {8388607, "FileSize (8388607 bytes) Error!"},
        {8388609, "FileSize (8388609 bytes) Error!"},
        {0, "FileSize (0 bytes) Error!"},
    };
    for (const auto& c : cases) {
        const auto notice = CheckImageSize(c.size);
        ASSERT_TRUE(notice) << c.size;
        EXPECT_EQ(notice->literal, c.text);
        EXPECT_EQ(notice->caption, "Error");
    }
    EXPECT_FALSE(CheckImageSize(8388608));
}

TEST(FirmwareImage, SignatureIsComparedByteByByte) {
    std::vector<std::uint8_t> image = MakeImage();
    EXPECT_FALSE(CheckSignature(image.data(), image.size()));
    for (std::size_t at = 0x7FFFFC; at < 0x800000; ++at) {
        std::vector<std::uint8_t> spoilt = image;
        spoilt[at] ^= 0x20;  // "kVRN", "KvRN", ...: case counts too
        const auto notice = CheckSignature(spoilt.data(), spoilt.size());
        ASSERT_TRUE(notice) << at;
        EXPECT_EQ(notice->literal, "Wrong File!");
        EXPECT_EQ(notice->caption, "Error");
    }
}

TEST(FirmwareImage, BootEnableByteDecidesTheBootArea) {
    const struct {
        std::uint8_t byte;
        BootPermission expected;
    } cases[] = {{0, BootPermission::NotPermitted},
                 {1, BootPermission::Permitted},
                 {10, BootPermission::Permitted},
                 {11, BootPermission::NotPermitted},
                 {255, BootPermission::NotPermitted}};
    for (const auto& c : cases) {
        const std::uint8_t trailer[5] = {c.byte, 'K', 'V', 'R', 'N'};
        EXPECT_EQ(BootPermissionOf(trailer), c.expected) << int(c.byte);
    }
    const std::uint8_t unsigned_[5] = {1, 'K', 'V', 'R', 'X'};
    EXPECT_EQ(BootPermissionOf(unsigned_), BootPermission::Undecided);
}

TEST(FirmwareImage, TrailerOfFilesThatCannotBeRead) {
    test::TempDir dir;
    test::WriteBytes(dir.File("boot.SHC"), MakeImage(10));
    test::WriteBytes(dir.File("short.SHC"), std::vector<std::uint8_t>(100, 1));
    EXPECT_EQ(ReadTrailer(dir.File("boot.SHC")).permission, BootPermission::Permitted);

    const TrailerRead missing = ReadTrailer(dir.File("missing.SHC"));
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.permission, BootPermission::Undecided);
    const TrailerRead folder = ReadTrailer(dir.Path().string());
    EXPECT_FALSE(folder.opened);
    const TrailerRead tooShort = ReadTrailer(dir.File("short.SHC"));
    EXPECT_TRUE(tooShort.opened);
    EXPECT_EQ(tooShort.permission, BootPermission::Undecided);
}

TEST(FirmwareImage, ShortReadIsReported) {
    std::istringstream shortFile(std::string(1000, 'x'));
    const LoadedImage loaded = LoadFirmwareImage(shortFile);
    ASSERT_TRUE(loaded.failure);
    EXPECT_EQ(loaded.failure->literal, "ERROR : File Size Error");
    EXPECT_TRUE(loaded.bytes.empty());
}

TEST(FirmwareImage, ProgramAreaDependsOnTheModel) {
    const AreaLayout talvo30 = LayoutOf(FirmwareArea::Program, 5);
    EXPECT_EQ(talvo30.offset, 0x300000u);
    EXPECT_EQ(talvo30.length, 622592u);
    EXPECT_EQ(talvo30.code, (std::array<std::uint8_t, 4>{0x01, 0x11, 0x52, 0x30}));
    const AreaLayout kp70 = LayoutOf(FirmwareArea::Program, 6);
    EXPECT_EQ(kp70.offset, 0x400000u);
    EXPECT_EQ(kp70.length, 851968u);
    EXPECT_EQ(kp70.code, (std::array<std::uint8_t, 4>{0x01, 0x11, 0x51, 0x30}));
}

TEST(FirmwareImage, PacketCarriesTheAreaSlice) {
    const std::vector<std::uint8_t> image = MakeImage();
    for (int model : {5, 6}) {
        for (int a = 0; a < kFirmwareAreaCount; ++a) {
            const auto area = static_cast<FirmwareArea>(a);
            const AreaLayout layout = LayoutOf(area, model);
            const AreaPacket packet = BuildAreaPacket(image.data(), image.size(), area, model);
            const std::vector<std::uint8_t>& p = packet.bytes;
            ASSERT_EQ(p.size(), layout.length);
            EXPECT_TRUE(std::equal(layout.code.begin(), layout.code.end(), p.begin()));
            EXPECT_EQ(p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24,
                      layout.length);
            EXPECT_EQ(p[8] | p[9] << 8, packet.checksum);
            EXPECT_EQ(packet.checksum, test::Sum16(p.data() + 10, p.size() - 10));
            EXPECT_EQ(AreaChecksum(image.data(), image.size(), area, model), packet.checksum);
            const std::size_t data = layout.length - 10 - (area == FirmwareArea::Boot ? 4 : 0);
            EXPECT_TRUE(std::equal(p.begin() + 10, p.begin() + 10 + static_cast<long>(data),
                                   image.begin() + static_cast<long>(layout.offset)))
                << a << "/" << model;
        }
    }
}

TEST(FirmwareImage, BootPacketEndsWithItsFixedTail) {
    const std::vector<std::uint8_t> image = MakeImage();
    const AreaPacket packet = BuildAreaPacket(image.data(), image.size(), FirmwareArea::Boot, 6);
    EXPECT_EQ(std::vector<std::uint8_t>(packet.bytes.end() - 4, packet.bytes.end()),
              (std::vector<std::uint8_t>{0x00, 0x80, 0xFE, 0xFF}));
    EXPECT_EQ(packet.checksum, test::Sum16(packet.bytes.data() + 10, packet.bytes.size() - 10));
}

TEST(FirmwareImage, ChecksumOfAnErasedProgramArea) {
    const std::vector<std::uint8_t> erased(kFirmwareImageSize, 0xFF);
    const AreaPacket packet =
        BuildAreaPacket(erased.data(), erased.size(), FirmwareArea::Program, 6);
    EXPECT_EQ(packet.checksum, 0xF60A);
    EXPECT_EQ(ChecksumText(packet.checksum), "F60A");
    EXPECT_EQ(ChecksumText(0x00AB), "AB");
}

TEST(FirmwareImage, AreasOfferedByModelAndMode) {
    using A = FirmwareArea;
    const struct {
        A area;
        int model;
        bool service;
        bool boot;
        bool allowed;
    } cases[] = {
        {A::Program, 1, false, false, true},  {A::ExtFont, 5, false, false, true},
        {A::LcdFont, 6, false, false, true},  {A::LcdFont, 5, true, true, false},
        {A::Download, 6, false, true, false}, {A::Download, 6, true, false, true},
        {A::Boot, 6, true, false, false},     {A::Boot, 6, false, true, false},
        {A::Boot, 6, true, true, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AreaAllowed(c.area, c.model, c.service, c.boot), c.allowed)
            << int(c.area) << " model " << c.model << " service " << c.service;
}

TEST(FirmwareImage, LcdFontQuestionIsTheToolsOwnText) {
    MessageCatalogue catalogue;
    EXPECT_FALSE(AreaQuestion(FirmwareArea::Program));
    EXPECT_EQ(catalogue.Text(*AreaQuestion(FirmwareArea::LcdFont)),
              "Are you sure the LCD Font area download?");
    catalogue.SelectLanguage(true);
    EXPECT_EQ(catalogue.Text(*AreaQuestion(FirmwareArea::LcdFont)),
              "LCD 폰트를 다운로드 하시겠습니까?");
}

}  // namespace
}  // namespace kp70
