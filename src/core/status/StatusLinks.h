#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/transport/ParallelStatusFilter.h"

namespace kp70 {

class NetworkLink;
class ParallelController;
class PrinterPort;

// What a status session needs of a printer connection: send a request, take what came
// back, or, on a parallel port, the automatic status blocks the port keeps apart.
class StatusLink {
public:
    virtual ~StatusLink() = default;
    // True when the printer reports its status by itself (the parallel port's automatic
    // status blocks) and no request is sent.
    virtual bool Automatic() const { return false; }
    // Sends the bytes; false when they did not all go out.
    virtual bool Send(const std::vector<std::uint8_t>& bytes) = 0;
    // Appends what the printer sent since the last call; never waits.
    virtual void Receive(std::vector<std::uint8_t>& bytes) = 0;
    // Automatic links: a status block the port received since the last call, if any.
    virtual std::optional<StatusBlock> TakeBlock() { return std::nullopt; }
};

// A serial or USB port (CPorts): requests are written, answers read from m_QueueRead (for
// USB read back first). The port must be open and nobody else may take its queue.
class PortStatusLink : public StatusLink {
public:
    explicit PortStatusLink(PrinterPort& port) : m_port(port) {}
    bool Send(const std::vector<std::uint8_t>& bytes) override;
    void Receive(std::vector<std::uint8_t>& bytes) override;

private:
    PrinterPort& m_port;
};

// A connected network printer: answers arrive in the socket's queue.
class NetworkStatusLink : public StatusLink {
public:
    explicit NetworkStatusLink(NetworkLink& link) : m_link(link) {}
    bool Send(const std::vector<std::uint8_t>& bytes) override;
    void Receive(std::vector<std::uint8_t>& bytes) override;

private:
    NetworkLink& m_link;
};

// An open parallel-port controller (ParPortCtl): its reader is kept reading and every status
// block counts, including one equal to the last. takeReplies: reply bytes are taken from the
// controller's queue and dropped (false when another thread owns that queue, as the setup
// screen's receive thread does).
class ParallelStatusLink : public StatusLink {
public:
    ParallelStatusLink(ParallelController& controller, bool takeReplies);
    bool Automatic() const override { return true; }
    // Nothing is sent to a printer on a parallel port.
    bool Send(const std::vector<std::uint8_t>& bytes) override;
    void Receive(std::vector<std::uint8_t>& bytes) override;
    std::optional<StatusBlock> TakeBlock() override;

private:
    ParallelController& m_controller;
    bool m_takeReplies;
    int m_blocksSeen;
    bool m_readerStarted = false;
};

}  // namespace kp70
