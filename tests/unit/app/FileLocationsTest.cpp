#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/app/FileLocations.h"
#include "core/app/Profile.h"
#include "support/TempDir.h"

using namespace kp70;

#ifndef _WIN32
TEST(FileLocations, StartDirectoryProfileWinsElseXdgFolders) {
    struct Case {
        const char* what;
        FileLocationInputs inputs;
        const char* profile;
        const char* log;
    };
    const Case cases[] = {
        {"profile in the start directory keeps both there",
         {"/work", true, "/home/u", "/cfg", "/st"},
         "/work/kp70tool.INI",
         "/work/error.log"},
        {"no profile: the XDG folders",
         {"/work", false, "/home/u", "/cfg", "/st"},
         "/cfg/kp70tool/kp70tool.INI",
         "/st/kp70tool/error.log"},
        {"XDG unset: the defaults below HOME",
         {"/home/u", false, "/home/u", "", ""},
         "/home/u/.config/kp70tool/kp70tool.INI",
         "/home/u/.local/state/kp70tool/error.log"},
        {"relative XDG values are ignored",
         {"/work", false, "/home/u", "cfg", "st"},
         "/home/u/.config/kp70tool/kp70tool.INI",
         "/home/u/.local/state/kp70tool/error.log"},
        {"no HOME, state unknown: the log goes with the profile",
         {"/work", false, "", "/cfg", ""},
         "/cfg/kp70tool/kp70tool.INI",
         "/cfg/kp70tool/error.log"},
        {"nothing usable: the start directory",
         {"/work", false, "", "", "/st"},
         "/work/kp70tool.INI",
         "/work/error.log"},
        {"the start directory gone as well: no folder at all, never \"/\"",
         {"", false, "", "", "/st"},
         "",
         ""},
    };
    for (const Case& c : cases) {
        const FileLocations got = ChooseFileLocations(c.inputs);
        EXPECT_EQ(got.profilePath, c.profile) << c.what;
        EXPECT_EQ(got.errorLogPath, c.log) << c.what;
    }
}

TEST(FileLocations, PrepareLooksForTheProfileAndCreatesTheFolders) {
    test::TempDir dir;
    const std::string start = dir.File("start");
    std::filesystem::create_directories(start);
    const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* value = std::getenv(names[i]);
        had[i] = value != nullptr;
        if (value) saved[i] = value;
    }
    setenv("HOME", dir.Path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);

    const FileLocations away = PrepareFileLocations(start);
    EXPECT_EQ(away.profilePath, dir.File(".config/kp70tool/kp70tool.INI"));
    EXPECT_EQ(away.errorLogPath, dir.File("state/kp70tool/error.log"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File(".config/kp70tool")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("state/kp70tool")));

    test::WriteFile(start + "/kp70tool.INI", "[DEVICELIST]\r\n");
    const FileLocations here = PrepareFileLocations(start);
    EXPECT_EQ(here.profilePath, start + "/kp70tool.INI");
    EXPECT_EQ(here.errorLogPath, start + "/error.log");

    for (int i = 0; i < 3; ++i) {
        if (had[i])
            setenv(names[i], saved[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
}

#else
// Windows gives the rule its application data folders and no home.
TEST(FileLocations, StartDirectoryProfileWinsElseApplicationDataFolders) {
    struct Case {
        const char* what;
        FileLocationInputs inputs;
        const char* profile;
        const char* log;
    };
    const Case cases[] = {
        {"profile in the start folder keeps both there",
         {"C:\\work", true, "", "C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u\\AppData\\Local"},
         "C:\\work\\kp70tool.INI",
         "C:\\work\\error.log"},
        {"no profile: the roaming folder for the profile, the local one for the log",
         {"C:\\work", false, "", "C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u\\AppData\\Local"},
         "C:\\Users\\u\\AppData\\Roaming\\kp70tool\\kp70tool.INI",
         "C:\\Users\\u\\AppData\\Local\\kp70tool\\error.log"},
        {"a network share is a folder too",
         {"\\\\server\\share\\work", true, "", "", ""},
         "\\\\server\\share\\work\\kp70tool.INI",
         "\\\\server\\share\\work\\error.log"},
        {"a path without a drive is no folder to keep files in",
         {"\\work", false, "", "\\cfg", ""},
         "",
         ""},
    };
    for (const Case& c : cases) {
        const FileLocations got = ChooseFileLocations(c.inputs);
        EXPECT_EQ(got.profilePath, c.profile) << c.what;
        EXPECT_EQ(got.errorLogPath, c.log) << c.what;
    }
}
#endif

// With no folder to use, nothing is created or written anywhere and the operator is told;
// a profile that cannot be read is told too.
TEST(FileLocations, NoFolderOrAnUnreadableProfileIsToldAtStart) {
    const FileLocations none = ChooseFileLocations({"", false, "", "", ""});
    EXPECT_FALSE(none.Usable());
    std::vector<Notice> notices = FileNotices(none);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_STREQ(notices[0].text.english, kNoFolderForFiles.english);
    EXPECT_FALSE(Profile(none.profilePath).WriteString("LOGO", "Logofile1", "/a.bmp"));
    EXPECT_NE(Profile(none.profilePath).WriteProblem().find("no folder"), std::string::npos);

    test::TempDir dir;
    const std::string profile = dir.File("kp70tool.INI");
    EXPECT_TRUE(FileNotices({profile, dir.File("error.log")}).empty());
    std::filesystem::create_directory(profile);  // not a file
    notices = FileNotices({profile, dir.File("error.log")});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_STREQ(notices[0].text.english, kProfileUnusable.english);
    EXPECT_NE(notices[0].secondLine.find("is not a regular file"), std::string::npos);
}
