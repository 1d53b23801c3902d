#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/transport/PrinterLink.h"

namespace kp70 {

class ParallelController;

// A printer on a parallel port that is also read from, through the tool's own parallel-port
// controller (ParPortCtl): the user setup tool and the status queries. The controller reads
// on request, keeps the printer's automatic status blocks apart and queues the reply bytes;
// the link owns it.
class ParallelLink : public PrinterLink {
public:
    ParallelLink(std::unique_ptr<ParallelController> controller, std::string portName);
    ~ParallelLink() override;
    ParallelLink(const ParallelLink&) = delete;
    ParallelLink& operator=(const ParallelLink&) = delete;

    using PrinterLink::Send;
    Attachment Kind() const override { return Attachment::Parallel; }
    bool Open(const CancelToken& cancel) override;
    bool IsOpen() const override;
    bool CheckConnection(const CancelToken& cancel) override { return (void)cancel, IsOpen(); }
    SendResult Send(const std::uint8_t* data, int length, const CancelToken& cancel) override;
    bool CanAnswer() const override { return true; }
    bool RequestReplies() override;
    void StopReplies() override;
    void TakeReplies(std::vector<std::uint8_t>& bytes) override;
    bool RepliesPending() const override;
    bool ReportsStatusItself() const override { return true; }
    std::optional<StatusBlock> TakeStatusBlock() override;
    bool StillUp() override;
    Delivery WaitDelivered(const CancelToken& cancel) override;
    void Close() override;
    int LastErrorCode() const override;
    std::string LastErrorText() const override;

    bool LegacyMode() const override;

private:
    std::unique_ptr<ParallelController> m_controller;
    std::string m_portName;
    bool m_readerStarted = false;
    int m_blocksSeen = 0;
};

}  // namespace kp70
