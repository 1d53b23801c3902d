#pragma once

#include <string>

namespace kp70sim {

// The serial side of the virtual printer: a pseudo-terminal in raw mode whose slave is
// reached through a symbolic link at a stable path. The master stays open for the life of
// the object; programs open, close and reopen the slave (the link) as they like.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pseudo-terminal and points linkPath at it (creating the link's folders and
    // replacing an older link; a file that is not a link is never replaced). False, with
    // `why`, on failure.
    bool Open(const std::string& linkPath, std::string& why);
    // Replaces the pseudo-terminal with a fresh one behind the same link: whoever had the
    // old slave open sees a hang-up. False, with `why`, when no new one can be made.
    bool Renew(std::string& why);
    // Closes the master and removes the link (when it still points at our slave).
    void Close();

    int MasterFd() const { return m_master; }
    const std::string& LinkPath() const { return m_linkPath; }
    const std::string& DevicePath() const { return m_device; }

private:
    bool Create(std::string& why);
    bool PointLink(std::string& why);

    int m_master = -1;
    std::string m_linkPath;
    std::string m_device;
};

}  // namespace kp70sim
