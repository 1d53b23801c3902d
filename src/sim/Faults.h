#pragma once

#include <string>

namespace kp70sim {

// The misbehaviour the virtual printer was asked to show (--fault, repeatable). Generic
// faults are applied by the link layer; the protocol modules read the others.
struct FaultSet {
    long long dropAfter = -1;  // close a link after this many received bytes; -1 never
    bool refuse = false;       // TCP connections are refused (the port is bound, not listening)
    bool silent = false;       // nothing is ever sent back
    int nakEvery = 0;          // protocol modules NAK every K-th packet; 0 never
    int lateMs = 0;            // every reply leaves this many milliseconds late
    bool garbage = false;      // protocol modules answer with bytes that make no sense
    bool keepStatus = false;   // the parallel side ignores status back off (1D 61 00)
    bool nakLast = false;      // the flash module refuses every last TALVO10 packet (40 F1)
    bool repeat = false;       // every reply goes out twice (a line that echoes)
    // Stop reading a link once it has brought this many bytes, keeping it open: a printer
    // that takes nothing more (offline, out of paper); -1 never.
    long long stallAfter = -1;
};

// Adds one --fault SPEC ("drop-after=N", "stall-after=N", "refuse", "silent", "nak-every=K",
// "nak-last", "repeat", "late=MS", "garbage", "keep-status") to faults. False, with `why` filled,
// when the faultText is not understood.
bool ParseFault(const std::string& faultText, FaultSet& faults, std::string& why);

}  // namespace kp70sim
