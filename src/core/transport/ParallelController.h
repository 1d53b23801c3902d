#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/transport/PrinterLink.h"

namespace kp70 {

class CancelToken;

// The parallel-port controller the user setup tool uses to both write to and read from a
// printer on a parallel port (ParPortCtl): a reader thread reads on request, keeps the
// printer's 4-byte automatic status blocks apart and queues the reply bytes.
class ParallelController {
public:
    virtual ~ParallelController() = default;
    virtual int Open(const std::string& portName) = 0;
    virtual int Write(const std::uint8_t* data, int length) = 0;
    // Write within the controller's limit, ended early by a cancel; says how much the port
    // took. Controllers without one of their own (test doubles) answer with Write.
    virtual SendResult WriteBounded(const std::uint8_t* data, int length,
                                    const CancelToken& cancel);
    // The port is open and the device behind it has not gone.
    virtual bool LinkUp() { return isOpen(); }
    virtual int StartReader() = 0;
    virtual void RequestRead() = 0;
    // The oldest queued byte with flag 1, or 0 with flag -1 when the queue is empty.
    virtual std::uint8_t GetByte(int& flag) = 0;
    virtual void StopReader() = 0;
    virtual int Close() = 0;
    virtual bool isOpen() const = 0;
    // True when the port accepted time-outs (legacy systems); never on this platform.
    virtual bool timeoutsSet() const = 0;
    virtual std::string lastErrorText() const = 0;
    virtual int lastErrorCode() const = 0;
    virtual std::array<std::uint8_t, 4> lastStatus() const = 0;
    // How many status blocks the reader has taken out so far, equal ones included, so a
    // caller can tell a fresh block from the one it saw before. 0 where not counted.
    virtual int statusBlocks() const { return 0; }
    // Reply bytes queued and not yet taken.
    virtual int Queued() const { return 0; }
};

}  // namespace kp70
