// Feeds arbitrary datagrams to the virtual printers' discovery side: only a 35-byte frame
// with AA AA in front and 55 55 behind is read, an encoded frame reads back the same, and
// every answer is a 35-byte frame (or, with the garbage fault, 17 bytes) sent to port 2918.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "sim/Discovery.h"
#include "sim/Printer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kp70sim;
    const auto frame = DecodeNetFrame(data, size);
    const bool framed =
        size == 35 && data[0] == 0xAA && data[1] == 0xAA && data[33] == 0x55 && data[34] == 0x55;
    if (frame.has_value() != framed) std::abort();
    if (frame) {
        const Bytes again = EncodeNetFrame(*frame);
        const auto decoded = DecodeNetFrame(again.data(), again.size());
        if (!decoded || decoded->command != frame->command ||
            !(decoded->settings == frame->settings))
            std::abort();
    }

    // A few printers answer the datagram; a set frame followed by its end frame (the same
    // datagram with command 04) changes one of them.
    SimOptions options;
    options.udpAddress = "10.0.0.1";
    options.printers = 3;
    options.faults.garbage = size > 0 && (data[size - 1] & 1) != 0 && !framed;
    Printer printer(options);
    std::ostringstream log;
    DiscoveryResponder responder(printer, log);
    std::string why;
    if (!responder.MakePrinters(why)) std::abort();
    for (int round = 0; round < 2; ++round) {
        Bytes datagram(data, data + size);
        if (round == 1 && framed) datagram[2] = 0x04;
        for (const auto& answer :
             responder.Handle(datagram.data(), datagram.size(), "10.0.0.200", "10.0.0.255")) {
            if (answer.printer < 0 || answer.printer >= 3) std::abort();
            if (answer.bytes.size() != (options.faults.garbage ? 17u : 35u)) std::abort();
        }
    }
    return 0;
}
