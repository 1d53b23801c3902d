#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kp70 {

// The steps of setting up the two discovery sockets, in the order they are made.
enum class DatagramStep {
    SendSocket,     // the socket frames are sent from
    Broadcast,      // allowing it to broadcast
    ReceiveSocket,  // the socket frames are received on
    Bind,           // sharing (SO_REUSEADDR) and binding it to the discovery port
};

// One step that failed, with the system's reason in words ("UDP port 2918 is in use by a
// program that does not share it").
struct DatagramFailure {
    DatagramStep step;
    std::string reason;
};

// What one wait for a datagram brought.
struct Datagram {
    enum class Status {
        Received,  // one datagram: bytes, sender
        None,      // nothing arrived within the wait
        Failed,    // the socket cannot receive (not made, or broken): reason
    };
    Status status = Status::None;
    std::vector<std::uint8_t> bytes;  // as received (any length)
    std::string sender;               // the sender's dotted IPv4 address
    std::string reason;
};

// The two UDP sockets of printer discovery (the platform's DatagramSocket; a fake in
// tests): a send socket that may broadcast, and a receive socket bound to the discovery
// port on every address of the PC, which also receives the PC's own broadcasts.
class DatagramLink {
public:
    virtual ~DatagramLink() = default;

    // Makes both sockets, receiving on port. Every step that failed, in order; what could
    // be made stays usable (a link without a receive socket simply receives nothing).
    virtual std::vector<DatagramFailure> Open(std::uint16_t port) = 0;
    // Sends one datagram to address:port. Empty when it went out, else the reason in words
    // ("no usable network: ...").
    virtual std::string Send(const std::uint8_t* data, std::size_t size, const std::string& address,
                             std::uint16_t port) = 0;
    // Waits at most waitMs (through the Clock) for one datagram on the receive socket.
    virtual Datagram Receive(std::int64_t waitMs) = 0;
    // Every IPv4 address of every interface of the PC, dotted. A frame from one of them is
    // the PC's own broadcast.
    virtual std::vector<std::string> LocalAddresses() = 0;
    // Closes both sockets; Open may follow.
    virtual void Close() = 0;
};

}  // namespace kp70
