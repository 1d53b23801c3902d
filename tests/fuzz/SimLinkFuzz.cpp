// Feeds arbitrary received bytes to the virtual printer's own decoders as one of its links
// does: every protocol module (scripted replies, user settings, NV graphics, flash) behind
// the link's session, split into chunks anywhere, on the serial or the parallel side (with
// its status back on/off scanner), under any model code and protocol fault. A printer
// reset the bytes cause starts the link's modules again, as the simulator does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "sim/ParallelStatus.h"
#include "sim/Printer.h"

namespace {

using namespace kp70sim;

class RecordingLink : public LinkActions {
public:
    const std::string& LinkName() const override { return m_name; }
    void Reply(const Bytes& bytes) override { m_replied += bytes.size(); }
    void CloseLink() override { m_closed = true; }
    void Restart(int deafMs) override {
        if (deafMs < 0) std::abort();
        m_restart = true;
    }
    void GoSilent(int ms) override {
        if (ms < 0) std::abort();
    }

    std::string m_name = "pty";
    std::size_t m_replied = 0;
    bool m_closed = false;
    bool m_restart = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // First byte: model code, faults and the side; second: the chunk size.
    SimOptions options;
    options.ptyEnabled = options.tcpEnabled = false;
    options.modelCode = 1 + (data[0] >> 4) % 6;
    options.faults.nakEvery = data[0] & 3;
    options.faults.garbage = (data[0] & 4) != 0;
    options.faults.keepStatus = (data[0] & 8) != 0;
    const bool parallel = (data[0] & 8) != 0;
    const std::size_t chunk = 1 + data[1] % 97;
    data += 2;
    size -= 2;

    Printer printer(options);
    RecordingLink link;
    auto session = std::make_unique<PrinterSession>(printer);
    std::optional<ParallelStatus> status;
    if (parallel) status.emplace();

    while (size > 0 && !link.m_closed) {
        const std::size_t n = std::min(chunk, size);
        const std::uint8_t* p = data;
        std::size_t left = n;
        if (!status) {
            session->Feed(p, left, link);
        } else {
            while (left > 0) {
                const std::size_t taken = status->Scan(p, left);
                if (taken == 0 || taken > left) std::abort();
                session->Feed(p, taken, link);
                status->Settle();
                p += taken;
                left -= taken;
            }
        }
        data += n;
        size -= n;
        if (link.m_restart) {
            link.m_restart = false;
            session = std::make_unique<PrinterSession>(printer);
            if (status) status.emplace();
        }
    }
    return 0;
}
