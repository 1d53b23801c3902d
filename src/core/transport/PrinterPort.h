#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/transport/PrinterLink.h"
#include "core/transport/ReceiveQueue.h"

namespace kp70 {

class CancelToken;
class ReceiveListener;

// The printer port the tools use for serial, parallel, USB printer-class and file ports
// (CPorts in the platform layer; tests pass a recording fake). It holds the connection
// settings, so Open needs no arguments.
class PrinterPort {
public:
    virtual ~PrinterPort() = default;

    virtual ConnectionSettings& Settings() = 0;

    // 1 on success, 0 on failure.
    virtual int Open() = 0;
    // The files the next Open must not write into: a print file that is one of them fails
    // to open (LastErrorText says so) and is left as it is. Ports that write no file ignore
    // them.
    virtual void KeepFiles(std::vector<std::string> files) { (void)files; }
    // 1 when a port was open, 0 when none was.
    virtual int Close() = 0;
    // The number of bytes written; 0 on failure.
    virtual int Write(const std::uint8_t* data, int length) = 0;
    // Writes all of data, waiting while the device takes nothing, up to the port kind's
    // write time-out; a cancel ends the wait. Says how much the device took. Ports without a
    // bounded write of their own (test doubles) answer with Write.
    virtual SendResult WriteBounded(const std::uint8_t* data, int length,
                                    const CancelToken& cancel);
    // Bytes the driver still holds for the printer (a serial port's output queue; 1 while a
    // USB printer's last write has not completed); 0 when none, or when it cannot be told.
    virtual int OutputPending() { return 0; }
    // A print file: what was written is flushed to the disk. True for the other kinds.
    virtual bool SyncOutput() { return true; }
    // USB printers: reads the printer's reply back into m_QueueRead. 1, or 0 when the
    // device cannot be opened.
    virtual int ReadUsbReply() = 0;
    virtual bool isOpen() const = 0;
    // Whether the link still stands after the last write: the port is open and the device
    // behind it has not gone (a USB adapter unplugged, a pseudo-terminal hung up). Bytes a
    // write handed to the system's buffers just before the link went never reached the
    // printer, so a transfer checks this before it calls itself complete.
    virtual bool LinkUp() { return isOpen(); }

    // Received bytes not yet consumed (m_QueueRead).
    virtual ReceiveQueue& QueueRead() = 0;
    // The listener told about received bytes (notifyWindow); nullptr for none.
    virtual void SetNotifyWindow(ReceiveListener* listener) = 0;

    // The operating system's error code of the last failed operation (for msg::kOpenPortOrFile).
    virtual int LastErrorCode() const = 0;
    // A short text saying why the last Open failed, e.g. "/dev/ttyS0: permission denied".
    virtual std::string LastErrorText() const = 0;
};

}  // namespace kp70
