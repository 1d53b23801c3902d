// Reads arbitrary datagrams as discovery replies. Only 35 bytes make a frame; a frame's row
// texts, taken back by a row click and "Change Setting", must give a set frame with the
// same settings whenever the checks accept them. The same bytes as typed text go through
// the checks of both kinds of change, which must never fail other than by refusing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/network/DiscoveryFrame.h"
#include "core/network/SetFrameChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kp70;
    const auto frame = DiscoveryFrame::FromBytes(data, size);
    if (frame.has_value() != (size == DiscoveryFrame::kSize)) std::abort();
    if (frame) {
        const NetworkSettings settings = frame->Settings();
        const DiscoveredPrinter row = DiscoveredPrinter::From(settings);
        const RowFields fields = FieldsOfRow(row);
        if (fields.dhcp != settings.dhcp) std::abort();
        SettingInput input{fields.address,
                           fields.subnet,
                           fields.gateway,
                           fields.port,
                           fields.dhcp,
                           fields.mac,
                           {}};
        const SetFrameCheck check = CheckSetFrame(ChangeKind::FromRow, input);
        const bool addressOk = settings.address[3] >= 1 && settings.address[3] <= 254;
        const bool portOk =
            settings.port == 515 || (settings.port >= 1024 && settings.port <= 65534);
        if (check.ok() != (addressOk && portOk)) std::abort();
        if (check.ok() && !(check.frame->Settings() == settings)) std::abort();
    }

    // The input as the text of the fields: split at new lines.
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string parts[8];
    std::size_t part = 0;
    for (char c : text) {
        if (c == '\n' && part < 7) {
            ++part;
            continue;
        }
        parts[part] += c;
    }
    const SettingInput typed{parts[0],
                             parts[1],
                             parts[2],
                             parts[3],
                             !parts[4].empty(),
                             parts[4],
                             {parts[5], parts[6], parts[7]}};
    for (ChangeKind kind : {ChangeKind::FromRow, ChangeKind::ManualMac}) {
        const SetFrameCheck check = CheckSetFrame(kind, typed);
        if (check.ok() && check.frame->Command() != discovery::kSet) std::abort();
        if (!check.ok() && check.refusal.number < 0 && !check.refusal.text.english) std::abort();
    }
    return 0;
}
