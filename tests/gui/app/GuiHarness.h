#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"
#include "gui/app/ScreenServices.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"

namespace kp70::test {

// The services a screen is built with, all of them doubles: scripted message boxes, a
// virtual clock, a closed error log and a profile in a fresh directory.
struct GuiHarness {
    explicit GuiHarness(bool korean = false) { catalogue.SelectLanguage(korean); }

    QString Message(int n) const { return QString::fromStdString(catalogue.Message(n)); }

    TempDir dir;
    VirtualClock clock;
    ErrorLog log{clock};
    MessageCatalogue catalogue;
    ScriptedPrompter prompter;
    Profile profile{dir.File("kp70tool.INI")};
    ScreenServices services{prompter, catalogue, clock, log, profile};
};

// A printer port that only holds the settings and counts Close calls.
class FakePrinterPort : public PrinterPort {
  public:
    ConnectionSettings settings;
    bool open = false;
    int closes = 0;

    ConnectionSettings& Settings() override { return settings; }
    int Open() override { return (open = true), 1; }
    int Close() override {
        ++closes;
        const bool was = open;
        open = false;
        return was ? 1 : 0;
    }
    int Write(const std::uint8_t*, int length) override { return open ? length : 0; }
    int ReadUsbReply() override { return 0; }
    bool isOpen() const override { return open; }
    ReceiveQueue& QueueRead() override { return m_queue; }
    void SetNotifyWindow(ReceiveListener*) override {}
    int LastErrorCode() const override { return 0; }
    std::string LastErrorText() const override { return {}; }

  private:
    ReceiveQueue m_queue;
};

// A network link whose connection comes up after a set number of failed probes (never
// when failingProbes is negative). It records every connect and close.
class FakeNetworkLink : public NetworkLink {
  public:
    explicit FakeNetworkLink(int failingProbes = 0) : m_failingProbes(failingProbes) {}

    void SetFailingProbes(int failingProbes) {
        std::lock_guard lock(m_mutex);
        m_failingProbes = failingProbes;
    }

    bool StartConnect(const std::string& address, std::uint16_t port) override {
        std::lock_guard lock(m_mutex);
        m_connects.emplace_back(address, port);
        return true;
    }
    int Send(const std::uint8_t*, int length) override {
        std::lock_guard lock(m_mutex);
        ++m_probes;
        if (m_failingProbes < 0 || m_probes <= m_failingProbes) return -1;
        m_connected = true;
        return length;
    }
    void CloseSocket() override {
        std::lock_guard lock(m_mutex);
        ++m_closes;
        m_connected = false;
    }
    bool connected() const override { return m_connected; }
    ReceiveQueue& Queue() override { return m_queue; }
    int LastErrorCode() const override { return 0; }

    std::vector<std::pair<std::string, std::uint16_t>> Connects() const {
        std::lock_guard lock(m_mutex);
        return m_connects;
    }
    int Closes() const {
        std::lock_guard lock(m_mutex);
        return m_closes;
    }

  private:
    mutable std::mutex m_mutex;
    int m_failingProbes;
    int m_probes = 0;
    int m_closes = 0;
    std::atomic<bool> m_connected{false};
    std::vector<std::pair<std::string, std::uint16_t>> m_connects;
    ReceiveQueue m_queue;
};

}  // namespace kp70::test
