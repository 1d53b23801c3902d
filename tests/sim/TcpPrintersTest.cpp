#include <gtest/gtest.h>

#include "sim/TcpPrinters.h"

namespace kp70sim {
namespace {

// Each extra TCP printer takes the next address and a memory of its own; a host that is no
// dotted address, or a count that runs past .254, is refused.
TEST(TcpPrinters, EachExtraPrinterHasTheNextAddressAndItsOwnFiles) {
    SimOptions base;
    base.tcpHost = "127.0.0.1";
    base.tcpPort = 6001;
    base.stateFile = "/tmp/sim/state.json";
    base.outDir = "/tmp/sim/out";
    base.udpAddress = "127.0.0.1";
    base.lptPath = "/tmp/sim/lpKP70";
    const struct {
        std::string host;
        int index;
        bool ok;
        std::string address;
    } cases[] = {
        {"127.0.0.1", 1, true, "127.0.0.2"},   {"127.0.0.1", 253, true, "127.0.0.254"},
        {"10.1.2.250", 4, true, "10.1.2.254"}, {"127.0.0.1", 254, false, ""},
        {"localhost", 1, false, ""},           {"127.0.0", 1, false, ""},
    };
    for (const auto& c : cases) {
        base.tcpHost = c.host;
        SimOptions options;
        std::string why;
        EXPECT_EQ(ExtraPrinterOptions(base, c.index, options, why), c.ok) << c.host << c.index;
        if (!c.ok) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(options.tcpHost, c.address);
        EXPECT_EQ(options.tcpPort, 6001);
        EXPECT_EQ(options.stateFile, "/tmp/sim/state-" + c.address + ".json");
        EXPECT_EQ(options.outDir, "/tmp/sim/out/" + c.address);
        EXPECT_FALSE(options.ptyEnabled);
        EXPECT_TRUE(options.lptPath.empty());
        EXPECT_TRUE(options.udpAddress.empty());
    }
}

}  // namespace
}  // namespace kp70sim
