// The backup container: what the writer makes the reader gives back, and the reader takes
// nothing that could write outside its folder, exhaust memory or hide a link.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/service/Tar.h"

namespace kp70 {
namespace {

// One ustar header as a hostile archive might carry it, then the data and the end blocks.
struct RawEntry {
    std::string name;
    char type = '0';
    std::string sizeField;  // empty: the data's size in octal
    std::string data;
    std::string prefix;
    bool badChecksum = false;
    bool cutData = false;
};

std::string Archive(const std::vector<RawEntry>& entries) {
    std::string out;
    for (const RawEntry& e : entries) {
        char h[512] = {};
        std::memcpy(h, e.name.data(), std::min<std::size_t>(e.name.size(), 100));
        std::memcpy(h + 100, "0000644", 7);
        char size[16];
        std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(e.data.size()));
        const std::string sizeText = e.sizeField.empty() ? size : e.sizeField;
        std::memcpy(h + 124, sizeText.data(), std::min<std::size_t>(sizeText.size(), 12));
        h[156] = e.type;
        std::memcpy(h + 257, "ustar", 6);
        std::memcpy(h + 263, "00", 2);
        std::memcpy(h + 345, e.prefix.data(), e.prefix.size());
        unsigned sum = 0;
        for (int i = 0; i < 512; ++i)
            sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
        std::snprintf(h + 148, 8, "%06o", sum + (e.badChecksum ? 1 : 0));
        h[155] = ' ';
        out.append(h, 512);
        if (e.cutData) return out + e.data.substr(0, e.data.size() / 2);
        out += e.data;
        out.append((512 - e.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

TEST(Tar, WhatIsWrittenReadsBack) {
    const std::vector<TarEntry> entries = {
        {"manifest.json", "{}\n"}, {"logos/001-a.bmp", std::string(1000, '\x42')}, {"empty", ""}};
    std::string archive, why;
    ASSERT_TRUE(WriteTar(entries, 0, archive, why)) << why;
    EXPECT_EQ(archive.size() % 512, 0u);
    std::vector<TarEntry> read;
    ASSERT_TRUE(ReadTar(archive, read, why)) << why;
    ASSERT_EQ(read.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(read[i].name, entries[i].name);
        EXPECT_EQ(read[i].data, entries[i].data);
    }
    EXPECT_FALSE(WriteTar({{"../x", ""}}, 0, archive, why));
    EXPECT_FALSE(WriteTar({{std::string(100, 'a'), ""}}, 0, archive, why));
}

TEST(Tar, ReaderRefusesHostileArchives) {
    const std::string big = std::to_string(kTarMaxEntryBytes + 1);
    char bigOctal[16];
    std::snprintf(bigOctal, sizeof bigOctal, "%011llo",
                  static_cast<unsigned long long>(kTarMaxEntryBytes + 1));
    const struct {
        const char* what;
        std::vector<RawEntry> entries;
        const char* why;  // a part of the reason
    } cases[] = {
        {"absolute name", {{"/etc/passwd", '0', "", "x"}}, "absolute"},
        {"dot-dot part", {{"logos/../../evil", '0', "", "x"}}, "leads out"},
        {"dot-dot alone", {{"..", '0', "", "x"}}, "leads out"},
        {"dot-dot in the prefix", {{"x", '0', "", "x", "../up"}}, "leads out"},
        {"backslash", {{"..\\evil", '0', "", "x"}}, "leads out"},
        {"empty name", {{"", '0', "", "x"}}, "leads out"},
        {"symbolic link", {{"link", '2', "", ""}}, "type '2'"},
        {"hard link", {{"link", '1', "", ""}}, "type '1'"},
        {"device", {{"dev", '3', "", ""}}, "type '3'"},
        {"pax header", {{"pax", 'x', "", "30 path=/etc/passwd\n"}}, "type 'x'"},
        {"oversize entry", {{"big", '0', bigOctal, ""}}, "above"},
        {"base-256 size",
         {{"big", '0', "\x80\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00", ""}},
         "size field"},
        {"size not a number", {{"n", '0', "12x", ""}}, "size field"},
        {"bad checksum", {{"a", '0', "", "x", "", true}}, "checksum"},
        {"data cut short", {{"a", '0', "", std::string(2000, 'a'), "", false, true}}, "cut short"},
        {"same name twice", {{"a", '0', "", "1"}, {"a", '0', "", "2"}}, "twice"},
    };
    for (const auto& c : cases) {
        std::vector<TarEntry> read;
        std::string why;
        EXPECT_FALSE(ReadTar(Archive(c.entries), read, why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
    // Not an archive at all, and one without its end blocks.
    std::vector<TarEntry> read;
    std::string why;
    EXPECT_FALSE(ReadTar("PK\x03\x04 a zip file", read, why));
    EXPECT_FALSE(ReadTar(std::string(600, 'x'), read, why));
    // Directories are passed over; the files in them are taken.
    EXPECT_TRUE(ReadTar(Archive({{"logos/", '5', "", ""}, {"logos/a", '0', "", "x"}}), read, why))
        << why;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, "logos/a");
}

TEST(Tar, ReaderRefusesTooManyEntries) {
    std::vector<RawEntry> entries;
    for (std::size_t i = 0; i <= kTarMaxEntries; ++i) entries.push_back({"f" + std::to_string(i)});
    std::vector<TarEntry> read;
    std::string why;
    EXPECT_FALSE(ReadTar(Archive(entries), read, why));
    EXPECT_NE(why.find("more than"), std::string::npos) << why;
}

}  // namespace
}  // namespace kp70
