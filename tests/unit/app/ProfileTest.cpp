#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/app/FileSync.h"
#include "core/app/Language.h"
#include "core/app/Profile.h"
#include "support/TempDir.h"

using namespace kp70;
using kp70::test::ReadFile;
using kp70::test::WriteFile;

TEST(Profile, CaseInsensitiveFirstMatchVerbatimValues) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("kp70tool.INI");
    WriteFile(path,
              "[logo]\r\nLOGOFILE1 = C:\\logos\\a,b \"x\".bmp \r\nlogofile1=second\r\n"
              "[LOGO]\r\nLogofile2=from the second section\r\n");
    Profile profile(path);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "C:\\logos\\a,b \"x\".bmp");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2", "none"), "none");
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ0", "dflt"), "dflt");
}

TEST(Profile, MissingFileReadsAsEmpty) {
    kp70::test::TempDir dir;
    Profile profile(dir.File("absent.INI"));
    EXPECT_EQ(profile.GetString("A", "b", "d"), "d");
    EXPECT_TRUE(profile.SectionEntries("A").empty());
}

TEST(Profile, WriteKeepsEveryOtherLineAndItsEnding) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    const std::string original =
        "; comment kept\r\n[USER]\r\nR_BUF_SZ0=64\r\nodd line without equals\r\n\r\n"
        "[LOGO]\nLogofile1=a.bmp\n";
    WriteFile(path, original);
    Profile profile(path);
    ASSERT_TRUE(profile.WriteString("user", "r_buf_sz0", "32"));
    EXPECT_EQ(ReadFile(path),
              "; comment kept\r\n[USER]\r\nr_buf_sz0=32\r\nodd line without equals\r\n\r\n"
              "[LOGO]\nLogofile1=a.bmp\n");
    ASSERT_TRUE(profile.WriteString("USER", "R_BUF_SZ1", "20"));
    EXPECT_EQ(ReadFile(path),
              "; comment kept\r\n[USER]\r\nr_buf_sz0=32\r\nodd line without equals\r\n"
              "R_BUF_SZ1=20\r\n\r\n[LOGO]\nLogofile1=a.bmp\n");
    ASSERT_TRUE(profile.WriteString("FWDN20", "File", "/tmp/x.bin"));
    EXPECT_EQ(profile.GetString("fwdn20", "FILE"), "/tmp/x.bin");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "a.bmp");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(Profile, DeleteKeyRemovesOnlyThatLine) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    WriteFile(path, "[LOGO]\nLogofile1=a\nLogofile2=b\nLogofile3=c\n");
    Profile profile(path);
    ASSERT_TRUE(profile.DeleteKey("LOGO", "logofile2"));
    EXPECT_EQ(ReadFile(path), "[LOGO]\nLogofile1=a\nLogofile3=c\n");
    ASSERT_TRUE(profile.DeleteKey("LOGO", "Logofile9"));
    EXPECT_EQ(ReadFile(path), "[LOGO]\nLogofile1=a\nLogofile3=c\n");
}

TEST(Profile, NewFileAndFileWithoutFinalLineBreak) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    Profile profile(path);
    ASSERT_TRUE(profile.WriteString("USER", "CodePage0", "0|PC437 (USA, Std Europe)"));
    EXPECT_EQ(ReadFile(path), "[USER]\nCodePage0=0|PC437 (USA, Std Europe)\n");
    WriteFile(path, "[A]\r\nx=1");
    ASSERT_TRUE(profile.WriteString("A", "y", "2"));
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST(Profile, EmptyKeyNameAndDeviceListEntries) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    WriteFile(path, "[DEVICELIST]\n=TALVO20 S\nnext=\nx=MX-5100 P\n[OTHER]\n=KP70 Z\n");
    Profile profile(path);
    EXPECT_EQ(profile.GetString("DEVICELIST", ""), "TALVO20 S");
    EXPECT_EQ(ProfileDeviceEntries(profile), (std::vector<std::string>{"TALVO20 S", "MX-5100 P"}));
    WriteFile(path, "[OTHER]\nx=1\n");
    EXPECT_TRUE(ProfileDeviceEntries(profile).empty());
}

TEST(Profile, UnwritableLocationReportsFailureAndKeepsTheFile) {
    Profile profile("/nonexistent-dir-kp70/p.INI");
    EXPECT_FALSE(profile.WriteString("A", "b", "c"));
}

TEST(Profile, PathIsStartDirectoryAndExecutableBaseName) {
#ifndef _WIN32
    EXPECT_EQ(ProfilePathFor("/home/u", "/usr/bin/kp70tool"), "/home/u/kp70tool.INI");
    EXPECT_EQ(ProfilePathFor("", "kp70tool"), "/kp70tool.INI");
#else
    EXPECT_EQ(ProfilePathFor("C:\\Users\\u", "C:\\Program Files\\kp70\\kp70tool"),
              "C:\\Users\\u\\kp70tool.INI");
    EXPECT_EQ(ProfilePathFor("", "kp70tool"), "\\kp70tool.INI");
#endif
}

// A file that ends in a bare CR (found by fuzzing): a new section and key used to be
// joined to that last line, so the write succeeded but never read back.
TEST(Profile, WritesAfterALastLineEndingInABareCarriageReturnReadBack) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    const struct {
        std::string file;
        std::string after;
    } cases[] = {
        {"; comment\r", "; comment\r\n[FWDN15]\nFILE=a.bin\n"},
        {"[A]\r\nx=1\r", "[A]\r\nx=1\r\n[FWDN15]\r\nFILE=a.bin\r\n"},
        {"[FWDN15]\r", "[FWDN15]\r\nFILE=a.bin\n"},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.file);
        Profile profile(path);
        ASSERT_TRUE(profile.WriteString("FWDN15", "FILE", "a.bin"));
        EXPECT_EQ(profile.GetString("FWDN15", "FILE"), "a.bin") << c.file;
        EXPECT_EQ(ReadFile(path), c.after) << c.file;
    }
}

namespace {
std::vector<std::string> g_synced;
std::string g_profileWhenSynced;
bool g_syncResult = true;
bool RecordSync(const std::string& path) {
    g_synced.push_back(path);
    if (g_synced.size() == 1) g_profileWhenSynced = ReadFile(path);
    return g_syncResult;
}
}  // namespace

// The new contents are on disk before they replace the old; a disk that cannot say so
// fails the save and keeps the old file.
TEST(Profile, SaveSyncsTheTemporaryFileBeforeTheRenameAndTheFolderAfter) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    WriteFile(path, "[A]\nk=old\n");
    for (const bool syncWorks : {true, false}) {
        g_synced.clear();
        g_syncResult = syncWorks;
        SetFileSync(&RecordSync);
        const bool saved = Profile(path).WriteString("A", "k", "new");
        SetFileSync(nullptr);
        EXPECT_EQ(saved, syncWorks);
        ASSERT_FALSE(g_synced.empty());
        EXPECT_TRUE(g_synced[0].starts_with(path + ".tmp-")) << g_synced[0];
        EXPECT_EQ(g_profileWhenSynced, "[A]\nk=new\n");
        if (syncWorks) {
            EXPECT_EQ(g_synced, (std::vector<std::string>{g_synced[0], dir.Path().string()}));
        }
        EXPECT_EQ(ReadFile(path), syncWorks ? "[A]\nk=new\n" : "[A]\nk=old\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
        WriteFile(path, "[A]\nk=old\n");
    }
}

// A killed save leaves its temporary file; a later save removes it once it is clearly
// abandoned, and leaves alone what may be another program's save in progress.
TEST(Profile, SaveRemovesAbandonedTemporaryFilesOnly) {
    namespace fs = std::filesystem;
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    const struct {
        std::string name;
        int ageMinutes;
        bool removed;
    } files[] = {
        {"p.INI.tmp-0badf00d", 11, true},      {"p.INI.tmp", 60, true},
        {"p.INI.tmp-12345678", 1, false},      {"p.INI.tmp-NOTMINE!", 60, false},
        {"other.INI.tmp-0badf00d", 60, false}, {"p.INI.bak", 60, false},
    };
    for (const auto& f : files) {
        WriteFile(dir.File(f.name), "x");
        fs::last_write_time(dir.File(f.name),
                            fs::file_time_type::clock::now() - std::chrono::minutes(f.ageMinutes));
    }
    ASSERT_TRUE(Profile(path).WriteString("A", "k", "v"));
    for (const auto& f : files) EXPECT_EQ(fs::exists(dir.File(f.name)), !f.removed) << f.name;
}

// A file name with a line break or blanks at its ends reads back as written and never
// becomes a section or key of its own; ordinary values are written byte for byte.
TEST(Profile, ValuesThatWouldBreakTheirLineReadBackExactlyAndInjectNothing) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    const struct {
        std::string value;
        std::string stored;
    } cases[] = {
        {"/logos/evil.bmp\n[FWDN20]\nFile=injected",
         "\"/logos/evil.bmp%0A[FWDN20]%0AFile=injected\""},
        {"/fw/x.bin\r\n[DEVICELIST]\r\n=KP70 X", "\"/fw/x.bin%0D%0A[DEVICELIST]%0D%0A=KP70 X\""},
        {"/logos/a.bmp ", "\"/logos/a.bmp \""},
        {"\tb.bmp", "\"\tb.bmp\""},
        {"\"quoted\"", "\"%22quoted%22\""},
        {"100% \n", "\"100%25 %0A\""},
        // Ordinary values, as they stand.
        {"C:\\logos\\a,b \"x\".bmp", "C:\\logos\\a,b \"x\".bmp"},
        {"/logos/100% \"a\" b.bmp", "/logos/100% \"a\" b.bmp"},
        {"\"", "\""},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        Profile profile(path);
        ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", c.value)) << c.value;
        EXPECT_EQ(ReadFile(path), "[LOGO]\nLogofile1=" + c.stored + "\n") << c.value;
        EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), c.value);
        EXPECT_EQ(Profile(path).SectionEntries("LOGO").size(), 1u) << c.value;
        EXPECT_TRUE(Profile(path).SectionEntries("FWDN20").empty()) << c.value;
        EXPECT_TRUE(ProfileDeviceEntries(Profile(path)).empty()) << c.value;
    }
    // Quoted values of earlier files read as they stand unless this writer made them.
    WriteFile(path, "[A]\nw=\"C:\\temp\\new\"\nx=\"x\"\ny=\"%41\"\nz=\"50%\"\n");
    const Profile old(path);
    EXPECT_EQ(old.GetString("A", "w"), "\"C:\\temp\\new\"");
    EXPECT_EQ(old.GetString("A", "x"), "\"x\"");
    EXPECT_EQ(old.GetString("A", "y"), "\"%41\"");
    EXPECT_EQ(old.GetString("A", "z"), "\"50%\"");
}

// A save changes the file a link names (the link stays, the shared file changes) and keeps
// its mode; a read-only profile is refused and left as it was. (Symbolic links and file
// modes are POSIX's; the Windows tests refuse a read-only profile on their own.)
#ifndef _WIN32
TEST(Profile, SavesWriteThroughLinksKeepTheModeAndRefuseAReadOnlyFile) {
    namespace fs = std::filesystem;
    kp70::test::TempDir dir;
    fs::create_directories(dir.Path() / "shared");
    const std::string target = dir.File("shared/kp70tool.INI");
    WriteFile(target, "[LOGO]\nLogofile1=/old.bmp\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = dir.File("kp70tool.INI");
    fs::create_symlink("shared/kp70tool.INI", link);
    Profile profile(link);
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/new.bmp"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[LOGO]\nLogofile1=/new.bmp\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "shared"), {}), 1);

    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(profile.WriteString("LOGO", "Logofile1", "/other.bmp"));
    EXPECT_EQ(ReadFile(target), "[LOGO]\nLogofile1=/new.bmp\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
    EXPECT_NE(profile.WriteProblem().find("is read-only"), std::string::npos)
        << profile.WriteProblem();
}
#endif

// A profile larger than a profile can be is not read (it reads as empty) and never
// replaced; a change another program saved is read again.
TEST(Profile, AProfileOverTheLimitIsNeitherReadNorWrittenAndChangesAreReadAgain) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("p.INI");
    std::string huge = "[LOGO]\nLogofile1=/a.bmp\n";
    while (huge.size() <= Profile::kMaxBytes) huge += "; " + std::string(1000, 'x') + "\n";
    WriteFile(path, huge);
    Profile profile(path);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "none"), "none");
    EXPECT_NE(profile.ReadProblem().find("bytes, more than the 4194304 a profile may hold"),
              std::string::npos)
        << profile.ReadProblem();
    EXPECT_FALSE(profile.WriteString("LOGO", "Logofile2", "/b.bmp"));
    EXPECT_EQ(ReadFile(path).size(), huge.size());

    WriteFile(path, "[LOGO]\nLogofile1=/a.bmp\n");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/a.bmp");
    EXPECT_TRUE(profile.ReadProblem().empty());
    ASSERT_TRUE(Profile(path).WriteString("LOGO", "Logofile1", "/changed.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/changed.bmp");
}
