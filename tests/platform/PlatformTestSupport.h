#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/transport/Notifier.h"

namespace kp70::test {

// A pseudo-terminal standing in for a device: the code under test opens SlavePath(), the
// test plays the printer on the master side. The slave starts in raw mode.
class PtyPair {
public:
    PtyPair() {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
        m_path = name;
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        CloseMaster();
        if (m_slave >= 0) ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return m_master >= 0 && !m_path.empty(); }
    const std::string& SlavePath() const { return m_path; }
    int Master() const { return m_master; }
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

    // The slave's line settings, as the code under test left them.
    termios SlaveTermios() const {
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        return tio;
    }
    void SetSlaveTermios(const termios& tio) { ::tcsetattr(m_slave, TCSANOW, &tio); }
    // Bytes the printer side sent that wait on the device side, not yet read.
    int SlaveWaiting() const {
        int waiting = 0;
        ::ioctl(m_slave, FIONREAD, &waiting);
        return waiting;
    }

    void Send(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // Everything the device side received within the given real time (a hang guard, not a
    // timing assertion: it returns as soon as `expected` bytes are there).
    std::vector<std::uint8_t> Receive(std::size_t expected, int guardMs = 5000) {
        std::vector<std::uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
        while (got.size() < expected && std::chrono::steady_clock::now() < end) {
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
            } else {
                pollfd p{m_master, POLLIN, 0};
                ::poll(&p, 1, 20);
            }
        }
        return got;
    }

    // Whatever is waiting on the master side now.
    std::vector<std::uint8_t> Drain() {
        std::vector<std::uint8_t> got;
        std::uint8_t buffer[4096];
        ssize_t n;
        while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
            got.insert(got.end(), buffer, buffer + n);
        return got;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Polls cond in real time until it holds or the guard runs out: guards against a hang in
// a test that waits for another thread; never used to assert on durations.
inline bool WaitUntil(const std::function<bool()>& cond, int guardMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Records every message and text the transport shows.
class RecordingNotifier : public Notifier {
public:
    void ShowMessage(int n, const std::string& suffix) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({n, suffix});
    }
    void ShowText(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }
    std::vector<std::pair<int, std::string>> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    int Count(int n) const {
        std::lock_guard lock(m_mutex);
        int count = 0;
        for (const auto& m : m_messages) count += m.first == n;
        return count;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, std::string>> m_messages;
    std::vector<std::string> m_texts;
};

}  // namespace kp70::test
