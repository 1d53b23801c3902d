#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/Hex.h"

namespace kp70sim {

class Printer;

// What a module may do to the link whose bytes it was given.
class LinkActions {
public:
    virtual ~LinkActions() = default;

    // "pty" or "tcp-N" (N counts TCP connections from 1).
    virtual const std::string& LinkName() const = 0;

    // Sends bytes back on this link (after the late fault's delay; dropped while the link
    // is silent or when the silent fault is on).
    virtual void Reply(const Bytes& bytes) = 0;

    // Drops the link after pending replies: a TCP connection is closed; the pseudo-terminal
    // hangs up and a fresh one appears behind the same link path.
    virtual void CloseLink() = 0;

    // The printer resets: every module of this link starts again from scratch (the state
    // file is kept), a TCP connection is closed, and received bytes are ignored for deafMs.
    // Like every delay here, deafMs is the printer's own time; --time-scale shortens it.
    virtual void Restart(int deafMs) = 0;

    // No replies leave this link for the next ms milliseconds; received bytes are still
    // decoded.
    virtual void GoSilent(int ms) = 0;
};

// One piece of printer behaviour (a protocol). Each link gets its own instance of every
// registered module, so a module's decoder state belongs to one connection; what outlives
// a connection goes into the printer's state (Printer::State).
class PrinterModule {
public:
    virtual ~PrinterModule() = default;

    // Bytes received on the link, in order, in the chunks they arrived in. Every module
    // sees every byte; a module ignores what is not its protocol.
    virtual void OnBytes(const std::uint8_t* data, std::size_t size, LinkActions& link) = 0;

    // A module whose protocol takes the link over for a while (a flash download: megabytes
    // of image bytes that other modules must not read as commands or text) says where.
    // TakeOverAt sees the bytes no module holds, before any OnBytes: it returns how many of
    // the leading bytes go to every module as usual before it takes the link (size: it takes
    // nothing). From there on Held gets every byte instead of OnBytes and returns how many
    // it used, until Holding() is false again. By default a module never takes the link.
    virtual std::size_t TakeOverAt(const std::uint8_t* data, std::size_t size) {
        (void)data;
        return size;
    }
    virtual std::size_t Held(const std::uint8_t* data, std::size_t size, LinkActions& link) {
        (void)data;
        (void)link;
        return size;
    }
    virtual bool Holding() const { return false; }
};

// Makes a module for a new link of printer.
using ModuleFactory = std::unique_ptr<PrinterModule> (*)(Printer& printer);

}  // namespace kp70sim
