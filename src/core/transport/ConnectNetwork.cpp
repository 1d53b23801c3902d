#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

bool ConnectNetwork(NetworkLink& link, Clock& clock, const std::string& address, std::uint16_t port,
                    int firstWaitMs, const CancelToken* cancel, int rounds, int waitMs) {
    link.StartConnect(address, port);
    if (firstWaitMs > 0) clock.SleepFor(firstWaitMs);
    for (int round = 0; round < rounds; ++round) {
        if (cancel && cancel->Cancelled()) return false;
        clock.SleepFor(waitMs);
        // A zero-length send succeeds (0) only once the connection is up.
        if (link.Send(nullptr, 0) == 0) return true;
        link.StartConnect(address, port);
    }
    return false;
}

}  // namespace kp70
