// The Win32 side of the program's files: where they go, how a save replaces a file, and
// core's saves with the system's durable replacement installed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "core/app/AtomicFile.h"
#include "core/app/FileSync.h"
#include "core/app/Profile.h"
#include "platform/DurableFiles.h"
#include "platform/ProgramEnvironment.h"
#include "platform/Win32Io.h"
#include "support/TempDir.h"

using namespace kp70;
namespace fs = std::filesystem;

TEST(DurableFiles, ReplacingPutsTheNewFileInPlaceOfTheOld) {
    test::TempDir dir;
    const std::string file = dir.File("kp70tool.INI");
    test::WriteFile(file, "old");
    test::WriteFile(file + ".new", "new");
    EXPECT_EQ(ReplaceThroughToDisk(file + ".new", file), "");
    EXPECT_EQ(test::ReadFile(file), "new");
    EXPECT_FALSE(fs::exists(file + ".new"));
    EXPECT_TRUE(SyncToDisk(file));
    EXPECT_TRUE(SyncToDisk(dir.Path().string()));
    EXPECT_FALSE(SyncToDisk(dir.File("missing")));
    EXPECT_NE(ReplaceThroughToDisk(dir.File("missing"), file), "");
    EXPECT_EQ(test::ReadFile(file), "new");
}

TEST(DurableFiles, CoreSavesReplaceTheProfileAgainAndAgain) {
    InstallDurableSaves();
    test::TempDir dir;
    const std::string path = dir.File("kp70tool.INI");
    for (int round = 0; round < 3; ++round) {
        Profile profile(path);
        ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "C:\\logos\\" + std::to_string(round)))
            << profile.WriteProblem();
        EXPECT_EQ(Profile(path).GetString("LOGO", "Logofile1"),
                  "C:\\logos\\" + std::to_string(round));
    }
    // Only the profile is left: no save's temporary file stays behind.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
    SetFileSync(nullptr);
    SetFileReplace(nullptr);
}

TEST(ProgramFiles, ApplicationDataFoldersUnlessTheStartFolderHoldsTheProfile) {
    test::TempDir dir;
    const std::string start = dir.File("start");
    fs::create_directories(start);
    const FileLocations away = PrepareProgramFiles(start);
    ASSERT_TRUE(away.Usable());
    const fs::path profile(away.profilePath);
    const fs::path log(away.errorLogPath);
    EXPECT_EQ(profile.filename(), "kp70tool.INI");
    EXPECT_EQ(profile.parent_path().filename(), "kp70tool");
    EXPECT_EQ(log.filename(), "error.log");
    EXPECT_EQ(log.parent_path().filename(), "kp70tool");
    EXPECT_NE(profile.parent_path(), log.parent_path()) << "roaming and local folders";
    EXPECT_TRUE(fs::is_directory(profile.parent_path()));
    EXPECT_TRUE(fs::is_directory(log.parent_path()));

    test::WriteFile(start + "\\kp70tool.INI", "[DEVICELIST]\r\n");
    const FileLocations here = PrepareProgramFiles(start);
    EXPECT_EQ(here.profilePath, start + "\\kp70tool.INI");
    EXPECT_EQ(here.errorLogPath, start + "\\error.log");
}

TEST(ProgramFiles, TheLanguageFollowsTheEnvironmentWhenItNamesOne) {
    const char* saved = std::getenv("LANG");
    const std::string old = saved ? saved : "";
    _putenv_s("LC_ALL", "");
    _putenv_s("LC_MESSAGES", "");
    _putenv_s("LANG", "ko_KR.UTF-8");
    EXPECT_TRUE(SystemLanguageIsKorean());
    _putenv_s("LANG", "en_US.UTF-8");
    EXPECT_FALSE(SystemLanguageIsKorean());
    _putenv_s("LANG", old.c_str());
}

TEST(DurableFiles, AReadOnlyProfileIsRefusedAndLeftAsItWas) {
    InstallDurableSaves();
    test::TempDir dir;
    const std::string path = dir.File("kp70tool.INI");
    test::WriteFile(path, "[LOGO]\r\nLogofile1=C:\\old.bmp\r\n");
    fs::permissions(path, fs::perms::owner_read);
    Profile profile(path);
    EXPECT_FALSE(profile.WriteString("LOGO", "Logofile1", "C:\\new.bmp"));
    EXPECT_NE(profile.WriteProblem().find("is read-only"), std::string::npos)
        << profile.WriteProblem();
    EXPECT_EQ(test::ReadFile(path), "[LOGO]\r\nLogofile1=C:\\old.bmp\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    SetFileSync(nullptr);
    SetFileReplace(nullptr);
}
