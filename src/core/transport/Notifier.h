#pragma once

#include <string>

namespace kp70 {

// How the transport tells the operator about the few failures it reports itself (the
// receive queue overflow, message 41, and a receive thread that cannot watch its port,
// message 40 followed by the port name). The GUI shows a message box on its own thread;
// the command line prints to stderr.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Catalogue message n, followed directly by suffix.
    virtual void ShowMessage(int n, const std::string& suffix = "") = 0;
};

// Receives WM_DATA_RECEIVED: called on the receive thread after bytes were queued; it
// returns only when the listener has taken what it wanted (a blocking hand-off).
class ReceiveListener {
public:
    virtual ~ReceiveListener() = default;
    virtual void OnDataReceived() = 0;
};

inline constexpr unsigned kWmDataReceived = 0x401;
inline constexpr unsigned kWmSettingReceived = 0x403;

}  // namespace kp70
