#pragma once

#include "core/setup/SetupReplyParser.h"

namespace kp70 {

// Receives the completed setting replies of a setup session (WM_SETTING_RECEIVED).
class SettingListener {
public:
    virtual ~SettingListener() = default;

    // Called on the session's receive thread with each reply that MapReply passed. It
    // returns only when the reply has been applied (a blocking hand-off), so one reply is in
    // flight at a time; the GUI applies it on its own thread.
    virtual void OnSettingReceived(const SetupReply& reply) = 0;

    // Called on the thread that stops the receive thread (closing the session, or the end of
    // a parallel-port read), before it waits for that thread, when a hand-off is under way
    // or about to start: exactly one OnSettingReceived call is in progress or will be made,
    // and it must then return without waiting for the stopping thread. Listeners that never
    // wait for another thread need not override it.
    virtual void CancelDelivery() {}
};

}  // namespace kp70
