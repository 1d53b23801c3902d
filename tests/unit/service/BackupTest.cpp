// The backup file's manifest, the settings it carries onto a printer, and the runner that
// provisions several printers at once.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "core/app/VirtualClock.h"
#include "core/service/Backup.h"
#include "core/service/BackupSequences.h"
#include "core/service/ParallelRunner.h"
#include "core/service/Tar.h"
#include "core/setup/SetupLists.h"

namespace kp70 {
namespace {

Backup Sample() {
    Backup b;
    b.tool = "1.1.0.0";
    b.time = "2026-12-08T11:45:00";
    b.model = 6;
    b.device = "KP70 E-II";
    b.settings = {{"paper-width", "58mm"}, {"left-margin", "300"}};
    b.hasLogos = true;
    b.gray = true;
    b.diverging = 100;
    b.area = 384;
    b.logos = {{1, "logos/001-a.bmp", "a.bmp", true, "BM-a"},
               {2, "logos/002-b.bmp", "b.bmp", false, "BM-b"}};
    return b;
}

std::string Encoded(const Backup& b) {
    std::string file, why;
    EXPECT_TRUE(EncodeBackup(b, file, why)) << why;
    return file;
}

// The backup with its manifest replaced by `manifest` (the bitmaps stay).
std::string WithManifest(const std::string& manifest) {
    std::vector<TarEntry> entries;
    std::string why, file;
    EXPECT_TRUE(ReadTar(Encoded(Sample()), entries, why));
    entries[0].data = manifest;
    EXPECT_TRUE(WriteTar(entries, 0, file, why));
    return file;
}

TEST(Backup, WhatIsEncodedDecodesAgain) {
    Backup read;
    std::string why;
    ASSERT_TRUE(DecodeBackup(Encoded(Sample()), read, why)) << why;
    const Backup b = Sample();
    EXPECT_EQ(read.model, 6);
    EXPECT_EQ(read.device, b.device);
    ASSERT_EQ(read.settings.size(), 2u);
    EXPECT_EQ(read.settings[1].name, "left-margin");
    EXPECT_EQ(read.settings[1].value, "300");
    ASSERT_EQ(read.logos.size(), 2u);
    EXPECT_EQ(read.logos[1].data, "BM-b");
    const LogoOptions options = read.Options();
    EXPECT_TRUE(options.grayPrinting);
    EXPECT_EQ(options.divergingPoint, 100);
    EXPECT_EQ(options.maxPrintableArea, 384);
    EXPECT_TRUE(read.logos[0].center);
    EXPECT_FALSE(read.logos[1].center);
}

TEST(Backup, DecodeRefusesManifestsThatCannotBeTrusted) {
    const struct {
        const char* manifest;
        const char* why;
    } cases[] = {
        {"not json", "manifest.json"},
        {R"({"format": "other"})", "not a printer backup"},
        {R"({"format": "kp70-backup", "version": 2})", "newer tool"},
        {R"({"format": "kp70-backup", "version": 1, "settings": {"a": [1]}})", "\"a\""},
        {R"({"format": "kp70-backup", "version": 1, "logos": {"diverging": 300, "images": []}})",
         "diverging"},
        {R"({"format": "kp70-backup", "version": 1, "logos": {"area": 0, "images": []}})", "area"},
        {R"({"format": "kp70-backup", "version": 1, "logos": {"images": [{"number": 2,
            "file": "logos/002-b.bmp"}]}})",
         "logo 1 is missing"},
        {R"({"format": "kp70-backup", "version": 1, "logos": {"images": [{"number": 1,
            "file": "logos/../../etc/passwd"}]}})",
         "not in the backup"},
        {R"({"format": "kp70-backup", "version": 1, "logos": {"images": [{"number": 1,
            "file": "manifest.json"}]}})",
         "not in the backup"},
    };
    for (const auto& c : cases) {
        Backup read;
        std::string why;
        EXPECT_FALSE(DecodeBackup(WithManifest(c.manifest), read, why)) << c.manifest;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.manifest << ": " << why;
    }
}

TEST(Backup, SettingsFileIsGetJsonOrAManifest) {
    std::vector<BackupSetting> settings;
    std::string why;
    ASSERT_TRUE(ReadSettingsJson(R"({"paper-width": "80mm", "stop-bit": null, "left-margin": 12})",
                                 settings, why))
        << why;
    ASSERT_EQ(settings.size(), 2u);  // null: the setting did not answer
    EXPECT_EQ(settings[1].value, "12");
    ASSERT_TRUE(ReadSettingsJson(R"({"format": "kp70-backup", "settings": {"code-page": "16"}})",
                                 settings, why));
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].name, "code-page");
    EXPECT_FALSE(ReadSettingsJson("[1, 2]", settings, why));
    EXPECT_FALSE(ReadSettingsJson(R"({"a": "b"} trailing)", settings, why));
}

TEST(Backup, PlanRefusesWhatTheModelLacksOnlyForAnotherModelsBackup) {
    const auto table = SettingTable(std::vector<std::string>(setup::kBuiltInReceiveBuffers.begin(),
                                                             setup::kBuiltInReceiveBuffers.end()));
    const AskOperator noOne = [](const Question&) { return std::nullopt; };
    const std::vector<BackupSetting> settings = {{"kitchen-bell", "on"},
                                                 {"paper-width", "80mm"},
                                                 {"max-column", "32"},
                                                 {"left-margin", "20"}};
    auto statusOf = [](const SettingsPlan& plan, const std::string& name) {
        for (const auto& item : plan.items)
            if (item.name == name) return item.status;
        ADD_FAILURE() << name;
        return SettingRestore::Write;
    };
    const struct {
        int model;
        bool otherModel;
        SettingRestore bell;
        bool refused;
    } cases[] = {
        {6, true, SettingRestore::Write, false},
        {4, false, SettingRestore::Kept, false},  // a model-4 printer's own backup
        {4, true, SettingRestore::Refused, true},
        {5, true, SettingRestore::Refused, true},
    };
    for (const auto& c : cases) {
        SetupValues values;
        values.paperWidth = 0;
        const SettingsPlan plan =
            PlanSettings(table, settings, values, c.model, false, c.otherModel, noOne);
        EXPECT_EQ(statusOf(plan, "kitchen-bell"), c.bell) << c.model;
        EXPECT_EQ(plan.refused, c.refused) << c.model;
        // The column count applies with 58mm only: kept, never refused.
        EXPECT_EQ(statusOf(plan, "max-column"), SettingRestore::Kept) << c.model;
        EXPECT_EQ(statusOf(plan, "left-margin"), SettingRestore::Write);
        EXPECT_EQ(values.leftMargin, 20);
    }
    SetupValues values;
    const SettingsPlan unknown =
        PlanSettings(table, {{"paper-wdith", "80mm"}}, values, 6, false, false, noOne);
    EXPECT_TRUE(unknown.refused);
    EXPECT_EQ(unknown.items.at(0).name, "paper-wdith");
}

TEST(ParallelRunner, ServesEveryPrinterWithinTheJobLimitWhateverOneDoes) {
    VirtualClock clock;
    CancelToken never;
    std::atomic<int> running{0}, most{0};
    const std::vector<std::string> printers = {"a", "b", "c", "d", "e", "f", "g"};
    std::vector<std::string> finished;
    const auto rows = RunInParallel(
        printers, 3, clock, never,
        [&](std::size_t i, const CancelToken&) {
            const int now = ++running;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::yield();
            --running;
            if (i == 1) throw std::runtime_error("socket exploded");
            ProvisionRow row;
            row.status = i == 4 ? ProvisionRow::Status::Failed : ProvisionRow::Status::Done;
            row.settingsWritten = static_cast<int>(i);
            return row;
        },
        [&](const ProvisionRow& row) { finished.push_back(row.printer); });
    EXPECT_LE(most.load(), 3);
    ASSERT_EQ(rows.size(), printers.size());
    EXPECT_EQ(finished.size(), printers.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].printer, printers[i]);
        const bool fails = i == 1 || i == 4;
        EXPECT_EQ(rows[i].status,
                  fails ? ProvisionRow::Status::Failed : ProvisionRow::Status::Done);
    }
    EXPECT_EQ(rows[1].error, "socket exploded");

    CancelToken cancelled;
    cancelled.Cancel();
    const auto none = RunInParallel(printers, 2, clock, cancelled,
                                    [](std::size_t, const CancelToken&) { return ProvisionRow{}; });
    EXPECT_EQ(none[0].status, ProvisionRow::Status::NotStarted);
}

}  // namespace
}  // namespace kp70
