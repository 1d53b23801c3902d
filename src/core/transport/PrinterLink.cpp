#include "core/transport/PrinterLink.h"

#include "core/transport/NetworkLink.h"
#include "core/transport/ParallelController.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

// A device write that has no bounded form of its own: one write, judged by its count.
SendResult Judged(int written, int length, int error) {
    if (written >= length) return {length, SendFault::None, 0};
    return {written > 0 ? written : 0, SendFault::Failed, error};
}

}  // namespace

std::string TakenText(std::int64_t taken, std::int64_t total, const char* who) {
    return std::string(who) + " took " + std::to_string(taken) + " of " + std::to_string(total) +
           " bytes";
}

SendResult PrinterPort::WriteBounded(const std::uint8_t* data, int length, const CancelToken&) {
    return Judged(Write(data, length), length, LastErrorCode());
}

SendResult NetworkLink::SendBounded(const std::uint8_t* data, int length, const CancelToken&) {
    const int sent = Send(data, length);
    if (sent < 0 && !connected()) return {0, SendFault::Lost, LastErrorCode()};
    return Judged(sent, length, LastErrorCode());
}

SendResult ParallelController::WriteBounded(const std::uint8_t* data, int length,
                                            const CancelToken&) {
    return Judged(Write(data, length), length, lastErrorCode());
}

}  // namespace kp70
