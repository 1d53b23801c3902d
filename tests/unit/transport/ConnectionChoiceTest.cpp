#include "core/transport/ConnectionChoice.h"

#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/FakeNetworkLink.h"

namespace kp70::test {
namespace {

TEST(UsbPrinterSearch, CountsEveryRoundUntilAPrinterIsThereWaiting250MsBetween) {
    struct Case {
        int printers;
        int absentQueries;
        int cancelAfterEmptyRounds;  // 0: never
        int count;
        int rounds;
        int waits;
    };
    const Case cases[] = {
        {1, 0, 0, 1, 1, 0},     // there at once
        {1, 3, 0, 1, 4, 3},     // switched on during the search
        {2, 0, 0, 2, 1, 0},     // two: the caller says there are too many
        {0, 0, 0, -1, 16, 16},  // never: 16 rounds, a wait after each
        {1, 99, 3, -1, 3, 2},   // cancelled in the third empty round, before its wait
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.printers << " printers after " << c.absentQueries
                                        << ", cancel after " << c.cancelAfterEmptyRounds);
        FakeDeviceEnumerator devices;
        devices.usb.assign(c.printers, {"/dev/usb/lp0", "USB\\VID_5A3D&PID_3012"});
        devices.usb.push_back({"/dev/usb/lp9", "USB\\VID_5A3D&PID_0101"});  // another model
        devices.absentQueries = c.absentQueries;
        VirtualClock clock;
        CancelToken cancel;
        int emptyRounds = 0;
        const int count = SearchUsbPrinters(
            devices, clock, 6, cancel,
            [&] {
                if (++emptyRounds == c.cancelAfterEmptyRounds) cancel.Cancel();
            },
            nullptr);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(devices.usbQueries, c.rounds);
        EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(c.waits, 250));
    }
    EXPECT_EQ(UsbSearchMessage(-1), 10);
    EXPECT_EQ(UsbSearchMessage(1), -1);
    EXPECT_EQ(UsbSearchMessage(2), 11);
}

TEST(NetworkTargetCheck, PortFirstThenAddress) {
    struct Case {
        const char* address;
        const char* port;
        bool hostNames;
        NetworkRefusal refusal;
        bool portAccepted;
    };
    const Case cases[] = {
        {"192.168.0.254", "6001", false, NetworkRefusal::None, true},
        {" 10.0.0.7 ", "515", false, NetworkRefusal::None, true},
        {"10.0.0.7", "1024", false, NetworkRefusal::None, true},
        {"10.0.0.7", "65534", false, NetworkRefusal::None, true},
        {"10.0.0.7", "1023", false, NetworkRefusal::Port, false},
        {"10.0.0.7", "514", false, NetworkRefusal::Port, false},
        {"10.0.0.7", "65535", false, NetworkRefusal::Port, false},
        {"10.0.0.7", "", false, NetworkRefusal::Port, false},
        {"10.0.0.7", "4294967297", false, NetworkRefusal::Port, false},
        {"10.0.0.7", "60x", false, NetworkRefusal::Port, false},
        {"300.1.1.1", "80", false, NetworkRefusal::Port, false},  // the port is checked first
        {"300.1.1.1", "6001", false, NetworkRefusal::Address, true},
        {"192.168.0", "6001", false, NetworkRefusal::Address, true},
        {"1.2.3.4.5", "6001", false, NetworkRefusal::Address, true},
        {"", "6001", false, NetworkRefusal::Address, true},
        {"printer.local", "6001", false, NetworkRefusal::Address, true},
        // The command line may name a host, but dotted numbers must be a whole address.
        {"printer.local", "6001", true, NetworkRefusal::None, true},
        {"192.168.0", "6001", true, NetworkRefusal::Address, true},
        {"", "6001", true, NetworkRefusal::Address, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.address << " " << c.port << " " << c.hostNames);
        const NetworkTarget target = CheckNetworkTarget(c.address, c.port, c.hostNames);
        EXPECT_EQ(target.refusal, c.refusal);
        EXPECT_EQ(target.portAccepted, c.portAccepted);
    }
    EXPECT_EQ(CheckNetworkTarget(" 10.0.0.7 ", "515").address, "10.0.0.7");
    EXPECT_EQ(NetworkRefusalNotice(NetworkRefusal::Port, false).number, 55);
    EXPECT_EQ(NetworkRefusalNotice(NetworkRefusal::Address, true).literal,
              kIpv4AddressNeeded.korean);
}

TEST(NetworkPrinterCheck, ClosesTheSocketAfterwardsAndStopsWhenCancelled) {
    VirtualClock clock;
    CancelToken cancel;
    FakeNetworkLink link;
    link.refuse = true;
    const Outcome refused = CheckNetworkPrinter(link, clock, "10.0.0.7", 6001, cancel);
    EXPECT_EQ(refused.status, OutcomeStatus::Failed);
    ASSERT_EQ(refused.notices.size(), 1u);
    EXPECT_EQ(refused.notices[0].number, 20);
    EXPECT_EQ(link.Count("Probe"), 10);
    EXPECT_EQ(link.EventNames().back(), "CloseSocket");

    FakeNetworkLink cancelled;
    cancel.Cancel();
    const Outcome stopped = CheckNetworkPrinter(cancelled, clock, "10.0.0.7", 6001, cancel);
    EXPECT_EQ(stopped.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(stopped.notices.empty());
    EXPECT_EQ(cancelled.EventNames(), (std::vector<std::string>{"StartConnect", "CloseSocket"}));
}

}  // namespace
}  // namespace kp70::test
