#include "core/logo/LogoList.h"

#include <gtest/gtest.h>

#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "support/BmpBuilder.h"

namespace kp70 {
namespace {

class LogoListTest : public ::testing::Test {
protected:
    std::string Bmp(const std::string& name, int width = 100, int height = 100) {
        return test::WriteBmp(m_dir, name, test::Solid24(width, height, 0));
    }
    std::vector<int> Numbers() const {
        std::vector<int> n;
        for (const auto& e : m_list.Entries()) n.push_back(e.number);
        return n;
    }
    void Store(const std::vector<std::string>& paths) {
        Profile profile(m_dir.File("kp70tool.INI"));
        for (std::size_t i = 0; i < paths.size(); ++i)
            profile.WriteString("LOGO", "Logofile" + std::to_string(i + 1), paths[i]);
    }

    test::TempDir m_dir;
    LogoList m_list;
};

TEST_F(LogoListTest, AddedFilesAreNumberedAndSized) {
    const auto result = m_list.AddBitmap(0, Bmp("a.bmp"));
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.number, 1);
    EXPECT_FALSE(result.message);
    const LogoEntry& e = m_list.Entries()[0];
    EXPECT_EQ(e.name, "a.bmp");
    EXPECT_EQ(e.size, 1352);
    EXPECT_EQ(e.NumberText(), "  1");
    EXPECT_EQ(e.SizeText(), "           1352");
    EXPECT_EQ(m_list.CountText(), "  1 / 255");
    EXPECT_EQ(m_list.SizeText(), "  2 / 384 KByte");
    EXPECT_EQ(m_list.Entries()[0].path, m_dir.File("a.bmp"));
}

TEST_F(LogoListTest, GrayToggleMultipliesAndDividesSizes) {
    m_list.AddBitmap(0, Bmp("a.bmp"));
    m_list.AddBitmap(0, Bmp("b.bmp", 10, 10));  // 32 bytes
    m_list.SetGrayPrinting(true);
    EXPECT_EQ(m_list.Entries()[0].size, 5408);
    EXPECT_EQ(m_list.TotalBytes(), 4 * (1352 + 32));
    EXPECT_EQ(m_list.SizeText(), "  5 / 384 KByte");  // truncated after a toggle
    m_list.SetGrayPrinting(true);                     // no change
    EXPECT_EQ(m_list.Entries()[0].size, 5408);
    m_list.SetGrayPrinting(false);
    EXPECT_EQ(m_list.Entries()[0].size, 1352);
    EXPECT_EQ(m_list.TotalBytes(), 1352 + 32);
    // Added in gray mode: four times the monochrome size.
    m_list.SetGrayPrinting(true);
    m_list.AddBitmap(0, Bmp("c.bmp"));
    EXPECT_EQ(m_list.Entries()[2].size, 5408);
}

TEST_F(LogoListTest, RemovedNumbersAreReusedSmallestFirst) {
    for (int i = 0; i < 5; ++i) m_list.AddBitmap(0, Bmp("f" + std::to_string(i) + ".bmp"));
    EXPECT_TRUE(m_list.RemoveBitmap(4));
    EXPECT_TRUE(m_list.RemoveBitmap(2));
    EXPECT_EQ(m_list.FreeNumbers(), (std::vector<int>{2, 4}));
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("x.bmp")).number, 2);
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("y.bmp")).number, 4);
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("z.bmp")).number, 6);
    EXPECT_EQ(m_list.TotalBytes(), 6 * 1352);
}

TEST_F(LogoListTest, RemovingAnUnlistedNumberChangesNothing) {
    m_list.AddBitmap(0, Bmp("a.bmp"));
    EXPECT_FALSE(m_list.RemoveBitmap(7));
    EXPECT_EQ(m_list.Count(), 1);
    EXPECT_EQ(m_list.TotalBytes(), 1352);
    EXPECT_TRUE(m_list.FreeNumbers().empty());
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("b.bmp")).number, 2);
}

TEST_F(LogoListTest, The256thFileIsRefused) {
    const std::string path = Bmp("tiny.bmp", 8, 8);  // 8 bytes each
    for (int i = 0; i < 255; ++i) ASSERT_TRUE(m_list.AddBitmap(0, path).accepted);
    const auto result = m_list.AddBitmap(0, path);
    EXPECT_FALSE(result.accepted);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->number, msg::kNoMoreFiles);
    EXPECT_EQ(m_list.CountText(), "255 / 255");
}

TEST_F(LogoListTest, CapacityRefusesAFileThatWouldOverflow) {
    // 512 x 768 = 49152 bytes; eight of them fill 393,216 bytes exactly.
    const std::string big = Bmp("big.bmp", 512, 768);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(m_list.AddBitmap(0, big).accepted);
    EXPECT_EQ(m_list.SizeText(), "384 / 384 KByte");
    const auto result = m_list.AddBitmap(0, Bmp("small.bmp", 8, 8));
    EXPECT_FALSE(result.accepted);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->number, msg::kAreaTooSmall);
}

TEST_F(LogoListTest, ImagesAreRefusedOnlyWhenNoHeaderCanSayTheirSize) {
    struct Case {
        int width, height;
        bool gray;
        int message;  // 0: accepted
    };
    const Case cases[] = {
        {512, 760, true, 0},  // 194,560 bytes: sized from the image, within the memory
        {1000, 600, false, 0},
        {65528, 1, false, 0},
        {65536, 1, false, msg::kBitmapNotSupported},
        {512, 1544, true, msg::kAreaTooSmall},  // the capacity check stays as it was
    };
    for (const Case& c : cases) {
        LogoList list;
        list.SetGrayPrinting(c.gray);
        const auto result = list.AddBitmap(0, Bmp("b.bmp", c.width, c.height));
        EXPECT_EQ(result.accepted, c.message == 0) << c.width << "x" << c.height;
        if (c.message != 0) {
            ASSERT_TRUE(result.message);
            EXPECT_EQ(result.message->number, c.message);
            EXPECT_FALSE(result.reason.empty());
        }
    }
}

TEST_F(LogoListTest, UndecodableChosenFilesAreAlwaysReported) {
    test::WriteFile(m_dir.File("bad.bmp"), "not a bitmap");
    for (int i = 0; i < 2; ++i) {
        const auto result = m_list.AddBitmap(0, m_dir.File("bad.bmp"));
        EXPECT_FALSE(result.accepted);
        ASSERT_TRUE(result.message);
        EXPECT_EQ(result.message->number, msg::kStoredFileIncorrect);
    }
    EXPECT_TRUE(m_list.FailedNumbers().empty());
}

TEST_F(LogoListTest, StoredListWithAMissingFileFreesItsNumberOnce) {
    Store({Bmp("1.bmp"), Bmp("2.bmp"), m_dir.File("missing.bmp"), Bmp("4.bmp"), Bmp("5.bmp")});
    const auto messages = m_list.LoadStoredList(Profile(m_dir.File("kp70tool.INI")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, msg::kStoredFileIncorrect);
    EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 4, 5}));
    EXPECT_EQ(m_list.StoredCount(), 5);
    EXPECT_EQ(m_list.FailedNumbers(), (std::vector<int>{3}));
    m_list.TakeOverFailedNumbers();
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("n.bmp")).number, 3);
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("m.bmp")).number, 6);
}

TEST_F(LogoListTest, TakeOverMergesFailedIntoFreeNumbers) {
    Store({Bmp("1.bmp"), Bmp("2.bmp"), m_dir.File("gone.bmp"), Bmp("4.bmp")});
    m_list.LoadStoredList(Profile(m_dir.File("kp70tool.INI")));
    m_list.RemoveBitmap(1);
    m_list.TakeOverFailedNumbers();
    EXPECT_EQ(m_list.FreeNumbers(), (std::vector<int>{1, 3}));
    m_list.TakeOverFailedNumbers();  // nothing failed any more
    EXPECT_EQ(m_list.FreeNumbers(), (std::vector<int>{1, 3}));
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("a.bmp")).number, 1);
    EXPECT_EQ(m_list.AddBitmap(0, Bmp("b.bmp")).number, 3);
    EXPECT_EQ(Numbers(), (std::vector<int>{2, 4, 1, 3}));
}

TEST_F(LogoListTest, StoredEntriesBeyondCapacityAreCountedAsFailed) {
    const std::string big = Bmp("big.bmp", 512, 768);
    Store({big, big, big, big, big, big, big, big, Bmp("s.bmp", 8, 8), Bmp("t.bmp", 8, 8)});
    const auto messages = m_list.LoadStoredList(Profile(m_dir.File("kp70tool.INI")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, msg::kStoredFileTooBig);
    EXPECT_EQ(m_list.FailedNumbers(), (std::vector<int>{9, 10}));
    EXPECT_EQ(m_list.FailedCount(), 2);
}

TEST_F(LogoListTest, CompleteUploadStoresPathsInUploadOrderAndDropsSurplusKeys) {
    const std::string ini = m_dir.File("kp70tool.INI");
    Store({Bmp("1.bmp"), Bmp("2.bmp"), Bmp("3.bmp"), Bmp("4.bmp")});
    Profile profile(ini);
    profile.WriteString("LOGO", "Logofile7", "stale");
    m_list.LoadStoredList(profile);
    m_list.RemoveBitmap(1);
    m_list.RemoveBitmap(3);
    m_list.AddBitmap(0, Bmp("x.bmp"));  // gets number 1
    ASSERT_TRUE(m_list.StoreUploadedList(profile, m_list.UploadOrder()));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), m_dir.File("x.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2"), m_dir.File("2.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile3"), m_dir.File("4.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile4", "-"), "-");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile7", "-"), "-");
    EXPECT_EQ(m_list.StoredCount(), 3);

    // Loaded again, the numbers are the printer's image numbers.
    LogoList again;
    again.LoadStoredList(profile);
    ASSERT_EQ(again.Count(), 3);
    EXPECT_EQ(again.Entries()[0].name, "x.bmp");
    EXPECT_EQ(again.Entries()[2].number, 3);
}

// A complete upload stores each file's mark and the gray mode with the list; the next
// load sizes the files as they were uploaded and shows them in the list's mode. Keys of an
// earlier upload go, and a profile without them reads as monochrome and not centred.
TEST_F(LogoListTest, MarksAndTheGrayModeAreStoredWithTheList) {
    Profile profile(m_dir.File("kp70tool.INI"));
    const std::string a = Bmp("a.bmp");
    ASSERT_TRUE(m_list.AddBitmap(0, a).accepted);
    ASSERT_TRUE(m_list.AddBitmap(0, Bmp("big.bmp", 512, 760)).accepted);  // 194,560 in gray
    ASSERT_FALSE(m_list.SetGrayPrinting(true));
    ASSERT_TRUE(m_list.SetCenter(2, true));
    ASSERT_TRUE(m_list.StoreUploadedList(profile, m_list.UploadOrder()));
    EXPECT_EQ(profile.GetString("LOGO", "Logocenter1", "-"), "-");
    EXPECT_EQ(profile.GetString("LOGO", "Logocenter2"), "1");
    EXPECT_EQ(profile.GetString("LOGO", "GrayPrinting"), "1");

    LogoList mono;
    EXPECT_TRUE(mono.LoadStoredList(profile).empty());
    EXPECT_TRUE(mono.StoredGray());
    ASSERT_EQ(mono.Count(), 2);
    EXPECT_EQ(mono.TotalBytes(), 1352 + 48640);
    EXPECT_FALSE(mono.Entries()[0].center);
    EXPECT_TRUE(mono.Entries()[1].center);

    LogoList one;
    ASSERT_TRUE(one.AddBitmap(0, a).accepted);
    ASSERT_TRUE(one.StoreUploadedList(profile, one.UploadOrder()));
    EXPECT_EQ(test::ReadFile(profile.Path()), "[LOGO]\nLogofile1=" + a + "\n");
}

TEST_F(LogoListTest, ResetEmptiesTheListAndCounters) {
    m_list.AddBitmap(0, Bmp("a.bmp"));
    m_list.RemoveBitmap(1);
    m_list.ResetListCounters();
    EXPECT_EQ(m_list.Count(), 0);
    EXPECT_EQ(m_list.TotalBytes(), 0);
    EXPECT_TRUE(m_list.FreeNumbers().empty());
    EXPECT_EQ(m_list.CountText(), "  0 / 255");
    EXPECT_EQ(m_list.SizeText(), "  0 / 384 KByte");
}

}  // namespace
}  // namespace kp70
