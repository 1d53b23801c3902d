// kp70ctl backup, restore and provision against virtual printers running as processes:
// what one printer holds, saved and written onto others, must leave them holding the same
// settings and NV images, as each kp70sim decodes and keeps them on its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "support/BmpBuilder.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::CliRun;
using test::SimProcess;

const std::string kReadTimeout = "60000";

std::string WriteBmp(const std::string& path, int width, int height, int seed) {
    test::BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.pixel = [seed](int x, int y) -> std::uint32_t {
        const std::uint32_t v = static_cast<std::uint32_t>((x * 7 + y * 13 + seed * 31) % 256);
        return (v << 16) | (v << 8) | v;
    };
    const auto bytes = test::BuildBmp(layout);
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

class ServiceE2eTest : public ::testing::Test {
protected:
    bool Start(SimProcess& sim, std::vector<std::string> args = {}) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        return sim.Start(args);
    }
    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }
    // The printer's memory as kp70sim keeps it.
    // A printer that was never written to has no state file yet: null.
    static nlohmann::json Memory(const std::string& statePath, const char* section) {
        const std::string text = test::ReadFile(statePath);
        return text.empty() ? nlohmann::json() : nlohmann::json::parse(text)[section];
    }

    // Gives the printer at `net` two logos and changed settings, then backs it up.
    std::string PrepareBackup(const std::string& net) {
        CliRun run = Run({"logo", "upload", WriteBmp(m_dir.File("shop.bmp"), 120, 40, 1),
                          WriteBmp(m_dir.File("promo.bmp"), 64, 64, 2), "--center", "2", "--gray",
                          "--net", net});
        EXPECT_EQ(run.status, 0) << run.err;
        run = Run({"setup", "set", "--timeout", kReadTimeout, "--net", net, "left-margin=300",
                   "paper-width=58mm", "code-page=16", "cutting-adjust=on", "cutting-lines=7"});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string file = m_dir.File("shop.kp70");
        // The backup takes the centring mark stored with the upload's second file, and the
        // list's gray mode.
        run = Run({"backup", file, "--timeout", kReadTimeout, "--net", net});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(": 2"), std::string::npos) << run.out;  // "N settings, 2 logos"
        return file;
    }

    test::TempDir m_dir;
    test::ScaledClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

std::string Net(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

TEST_F(ServiceE2eTest, BackupRestoredOntoAFreshPrinterGivesItTheSameSettingsAndImages) {
    SimProcess source, fresh;
    ASSERT_TRUE(Start(source)) << source.Log();
    ASSERT_TRUE(Start(fresh)) << fresh.Log();
    const std::string file = PrepareBackup(Net("127.0.0.1", source.TcpPort()));
    ASSERT_NE(Memory(fresh.StatePath(), "user-settings"),
              Memory(source.StatePath(), "user-settings"));

    // Without --yes and without a terminal nothing is sent.
    const std::string target = Net("127.0.0.1", fresh.TcpPort());
    CliRun run = Run({"restore", file, "--net", target});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--yes"), std::string::npos) << run.err;

    run = Run({"restore", file, "--yes", "--timeout", kReadTimeout, "--net", target});
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("written     left-margin           300"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("logos: 2 of 2 stored"), std::string::npos) << run.out;
    EXPECT_EQ(Memory(fresh.StatePath(), "user-settings"),
              Memory(source.StatePath(), "user-settings"));
    EXPECT_EQ(Memory(fresh.StatePath(), "nv"), Memory(source.StatePath(), "nv"));

    // The smallest form of the same: setup get --json read back into setup set --from.
    run = Run({"setup", "get", "--json", "--timeout", kReadTimeout, "--net", target});
    ASSERT_EQ(run.status, 0) << run.err;
    test::WriteFile(m_dir.File("settings.json"), run.out);
    SimProcess third;
    ASSERT_TRUE(Start(third)) << third.Log();
    run = Run({"setup", "set", "--from", m_dir.File("settings.json"), "--timeout", kReadTimeout,
               "--net", Net("127.0.0.1", third.TcpPort())});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Memory(third.StatePath(), "user-settings"),
              Memory(source.StatePath(), "user-settings"));
}

// "-" is standard output; a link keeps being a link (the file it names gets the backup,
// with its mode), and a pipe is written into, not replaced.
TEST_F(ServiceE2eTest, BackupGoesToStandardOutputThroughALinkOrIntoAPipe) {
    namespace fs = std::filesystem;
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const std::vector<std::string> common = {"--no-logos", "--timeout", kReadTimeout, "--net",
                                             Net("127.0.0.1", sim.TcpPort())};
    auto backup = [&](const std::string& file) {
        std::vector<std::string> args = {"backup", file};
        args.insert(args.end(), common.begin(), common.end());
        return Run(args);
    };
    CliRun run = backup("-");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("manifest.json"), 0u);
    EXPECT_EQ(run.out.size() % 512, 0u);
    EXPECT_NE(run.err.find("standard output: "), std::string::npos) << run.err;

    fs::create_directories(m_dir.Path() / "shared");
    const std::string target = m_dir.File("shared/shop.kp70");
    test::WriteFile(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = m_dir.File("link.kp70");
    fs::create_symlink(target, link);
    run = backup(link);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadFile(target).find("manifest.json"), 0u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const std::string fifo = m_dir.File("pipe.kp70");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = test::ReadFile(fifo); });
    run = backup(fifo);
    // A backup that never opened the pipe must not leave the reader waiting for a writer.
    if (run.status != 0) close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    reader.join();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(piped.find("manifest.json"), 0u);
}

TEST_F(ServiceE2eTest, ProvisioningGoesOnPastASilentPrinterAndSaysWhichFailed) {
    // Three printers in one kp70sim (127.0.0.1, .2, .3), each with its own memory, and a
    // fourth that never answers.
    SimProcess shop, silent;
    ASSERT_TRUE(Start(shop, {"--tcp-printers", "2"})) << shop.Log();
    ASSERT_TRUE(Start(silent, {"--fault", "silent"})) << silent.Log();
    std::vector<std::string> nets;
    std::vector<std::string> states;
    for (const std::string& line : shop.ReadyLines()) {
        if (line.rfind("tcp ", 0) != 0) continue;
        nets.push_back(line.substr(4));
        const std::string host = line.substr(4, line.rfind(':') - 4);
        states.push_back(host == "127.0.0.1" ? shop.StatePath()
                                             : shop.Dir().File("state-" + host + ".json"));
    }
    ASSERT_EQ(nets.size(), 3u) << shop.Log();
    const std::string silentNet = Net("127.0.0.1", silent.TcpPort());
    const std::string file = PrepareBackup(nets[0]);

    std::vector<std::string> args = {"provision", file, "--yes",     "--json",
                                     "--jobs",    "4",  "--timeout", kReadTimeout};
    // The second printer given twice is provisioned once.
    for (const std::string& net : {nets[0], nets[1], silentNet, nets[2], nets[1]}) {
        args.push_back("--net");
        args.push_back(net);
    }
    const CliRun run = Run(args);
    EXPECT_NE(run.err.find(nets[1] + " is given more than once; it is provisioned once"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    const nlohmann::json table = nlohmann::json::parse(run.out);
    ASSERT_EQ(table.size(), 4u);
    int done = 0;
    for (const auto& row : table) {
        if (row["printer"] == silentNet) {
            EXPECT_EQ(row["status"], "failed");
            EXPECT_EQ(row["logosStored"], 0);
            EXPECT_FALSE(row["error"].get<std::string>().empty());
        } else {
            EXPECT_EQ(row["status"], "done") << row.dump();
            EXPECT_EQ(row["logosStored"], 2);
            EXPECT_GT(row["settingsWritten"], 10);
            done += 1;
        }
    }
    EXPECT_EQ(done, 3);
    // One progress line per printer.
    for (const std::string& net : {nets[0], nets[1], silentNet, nets[2]})
        EXPECT_NE(run.err.find(net + ": "), std::string::npos) << run.err;
    for (std::size_t i = 1; i < states.size(); ++i) {
        EXPECT_EQ(Memory(states[i], "user-settings"), Memory(states[0], "user-settings"));
        EXPECT_EQ(Memory(states[i], "nv"), Memory(states[0], "nv"));
    }
}

}  // namespace
}  // namespace kp70

namespace kp70 {
namespace {

// A temporary folder that cannot be used only matters to a backup with logos to unpack: it
// is said in words, with exit status 1, and nothing is written.
TEST_F(ServiceE2eTest, ARestoreWithoutAUsableTemporaryFolderSaysSo) {
    SimProcess source, target;
    ASSERT_TRUE(Start(source)) << source.Log();
    ASSERT_TRUE(Start(target)) << target.Log();
    const std::string withLogos = PrepareBackup(Net("127.0.0.1", source.TcpPort()));
    const std::string settingsOnly = m_dir.File("settings.kp70");
    CliRun run = Run({"backup", settingsOnly, "--no-logos", "--timeout", kReadTimeout, "--net",
                      Net("127.0.0.1", source.TcpPort())});
    ASSERT_EQ(run.status, 0) << run.err;

    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    test::WriteFile(m_dir.File("not-a-folder"), "x");
    setenv("TMPDIR", m_dir.File("not-a-folder").c_str(), 1);
    const std::string net = Net("127.0.0.1", target.TcpPort());
    const CliRun logos =
        Run({"restore", withLogos, "--yes", "--timeout", kReadTimeout, "--net", net});
    const CliRun settings =
        Run({"restore", settingsOnly, "--yes", "--timeout", kReadTimeout, "--net", net});
    if (before) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    EXPECT_EQ(logos.status, 1) << logos.err;
    EXPECT_NE(logos.err.find("set TMPDIR to a folder you can write to"), std::string::npos)
        << logos.err;
    EXPECT_EQ(settings.status, 0) << settings.err;
}

// SIGTERM (what `timeout` sends) stops a restore as Ctrl+C does: nothing is written after
// it, exit status 130, and the logos' temporary folder is gone.
TEST_F(ServiceE2eTest, ASignalStopsARestoreBeforeItWritesAndLeavesNoFolder) {
    SimProcess source;
    ASSERT_TRUE(Start(source)) << source.Log();
    const std::string file = PrepareBackup(Net("127.0.0.1", source.TcpPort()));
    SimProcess slow;  // answers every setting late, so the read is still going on
    ASSERT_TRUE(Start(slow, {"--fault", "late=3000"})) << slow.Log();
    const std::string tmp = m_dir.File("tmp");
    std::filesystem::create_directories(tmp);
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    setenv("TMPDIR", tmp.c_str(), 1);
    std::thread stopper([&] {
        // Once the printer has been asked for its settings (the verb's handler is in place
        // then); without that the signal is never sent, and the test fails below.
        for (int i = 0; i < 2000; ++i) {
            if (!test::ReadFile(slow.OutDir() + "/capture-tcp-1.bin").empty()) {
                raise(SIGTERM);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const CliRun run = Run({"restore", file, "--yes", "--timeout", kReadTimeout, "--net",
                            Net("127.0.0.1", slow.TcpPort())});
    stopper.join();
    if (before) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    EXPECT_EQ(Memory(slow.StatePath(), "nv"), nlohmann::json()) << "logos were sent";
    const nlohmann::json settings = Memory(slow.StatePath(), "user-settings");
    EXPECT_TRUE(settings.is_null() || settings.value("leftMargin", 0) != 300) << settings.dump();
}

}  // namespace
}  // namespace kp70
