#include "sim/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kp70sim {

namespace {

std::string ErrorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Create(std::string& why) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        why = ErrorText("cannot create a pseudo-terminal");
        return false;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        why = ErrorText("cannot unlock the pseudo-terminal");
        ::close(master);
        return false;
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        why = ErrorText("cannot name the pseudo-terminal");
        ::close(master);
        return false;
    }
    // Raw mode, set through the slave once: the line keeps it while the master is open,
    // until a program that opens the port sets its own line settings.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        why = ErrorText(std::string("cannot open ") + name);
        ::close(master);
        return false;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B115200);
        tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_device = name;
    return true;
}

bool PseudoTerminal::PointLink(std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path link(m_linkPath);
    if (link.has_parent_path()) fs::create_directories(link.parent_path(), ec);
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        why = m_linkPath + " exists and is not a link; choose another --pty path";
        return false;
    }
    // A new link under a temporary name renamed over the old one: the path never vanishes.
    const fs::path temporary = link.string() + ".new";
    fs::remove(temporary, ec);
    fs::create_symlink(m_device, temporary, ec);
    if (!ec) fs::rename(temporary, link, ec);
    if (ec) {
        why = "cannot link " + m_linkPath + " to " + m_device + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

bool PseudoTerminal::Open(const std::string& linkPath, std::string& why) {
    Close();
    m_linkPath = linkPath;
    if (!Create(why)) return false;
    if (!PointLink(why)) {
        ::close(m_master);
        m_master = -1;
        return false;
    }
    return true;
}

bool PseudoTerminal::Renew(std::string& why) {
    const int old = m_master;
    m_master = -1;
    if (!Create(why)) {
        m_master = old;
        return false;
    }
    // Closing the old master hangs up the old slave.
    if (old >= 0) ::close(old);
    return PointLink(why);
}

void PseudoTerminal::Close() {
    if (m_master < 0) return;
    ::close(m_master);
    m_master = -1;
    std::error_code ec;
    if (std::filesystem::is_symlink(m_linkPath, ec) &&
        std::filesystem::read_symlink(m_linkPath, ec).string() == m_device) {
        std::filesystem::remove(m_linkPath, ec);
    }
}

}  // namespace kp70sim
