// Real-time status: DLE EOT n (10 04 n, n = 1..4) is answered at once with one status byte
// from the printer's status conditions, whatever else the printer is busy with. A reply
// rule (--reply, --script) whose request ends with 10 04 n answers that request instead.
#include "sim/Printer.h"

namespace kp70sim {
namespace {

class StatusModule : public PrinterModule {
public:
    explicit StatusModule(Printer& printer) : m_printer(printer) {
        for (const auto& rule : printer.Options().replies) {
            const Bytes& r = rule.request;
            const std::size_t size = r.size();
            if (size >= 3 && r[size - 3] == 0x10 && r[size - 2] == 0x04 && r[size - 1] >= 1 &&
                r[size - 1] <= 4)
                m_scripted[r[size - 1]] = true;
        }
    }

    void OnBytes(const std::uint8_t* data, std::size_t size, LinkActions& link) override {
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint8_t b = data[i];
            if (m_matched == 2) {
                m_matched = 0;
                if (b >= 1 && b <= 4 && !m_scripted[b]) {
                    link.Reply({m_printer.Status().Answer(b)});
                    continue;
                }
            }
            if (m_matched == 1 && b == 0x04) {
                m_matched = 2;
            } else {
                m_matched = b == 0x10 ? 1 : 0;
            }
        }
    }

private:
    Printer& m_printer;
    int m_matched = 0;        // bytes of "10 04" seen so far
    bool m_scripted[5] = {};  // requests a reply rule answers
};

}  // namespace

std::unique_ptr<PrinterModule> MakeStatusModule(Printer& printer) {
    return std::make_unique<StatusModule>(printer);
}

}  // namespace kp70sim
