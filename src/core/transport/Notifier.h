#pragma once

#include <string>

namespace kp70 {

// How the transport tells the operator about the few failures it reports itself (the
// receive queue overflow, msg::kQueueReadFull, and a receive thread that cannot watch its port,
// msg::kWatchThreadFailed followed by the port name). The GUI shows a message box on its own
// thread; the command line prints to stderr. Both may be called on a receive thread: they must not
// wait for the thread that closes the port (the GUI posts the box to its own thread).
class Notifier {
public:
    virtual ~Notifier() = default;
    // Catalogue message n, followed directly by suffix.
    virtual void ShowMessage(int n, const std::string& suffix = "") = 0;
    // A literal text (the USB device path when the device cannot be read back). The port
    // also logs it, so a notifier without a box loses nothing.
    virtual void ShowText(const std::string& text) { (void)text; }
};

// Receives WM_DATA_RECEIVED: called on the receive thread after bytes were queued; it
// returns only when the listener has taken what it wanted (a blocking hand-off).
class ReceiveListener {
public:
    virtual ~ReceiveListener() = default;
    virtual void OnDataReceived() = 0;
    // Called by the port's Close on the closing thread, before it joins the receive
    // thread, when a hand-off to this listener is under way or about to start: exactly one
    // OnDataReceived call is in progress or will be made. That call must then return
    // without waiting for the closing thread (a GUI listener that waits for its own thread
    // would otherwise deadlock with Close on that thread). Listeners whose OnDataReceived
    // never waits for another thread need not override it.
    virtual void CancelDelivery() {}
};

inline constexpr unsigned kWmDataReceived = 0x401;
inline constexpr unsigned kWmSettingReceived = 0x403;

}  // namespace kp70
