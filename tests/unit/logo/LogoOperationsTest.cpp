#include "core/logo/LogoOperations.h"

#include <gtest/gtest.h>

#include <numeric>

#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "support/BmpBuilder.h"
#include "support/FakePrinterLink.h"

namespace kp70 {
namespace {

using test::FakeBytes;

FakeBytes Concat(std::initializer_list<FakeBytes> parts) {
    FakeBytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A printer reached through one scripted link; each test gives the port name.
struct FakePrinter {
    explicit FakePrinter(const std::string& portName) {
        links.settings.portName = portName;
        links.link.SetClock(&clock);
    }
    test::FakeLinkFactory links;
    test::FakePrinterLink& link = links.link;
    VirtualClock clock;
};

class LogoOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_port.SetClock(&m_clock);
        PortName("/dev/ttyS0");
    }
    void PortName(const std::string& name) { m_links.settings.portName = name; }
    // A black image of the given size added to the list (number 0 = next free).
    std::string Add(const std::string& name, int width, int height, int number = 0) {
        const std::string path = test::WriteBmp(m_dir, name, test::Solid24(width, height, 0));
        EXPECT_TRUE(m_list.AddBitmap(number, path).accepted);
        return path;
    }
    Outcome Upload(UploadCallbacks callbacks = {}, UploadResult* details = nullptr,
                   const CancelToken& cancel = CancelToken::Never()) {
        return UploadLogos(m_links, m_clock, m_log.get(), m_list, m_options, &m_profile, callbacks,
                           cancel, details);
    }
    Outcome Print(const PrintRequest& request, const std::string& selection,
                  PrintCallbacks callbacks = {}, PrintResult* details = nullptr,
                  const CancelToken& cancel = CancelToken::Never()) {
        return PrintLogos(m_links, m_clock, request, selection, callbacks, cancel, details);
    }
    // Header and data bytes of a black w x h monochrome image.
    static FakeBytes BlackImage(int w, int h) {
        FakeBytes b = {static_cast<std::uint8_t>(w / 8), 0, static_cast<std::uint8_t>(h / 8), 0};
        b.insert(b.end(), static_cast<std::size_t>(w * h / 8), 0xFF);
        return b;
    }
    static std::vector<int> Numbers(const Outcome& r) {
        std::vector<int> n;
        for (const auto& m : r.notices) n.push_back(m.number);
        return n;
    }

    test::TempDir m_dir;
    VirtualClock m_clock;
    test::FakeLinkFactory m_links;
    test::FakePrinterLink& m_port = m_links.link;
    std::unique_ptr<ErrorLog> m_log;
    LogoList m_list;
    LogoOptions m_options;
    Profile m_profile{m_dir.File("kp70tool.INI")};
};

TEST_F(LogoOperationsTest, SerialUploadChecksInitialisesAndSendsInNumberOrder) {
    Add("a.bmp", 16, 8, 5);
    Add("b.bmp", 8, 8, 2);
    Add("c.bmp", 24, 8, 9);
    const Outcome r = Upload();
    EXPECT_EQ(r.status, OutcomeStatus::Done);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kUploadComplete}));
    EXPECT_EQ(m_port.WrittenBytes(), Concat({{0x1D, 0x49, 0x01},
                                             {0x1B, 0x40},
                                             {0x1C, 0x71, 0x03},
                                             BlackImage(8, 8),
                                             BlackImage(16, 8),
                                             BlackImage(24, 8)}));
    EXPECT_EQ(m_port.EventNames().front(), "Open");
    EXPECT_EQ(m_port.EventNames().back(), "Close");
    // Only a delivered upload is stored.
    EXPECT_EQ(m_port.EventNames()[m_port.EventNames().size() - 2], "WaitDelivered");
    // Erase wait, then per image a 10 ms tick and a 10 ms pause after its one chunk, and
    // the tick that finishes.
    EXPECT_EQ(m_clock.Sleeps(), (std::vector<std::int64_t>{3500, 10, 10, 10, 10, 10, 10, 10}));
    EXPECT_EQ(m_links.requests.front().toolMode, kToolModeLogo);
    EXPECT_EQ(m_profile.GetString("LOGO", "Logofile1"), m_dir.File("b.bmp"));
    EXPECT_EQ(m_profile.GetString("LOGO", "Logofile2"), m_dir.File("a.bmp"));
    EXPECT_EQ(m_profile.GetString("LOGO", "Logofile3"), m_dir.File("c.bmp"));
}

TEST_F(LogoOperationsTest, ConnectionStepsPerAttachment) {
    struct Case {
        const char* port;
        FakeBytes before;  // what precedes the define command
        std::int64_t eraseWait;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", {0x1D, 0x49, 0x01, 0x1B, 0x40}, 3500},
        {"USB", {0x1D, 0x49, 0x01, 0x1B, 0x40}, 3500},
        {"LPT1", {0x1D, 0x49, 0x01}, 3500},
        {"/dev/lp0", {0x1D, 0x49, 0x01}, 3500},
        {"FILE", {}, 3500},
    };
    for (const Case& c : cases) {
        FakePrinter printer(c.port);
        LogoList list;
        ASSERT_TRUE(
            list.AddBitmap(0, test::WriteBmp(m_dir, "x.bmp", test::Solid24(8, 8, 0))).accepted);
        const Outcome r = UploadLogos(printer.links, printer.clock, nullptr, list, m_options,
                                      nullptr, {}, CancelToken::Never());
        EXPECT_EQ(r.status, OutcomeStatus::Done) << c.port;
        EXPECT_EQ(printer.link.WrittenBytes(),
                  Concat({c.before, {0x1C, 0x71, 0x01}, BlackImage(8, 8)}))
            << c.port;
        EXPECT_EQ(printer.clock.Sleeps().front(), c.eraseWait) << c.port;
        EXPECT_EQ(printer.link.EventNames().front(), "Open") << c.port;
    }
}

TEST_F(LogoOperationsTest, NetworkUploadNeitherChecksNorInitialisesAndWaitsLonger) {
    PortName("ETHERNET_II");
    Add("a.bmp", 8, 8);
    const Outcome r = Upload();
    EXPECT_EQ(r.status, OutcomeStatus::Done);
    EXPECT_EQ(m_port.WrittenBytes(), Concat({{0x1C, 0x71, 0x01}, BlackImage(8, 8)}));
    EXPECT_EQ(m_clock.Sleeps(), (std::vector<std::int64_t>{5000, 10, 10, 10}));
    EXPECT_EQ(m_links.requests.back().connectRounds, 10);
    EXPECT_EQ(m_port.EventNames().back(), "Close");

    m_port.openResults = {false};
    m_port.lastErrorText = "no answer from 127.0.0.1:6001";
    m_port.ClearEvents();
    const Outcome refused = Upload();
    EXPECT_EQ(refused.status, OutcomeStatus::Failed);
    EXPECT_EQ(refused.notices, (std::vector<Notice>{Notice::Message(msg::kPortOpenError)}));
    EXPECT_EQ(refused.notices.front().detail, "no answer from 127.0.0.1:6001");
    EXPECT_EQ(m_port.Count("Send"), 0);
}

TEST_F(LogoOperationsTest, DataGoesIn512ByteChunksWithProgress) {
    Add("big.bmp", 100, 100);  // 1352 bytes: 512 + 512 + 328
    Add("even.bmp", 128, 64);  // 1024 bytes: exactly two chunks
    std::vector<UploadProgress> seen;
    UploadCallbacks callbacks;
    callbacks.progress = [&](const UploadProgress& p) { seen.push_back(p); };
    const Outcome r = Upload(callbacks);
    ASSERT_TRUE(r.ok());
    std::vector<std::size_t> sizes;
    for (const auto& w : m_port.Writes()) sizes.push_back(w.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 2, 3, 4, 512, 512, 328, 4, 512, 512}));
    EXPECT_EQ(m_clock.Sleeps(), (std::vector<std::int64_t>{3500, 10, 10, 10, 10, 10, 10, 10, 10}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().text, "Erasing...");
    EXPECT_EQ(seen.front().range, (1352 + 1024) / 100);
    EXPECT_EQ(seen[1].text, "Updating(0/2376)...big.bmp");
    EXPECT_EQ(seen[2].text, "Updating(512/2376)...big.bmp");
    EXPECT_EQ(seen[2].position, 5);
    EXPECT_EQ(seen.back().position, 3);  // n + 1 at the end
    EXPECT_EQ(seen[seen.size() - 2].bytesSent, 2376);
}

TEST_F(LogoOperationsTest, CancelAfterTwoOfFiveImagesPadsWithFourEmptyImages) {
    for (int i = 0; i < 5; ++i) Add("f" + std::to_string(i) + ".bmp", 8, 8 * (i + 1));
    int images = 0;
    CancelToken cancel;
    UploadCallbacks callbacks;
    callbacks.progress = [&](const UploadProgress& p) {
        if (p.bytesSent > 0 && p.text.find("Updating") == 0 && p.step > images) images = p.step;
        if (images == 2) cancel.Cancel();
    };
    UploadResult details;
    const Outcome r = Upload(callbacks, &details, cancel);
    EXPECT_EQ(r.status, OutcomeStatus::Cancelled);
    EXPECT_EQ(r.count, 2);
    EXPECT_TRUE(details.cancelled);
    EXPECT_EQ(details.imagesStarted, 2);
    EXPECT_TRUE(r.notices.empty());
    FakeBytes expected = Concat({{0x1D, 0x49, 0x01},
                                 {0x1B, 0x40},
                                 {0x1C, 0x71, 0x05},
                                 BlackImage(8, 8),
                                 BlackImage(8, 16)});
    for (int i = 0; i < 4; ++i) expected.insert(expected.end(), {0, 0, 0, 0});
    EXPECT_EQ(m_port.WrittenBytes(), expected);
    // The second image lists 16 bytes: the window waits 32 ms, the page 16 ms after padding.
    const auto sleeps = m_clock.Sleeps();
    ASSERT_GE(sleeps.size(), 2u);
    EXPECT_EQ(details.waitAfterCancel, 16);
    EXPECT_EQ(sleeps[sleeps.size() - 2], 32);
    EXPECT_EQ(sleeps.back(), 16);
    EXPECT_EQ(m_profile.GetString("LOGO", "Logofile1", "-"), "-");
}

TEST_F(LogoOperationsTest, CancelBeforeTheFirstImagePadsEveryImageAndOneMore) {
    Add("a.bmp", 8, 8);
    Add("b.bmp", 8, 8);
    CancelToken cancel;
    cancel.Cancel();
    m_port.takeLimit = 3 + 2 + 3 + 4;  // check, init, define, first pad
    const Outcome r = Upload({}, nullptr, cancel);
    EXPECT_EQ(r.status, OutcomeStatus::Cancelled);
    EXPECT_EQ(m_port.Count("Send"), 2 + 1 + 3);
    // the 2nd and 3rd pads failed
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kWriteToPort, msg::kWriteToPort}));
    EXPECT_EQ(m_clock.Sleeps(), (std::vector<std::int64_t>{3500, 10, 0}));
}

// A listed file that vanished or broke is never sent as an empty image: before the upload
// it is refused with nothing sent; at its turn the upload fails, the printer's definition
// is completed with empty images from that image on, and no list is stored.
TEST_F(LogoOperationsTest, AFileThatCannotBeConvertedAnyMoreFailsTheUpload) {
    enum class When { BeforeTheUpload, AtItsTurn };
    for (const When when : {When::BeforeTheUpload, When::AtItsTurn}) {
        const std::string name = when == When::AtItsTurn ? "at its turn" : "before";
        FakePrinter printer("/dev/ttyS0");
        LogoList list;
        std::vector<std::string> paths;
        for (const auto& [file, height] : {std::pair{"a.bmp", 8}, {"b.bmp", 16}, {"c.bmp", 8}}) {
            paths.push_back(test::WriteBmp(m_dir, file, test::Solid24(8, height, 0)));
            ASSERT_TRUE(list.AddBitmap(0, paths.back()).accepted);
        }
        UploadCallbacks callbacks;
        if (when == When::BeforeTheUpload) std::remove(paths[1].c_str());
        callbacks.progress = [&](const UploadProgress& p) {
            if (when == When::AtItsTurn && p.step == 1) test::WriteFile(paths[1], "broken");
        };
        Profile profile(m_dir.File(name + ".INI"));
        const Outcome r = UploadLogos(printer.links, printer.clock, nullptr, list, m_options,
                                      &profile, callbacks, CancelToken::Never());
        ASSERT_EQ(r.notices.size(), 1u) << name;
        EXPECT_EQ(r.notices[0].number, msg::kStoredFileIncorrect) << name;
        EXPECT_NE(r.notices[0].secondLine.find(paths[1]), std::string::npos) << name;
        EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "-"), "-") << name;
        if (when == When::BeforeTheUpload) {
            EXPECT_EQ(r.status, OutcomeStatus::Refused);
            EXPECT_TRUE(printer.links.requests.empty());
            continue;
        }
        EXPECT_EQ(r.status, OutcomeStatus::Failed);
        EXPECT_EQ(r.count, 1);
        EXPECT_EQ(printer.link.WrittenBytes(),
                  Concat({{0x1D, 0x49, 0x01, 0x1B, 0x40, 0x1C, 0x71, 0x03},
                          BlackImage(8, 8),
                          {0, 0, 0, 0, 0, 0, 0, 0}}));
    }
}

TEST_F(LogoOperationsTest, WriteFailuresStopTheUploadWithMessage42AndLogLines) {
    const std::string logPath = m_dir.File("error.log");
    m_log = std::make_unique<ErrorLog>(m_clock);
    ASSERT_TRUE(m_log->Open(logPath));
    Add("a.bmp", 16, 8);
    Add("b.bmp", 24, 16);

    const std::vector<int> lost = {msg::kCommunication};
    m_port.takeLimit = 3 + 2;  // the define command fails
    UploadResult details;
    Outcome r = Upload({}, &details);
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_TRUE(details.failed);
    EXPECT_EQ(Numbers(r), lost);
    EXPECT_EQ(m_clock.Sleeps(), std::vector<std::int64_t>{});
    EXPECT_NE(test::ReadFile(logPath).find("CProgress OnInitDialog[0]"), std::string::npos);

    // The second image's header fails.
    FakePrinter header("/dev/ttyS0");
    header.link.takeLimit = 3 + 2 + 3 + 4 + 16 + 1;
    r = UploadLogos(header.links, header.clock, m_log.get(), m_list, m_options, &m_profile, {},
                    CancelToken::Never());
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(Numbers(r), lost);
    const std::string log = test::ReadFile(logPath);
    EXPECT_NE(log.find("CPrograss writeInstruction[0]"), std::string::npos);
    EXPECT_NE(log.find("CPrograss WriteInstruction [03-00-02-00]\n"), std::string::npos);
    EXPECT_EQ(m_profile.GetString("LOGO", "Logofile1", "-"), "-");
    EXPECT_EQ(header.link.EventNames().back(), "Close");

    // A lost data chunk is a failure too, not a completed upload.
    FakePrinter data("/dev/ttyS0");
    data.link.takeLimit = 3 + 2 + 3 + 4 + 5;  // the first image's data fails
    r = UploadLogos(data.links, data.clock, m_log.get(), m_list, m_options, &m_profile, {},
                    CancelToken::Never());
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_EQ(Numbers(r), lost);
    EXPECT_NE(test::ReadFile(logPath).find("CProgress write data failed [0]"), std::string::npos);
}

TEST_F(LogoOperationsTest, OpenAndCheckFailures) {
    Add("a.bmp", 8, 8);
    struct Case {
        const char* port;
        int takeLimit;  // bytes the link takes
        bool openFails;
        int message;
        bool hasValue;
    };
    const Case cases[] = {
        {"/dev/ttyS0", -1, true, msg::kOpenPortOrFile, true},
        {"LPT1", -1, true, msg::kPortOpenError, false},
        {"/dev/ttyS0", 0, false, msg::kWriteToPort, false},
        {"/dev/ttyS0", 3, false, msg::kPrinterCheck, false},
        {"LPT1", 0, false, msg::kWriteToPort, false},
    };
    for (const Case& c : cases) {
        FakePrinter printer(c.port);
        printer.link.takeLimit = c.takeLimit;
        if (c.openFails) printer.link.openResults = {false};
        const Outcome r = UploadLogos(printer.links, printer.clock, nullptr, m_list, m_options,
                                      nullptr, {}, CancelToken::Never());
        EXPECT_EQ(r.status, OutcomeStatus::Failed);
        ASSERT_EQ(r.notices.size(), 1u) << c.port;
        EXPECT_EQ(r.notices[0].number, c.message) << c.port;
        EXPECT_EQ(r.notices[0].hasValue, c.hasValue) << c.port;
        EXPECT_EQ(r.notices[0].icon, MessageIcon::Exclamation);
        EXPECT_FALSE(printer.link.IsOpen()) << c.port;
    }
}

TEST_F(LogoOperationsTest, CentreMarkBelongsToTheFileInItsRow) {
    m_options.maxPrintableArea = 32;
    Add("row0.bmp", 8, 8, 2);  // uploaded second
    Add("row1.bmp", 8, 8, 1);  // uploaded first
    m_list.SetCenter(2, true);
    const Outcome r = Upload();
    ASSERT_TRUE(r.ok());
    // pad = (12 + 7) / 8 * 8 = 16 blank columns in front of the second image only.
    FakeBytes centred = {3, 0, 1, 0};
    centred.insert(centred.end(), 16, 0x00);
    centred.insert(centred.end(), 8, 0xFF);
    EXPECT_EQ(
        m_port.WrittenBytes(),
        Concat({{0x1D, 0x49, 0x01, 0x1B, 0x40, 0x1C, 0x71, 0x02}, BlackImage(8, 8), centred}));
}

TEST_F(LogoOperationsTest, GrayAndStarUpload) {
    m_options.grayPrinting = true;
    m_options.starEmulation = true;
    m_list.SetGrayPrinting(true);
    PortName("FILE");
    Add("a.bmp", 8, 2);
    ASSERT_TRUE(Upload().ok());
    FakeBytes expected = {0x1B, 0x1C, 0x71, 0x01, 0x01, 0xA0, 0x01, 0x00};
    for (int row = 0; row < 8; ++row) expected.insert(expected.end(), 4, row < 2 ? 0x55 : 0x00);
    EXPECT_EQ(m_port.WrittenBytes(), expected);
}

TEST_F(LogoOperationsTest, AFullWidthGrayLogoBeyondTheOldBuffersUploads) {
    m_options.grayPrinting = true;
    m_list.SetGrayPrinting(true);
    PortName("FILE");
    Add("tall.bmp", 512, 760);
    EXPECT_EQ(m_list.TotalBytes(), 194560);
    ASSERT_TRUE(Upload().ok());
    FakeBytes expected = {0x1C, 0x71, 0x01, 64, 0xA0, 95, 0};
    expected.insert(expected.end(), 194560, 0x55);
    EXPECT_EQ(m_port.WrittenBytes(), expected);
}

TEST_F(LogoOperationsTest, PrintIsOfferedOnPrinterPortsOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"COM3", true},        {"LPT1", true},          {"USB", true},
        {"ETHERNET_II", true}, {"/dev/ttyUSB0", true},  {"/tmp/kp70sim/lpKP70", true},
        {"FILE", false},       {"/tmp/out.prn", false}, {"", false},
    };
    for (const auto& [port, offered] : cases) EXPECT_EQ(PrintAvailable(port), offered) << port;
}

TEST_F(LogoOperationsTest, DeleteAllPerAttachment) {
    const FakeBytes kDelete = {0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00};
    struct Case {
        const char* port;
        FakeBytes expected;
    };
    const Case cases[] = {
        {"/dev/ttyS0", Concat({{0x1D, 0x49, 0x01, 0x1B, 0x40}, kDelete})},
        {"LPT1", Concat({{0x1D, 0x49, 0x01}, kDelete})},
        {"FILE", kDelete},
    };
    for (const Case& c : cases) {
        FakePrinter printer(c.port);
        EXPECT_EQ(DeleteAllLogos(printer.links, printer.clock, CancelToken::Never()).status,
                  OutcomeStatus::Done);
        EXPECT_EQ(printer.link.WrittenBytes(), c.expected) << c.port;
        EXPECT_EQ(printer.link.EventNames().front(), "Open");
        EXPECT_EQ(printer.link.EventNames().back(), "Close");
        EXPECT_EQ(printer.link.Count("WaitDelivered"), 1);
    }

    FakePrinter initFails("/dev/ttyS0");
    initFails.link.takeLimit = 3;
    Outcome r = DeleteAllLogos(initFails.links, initFails.clock, CancelToken::Never());
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kPrinterStatusCheck}));

    // A network printer: one connection attempt, probed after 100 ms; a delete that is not
    // delivered fails as a write to the port that failed.
    FakePrinter net("ETHERNET_II");
    EXPECT_EQ(DeleteAllLogos(net.links, net.clock, CancelToken::Never()).status,
              OutcomeStatus::Done);
    EXPECT_EQ(net.link.WrittenBytes(), kDelete);
    EXPECT_EQ(net.links.requests.back().connectRounds, 1);
    EXPECT_EQ(net.links.requests.back().connectWaitMs, 100);
    net.link.deliveryFault = DeliveryFault::NotTaken;
    r = DeleteAllLogos(net.links, net.clock, CancelToken::Never());
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kWriteToPort}));
    net.link.openResults = {false};
    net.link.lastErrorCode = 111;
    r = DeleteAllLogos(net.links, net.clock, CancelToken::Never());
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_EQ(r.notices, (std::vector<Notice>{Notice::WithValue(msg::kOpenPortOrFile, 111)}));
}

TEST_F(LogoOperationsTest, PrintAllIssues255CommandsOnTimerTicks) {
    PrintRequest request;
    request.mode = NvPrintMode::DoubleWidth;
    const Outcome r = Print(request, "");
    EXPECT_EQ(r.status, OutcomeStatus::Done);
    EXPECT_EQ(r.count, 255);
    const auto writes = m_port.Writes();
    ASSERT_EQ(writes.size(), 2u + 255u);
    EXPECT_EQ(writes[0], (FakeBytes{0x1D, 0x49, 0x01}));
    EXPECT_EQ(writes[1], (FakeBytes{0x1B, 0x40}));
    for (int n = 1; n <= 255; ++n)
        EXPECT_EQ(writes[1 + n], (FakeBytes{0x1C, 0x70, static_cast<std::uint8_t>(n), 1}));
    auto sleeps = m_clock.Sleeps();
    EXPECT_EQ(sleeps.size(), 257u);
    EXPECT_EQ(sleeps.back(), 1000);
    EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), std::int64_t{0}), 256 * 300 + 1000);
    EXPECT_EQ(m_port.EventNames().back(), "Close");
}

TEST_F(LogoOperationsTest, PrintSelectionWithHeadersOnAParallelPort) {
    PortName("LPT1");
    PrintRequest request;
    request.all = false;
    request.header = true;
    request.starEmulation = true;
    request.mode = NvPrintMode::Quadruple;
    std::vector<PrintProgress> seen;
    PrintCallbacks callbacks;
    callbacks.progress = [&](const PrintProgress& p) { seen.push_back(p); };
    const Outcome r = Print(request, "9,3-1", callbacks);
    EXPECT_EQ(r.status, OutcomeStatus::Done);
    EXPECT_EQ(r.count, 4);
    FakeBytes expected = {0x1D, 0x49, 0x01};
    for (int n : {9, 1, 2, 3}) {
        const std::string line = "--- Logo " + std::to_string(n) + " ---\n";
        expected.insert(expected.end(), line.begin(), line.end());
        expected.insert(expected.end(), {0x1B, 0x1C, 0x70, static_cast<std::uint8_t>(n), 3});
    }
    EXPECT_EQ(m_port.WrittenBytes(), expected);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].text, " ");
    EXPECT_EQ(seen[0].range, 4);
    EXPECT_EQ(seen[4].text, "Printing... 4/255");
}

TEST_F(LogoOperationsTest, PrintRefusesABadSelectionAndReportsWriteFailures) {
    PrintRequest request;
    request.all = false;
    Outcome r = Print(request, "1--3");
    EXPECT_EQ(r.status, OutcomeStatus::Refused);
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kSelectionIncorrect}));
    EXPECT_EQ(m_port.Count("Send"), 2);  // check and init only
    EXPECT_FALSE(m_port.IsOpen());

    m_port.ClearEvents();
    m_port.takeLimit = 5 + 5 + 4;  // the earlier 5 bytes, then check, init, image 1
    PrintResult details;
    r = Print(request, "1-5", {}, &details);
    EXPECT_EQ(r.status, OutcomeStatus::Failed);
    EXPECT_TRUE(details.failed);
    EXPECT_EQ(details.printed, 1);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(Numbers(r), (std::vector<int>{msg::kCommunication}));

    FakePrinter net("ETHERNET_II");
    r = PrintLogos(net.links, net.clock, request, "7", {}, CancelToken::Never());
    EXPECT_EQ(r.status, OutcomeStatus::Done);
    EXPECT_EQ(net.link.WrittenBytes(), (FakeBytes{0x1C, 0x70, 7, 0}));
    EXPECT_EQ(net.link.EventNames().back(), "Close");
}

TEST_F(LogoOperationsTest, PrintCancelStopsBeforeTheNextImage) {
    PrintRequest request;
    CancelToken cancel;
    PrintCallbacks callbacks;
    callbacks.progress = [&](const PrintProgress& p) {
        if (p.printed == 3) cancel.Cancel();
    };
    PrintResult details;
    const Outcome r = Print(request, "", callbacks, &details, cancel);
    EXPECT_EQ(r.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(details.cancelled);
    EXPECT_EQ(details.printed, 3);
    EXPECT_EQ(r.count, 3);
    EXPECT_TRUE(r.notices.empty());
    EXPECT_EQ(m_clock.Sleeps().back(), 300);
}

// A printer that closed the connection: a send the socket cannot deliver (an error or a
// short send) fails the operation with the same message as a failed write on the port.
TEST_F(LogoOperationsTest, NetworkSendsThatDoNotArriveFailLikePortWrites) {
    // On the wire: define 3 | header 4, data 512 + 512 + 328 | header 4, data 8.
    Add("a.bmp", 100, 100);
    Add("b.bmp", 8, 8);
    enum class Op { Upload, CancelledUpload, Print, PrintWithHeader, DeleteAll };
    struct Case {
        Op op;
        int failAfterBytes;
        OutcomeStatus status;
        std::vector<int> notices;
        int count;
    };
    const int lost = msg::kCommunication;
    const int write = msg::kWriteToPort;
    const Case cases[] = {
        {Op::Upload, 0, OutcomeStatus::Failed, {lost}, 0},     // the define command
        {Op::Upload, 5, OutcomeStatus::Failed, {lost}, 0},     // half a header
        {Op::Upload, 600, OutcomeStatus::Failed, {lost}, 0},   // the second data chunk
        {Op::Upload, 1359, OutcomeStatus::Failed, {lost}, 1},  // the second image's header
        {Op::Upload, 1371, OutcomeStatus::Done, {msg::kUploadComplete}, 2},
        {Op::CancelledUpload, 3, OutcomeStatus::Cancelled, {write, write, write}, 0},
        {Op::Print, 8, OutcomeStatus::Failed, {lost}, 2},  // the third print command
        {Op::PrintWithHeader, 10, OutcomeStatus::Failed, {lost}, 0},
        {Op::DeleteAll, 3, OutcomeStatus::Failed, {write}, 0},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "case " + std::to_string(index);
        FakePrinter printer("ETHERNET_II");
        printer.link.takeLimit = c.failAfterBytes;
        printer.link.sendFault = SendFault::Lost;
        Profile profile(m_dir.File("case" + std::to_string(index++) + ".INI"));
        PrintRequest request;
        request.all = false;
        request.header = c.op == Op::PrintWithHeader;
        CancelToken cancelled;
        cancelled.Cancel();
        Outcome r;
        switch (c.op) {
            case Op::Upload:
            case Op::CancelledUpload:
                r = UploadLogos(printer.links, printer.clock, nullptr, m_list, m_options, &profile,
                                {}, c.op == Op::Upload ? CancelToken::Never() : cancelled);
                break;
            case Op::Print:
            case Op::PrintWithHeader:
                r = PrintLogos(printer.links, printer.clock, request, "1-5", {},
                               CancelToken::Never());
                break;
            case Op::DeleteAll:
                r = DeleteAllLogos(printer.links, printer.clock, CancelToken::Never());
                break;
        }
        EXPECT_EQ(r.status, c.status) << name;
        EXPECT_EQ(Numbers(r), c.notices) << name;
        EXPECT_EQ(r.count, c.count) << name;
        EXPECT_EQ(printer.link.WrittenBytes().size(), static_cast<std::size_t>(c.failAfterBytes))
            << name;
        // Only a complete upload replaces the stored list.
        EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "-") != "-",
                  c.op == Op::Upload && c.status == OutcomeStatus::Done)
            << name;
    }
}

// Every send returned, but the printer dropped the link while the last bytes sat in the
// system's buffers, or never acknowledged them (it stopped reading): neither an upload nor
// a print is a success then, and no list is stored.
TEST_F(LogoOperationsTest, LinkLostBehindTheLastSendsIsNoSuccess) {
    Add("a.bmp", 16, 8);
    enum class Link { SerialHungUp, NetworkClosed, NetworkNeverRead };
    for (const Link kind : {Link::SerialHungUp, Link::NetworkClosed, Link::NetworkNeverRead}) {
        for (const bool upload : {true, false}) {
            const std::string name =
                std::to_string(static_cast<int>(kind)) + (upload ? " upload" : " print");
            FakePrinter printer(kind == Link::SerialHungUp ? "/dev/ttyS0" : "ETHERNET_II");
            if (kind != Link::NetworkNeverRead) printer.link.lostAfterBytes = 6;
            if (kind == Link::NetworkNeverRead)
                printer.link.deliveryFault = DeliveryFault::NotTaken;
            Profile profile(m_dir.File(name + ".INI"));
            PrintRequest request;
            request.all = false;
            const Outcome r = upload ? UploadLogos(printer.links, printer.clock, nullptr, m_list,
                                                   m_options, &profile, {}, CancelToken::Never())
                                     : PrintLogos(printer.links, printer.clock, request, "1-2", {},
                                                  CancelToken::Never());
            EXPECT_EQ(r.status, OutcomeStatus::Failed) << name;
            EXPECT_EQ(Numbers(r), std::vector<int>{msg::kCommunication}) << name;
            EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "-"), "-") << name;
        }
    }
}

// 128 KB models count what the printer would get: eight 64 x 1024 images are 64 KB, and
// each centred in 512 dots carries 224 blank columns (28 KB) more.
TEST_F(LogoOperationsTest, NvMemoryOf128KBModelsCountsTheBlankColumnsOfCentredImages) {
    for (int i = 0; i < 8; ++i) Add("tall" + std::to_string(i) + ".bmp", 64, 1024);
    EXPECT_EQ(m_list.UsedKB(), 64);
    EXPECT_FALSE(NvMemoryTooSmall(5, m_list, m_options));
    m_list.SetCenter(1, true);
    m_list.SetCenter(2, true);
    EXPECT_FALSE(NvMemoryTooSmall(5, m_list, m_options));  // 120 KB
    m_list.SetCenter(3, true);
    EXPECT_TRUE(NvMemoryTooSmall(5, m_list, m_options));  // 148 KB
    EXPECT_FALSE(NvMemoryTooSmall(6, m_list, m_options));
}

}  // namespace
}  // namespace kp70
