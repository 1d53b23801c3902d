#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

#include "core/app/CancelToken.h"
#include "core/transport/PrinterLink.h"
#include "support/FakeLinkRecorder.h"

namespace kp70::test {

// A PrinterLink that records every call ("Open", "Send", "RequestReplies", "WaitDelivered",
// "Close", ...) and plays a printer from a script: answers to sends, a link that fails,
// stalls, drops or refuses. With a clock (SetClock) a stall waits on it, so a test sees
// the bound in virtual time; without one a stall ends at once.
class FakePrinterLink : public PrinterLink, public FakeLinkRecorder {
public:
    // ---- script ----
    Attachment kind = Attachment::Serial;
    bool canAnswer = true;
    // The printer's answer to one send; it arrives at once, or with answersOnRequest (a USB
    // printer, the parallel controller) when RequestReplies is called.
    Responder responder;
    bool answersOnRequest = false;
    std::deque<bool> openResults;   // results of the next Open calls (true once used up)
    std::deque<bool> checkResults;  // results of the next CheckConnection calls
    bool requestRepliesResult = true;
    std::string lastErrorText;
    int lastErrorCode = 0;
    // The link takes this many bytes in all; the send that reaches the limit stops there
    // with sendFault, and every later one takes nothing.
    int takeLimit = -1;
    SendFault sendFault = SendFault::Failed;
    // With a take limit and stall, the printer just stops taking: the send waits until the
    // write time-out (TimedOut) or a cancel (Cancelled).
    bool stall = false;
    int writeTimeoutMs = 10000;
    // The printer drops the link once it has this many bytes; sends still succeed (the
    // bytes land in the system's buffers), StillUp and WaitDelivered see the link gone.
    int lostAfterBytes = -1;
    // The printer closes the link after it has taken every byte (a network printer that
    // restarts): StillUp is false afterwards, but the delivery holds.
    bool closesAfterTakingAll = false;
    // What WaitDelivered reports when the script above does not decide it.
    DeliveryFault deliveryFault = DeliveryFault::None;
    bool legacyMode = false;
    bool reportsStatus = false;

    // ---- PrinterLink ----
    Attachment Kind() const override { return kind; }
    bool Open(const CancelToken&) override {
        bool ok = true;
        {
            std::lock_guard lock(m_mutex);
            if (!openResults.empty()) {
                ok = openResults.front();
                openResults.pop_front();
            }
            m_open = ok;
        }
        Record("Open", {}, ok);
        return ok;
    }
    bool IsOpen() const override {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    bool CheckConnection(const CancelToken&) override {
        bool ok;
        {
            std::lock_guard lock(m_mutex);
            ok = m_open || kind == Attachment::Ethernet;
            if (!checkResults.empty()) {
                ok = checkResults.front();
                checkResults.pop_front();
            }
            if (kind == Attachment::Ethernet) m_open = ok;
        }
        Record("CheckConnection", {}, ok);
        return ok;
    }
    using PrinterLink::Send;
    SendResult Send(const std::uint8_t* data, int length, const CancelToken& cancel) override {
        SendResult result;
        {
            std::lock_guard lock(m_mutex);
            if (!m_open) {
                result.fault = SendFault::NotOpen;
            } else {
                result.taken = takeLimit < 0 ? length : std::clamp(takeLimit - m_taken, 0, length);
                m_taken += result.taken;
                if (result.taken < length) result.fault = stall ? SendFault::TimedOut : sendFault;
            }
        }
        if (result.fault == SendFault::TimedOut && WaitOut(cancel))
            result.fault = SendFault::Cancelled;
        // A send cut short still counts the bytes the printer got.
        Record("Send", FakeBytes(data, data + result.taken),
               result.fault == SendFault::None || result.taken > 0);
        if (result.fault == SendFault::None && responder)
            Arrive(responder(FakeBytes(data, data + length)));
        return result;
    }
    bool CanAnswer() const override { return canAnswer; }
    bool RequestReplies() override {
        FakeBytes pending;
        {
            std::lock_guard lock(m_mutex);
            pending.swap(m_pending);
        }
        Record("RequestReplies", {}, requestRepliesResult);
        Deliver(pending);
        return requestRepliesResult;
    }
    void StopReplies() override { Record("StopReplies"); }
    void TakeReplies(std::vector<std::uint8_t>& bytes) override {
        std::lock_guard lock(m_mutex);
        bytes.insert(bytes.end(), m_replies.begin(), m_replies.end());
        m_replies.clear();
    }
    bool RepliesPending() const override {
        std::lock_guard lock(m_mutex);
        return !m_replies.empty();
    }
    bool ReportsStatusItself() const override { return reportsStatus; }
    std::optional<StatusBlock> TakeStatusBlock() override {
        std::lock_guard lock(m_mutex);
        if (m_blocks.empty()) return std::nullopt;
        const StatusBlock block = m_blocks.front();
        m_blocks.pop_front();
        return block;
    }
    bool LegacyMode() const override { return legacyMode; }
    bool StillUp() override {
        std::lock_guard lock(m_mutex);
        return m_open && !LostLocked() && !closesAfterTakingAll;
    }
    Delivery WaitDelivered(const CancelToken& cancel) override {
        Delivery delivery;
        {
            std::lock_guard lock(m_mutex);
            if (!m_open) {
                delivery = {DeliveryFault::Lost, "the link is not open"};
            } else if (LostLocked()) {
                delivery = {DeliveryFault::Lost,
                            "the link went before the printer had taken "
                            "the last bytes"};
            } else if (cancel.Cancelled()) {
                delivery = {DeliveryFault::Cancelled, "cancelled"};
            } else if (deliveryFault != DeliveryFault::None) {
                delivery = {deliveryFault, "not acknowledged within 10 s"};
            }
        }
        Record("WaitDelivered", {}, delivery.Delivered());
        return delivery;
    }
    // Closing a link that is not open does nothing, as on the real links.
    void Close() override {
        bool was;
        {
            std::lock_guard lock(m_mutex);
            was = m_open;
            m_open = false;
        }
        if (was) Record("Close");
    }
    int LastErrorCode() const override { return lastErrorCode; }
    std::string LastErrorText() const override { return lastErrorText; }

    // ---- the printer's side ----
    // Bytes the printer sends now (they wait for RequestReplies with answersOnRequest).
    void Arrive(const FakeBytes& bytes) {
        if (bytes.empty()) return;
        if (answersOnRequest) {
            std::lock_guard lock(m_mutex);
            m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
            return;
        }
        Deliver(bytes);
    }
    // A status block the printer sends by itself now.
    void ArriveStatus(const StatusBlock& block) {
        std::lock_guard lock(m_mutex);
        m_blocks.push_back(block);
    }
    // Bytes the link has taken so far.
    int Taken() const {
        std::lock_guard lock(m_mutex);
        return m_taken;
    }

private:
    void Deliver(const FakeBytes& bytes) {
        std::lock_guard lock(m_mutex);
        m_replies.insert(m_replies.end(), bytes.begin(), bytes.end());
    }
    bool LostLocked() const { return lostAfterBytes >= 0 && m_taken > lostAfterBytes; }
    // A stalled send waits on the clock until its time-out; true when a cancel ended it.
    bool WaitOut(const CancelToken& cancel) {
        Clock* clock;
        {
            std::lock_guard lock(m_mutex);
            clock = m_clock;
        }
        for (int waited = 0; clock && waited < writeTimeoutMs; waited += 50) {
            if (cancel.Cancelled()) return true;
            clock->SleepFor(50);
        }
        return cancel.Cancelled();
    }

    bool m_open = false;
    int m_taken = 0;
    FakeBytes m_pending;
    FakeBytes m_replies;
    std::deque<StatusBlock> m_blocks;
};

// Hands out links to one scripted printer: every link made forwards to `link`, so its
// script and record span every connection a session makes (as the one port object does in
// the programs). The settings are the connection a screen or verb was given.
class FakeLinkFactory : public PrinterLinkFactory {
public:
    FakePrinterLink link;
    ConnectionSettings settings;
    std::vector<LinkRequest> requests;  // every MakeLink, in order

    ConnectionSettings& Settings() override { return settings; }
    std::unique_ptr<PrinterLink> MakeLink(const LinkRequest& request) override {
        requests.push_back(request);
        link.kind = AttachmentOfPort(settings.portName);
        return std::make_unique<Forwarding>(link);
    }

private:
    class Forwarding : public PrinterLink {
    public:
        explicit Forwarding(FakePrinterLink& to) : m_to(to) {}
        // As the real links do, a link closes what it opened when it goes.
        ~Forwarding() override {
            if (m_opened && m_to.IsOpen()) m_to.Close();
        }
        Attachment Kind() const override { return m_to.Kind(); }
        bool Open(const CancelToken& c) override { return m_opened = m_to.Open(c); }
        bool IsOpen() const override { return m_to.IsOpen(); }
        bool CheckConnection(const CancelToken& c) override { return m_to.CheckConnection(c); }
        using PrinterLink::Send;
        SendResult Send(const std::uint8_t* d, int n, const CancelToken& c) override {
            return m_to.Send(d, n, c);
        }
        bool CanAnswer() const override { return m_to.CanAnswer(); }
        bool RequestReplies() override { return m_to.RequestReplies(); }
        void StopReplies() override { m_to.StopReplies(); }
        void TakeReplies(std::vector<std::uint8_t>& b) override { m_to.TakeReplies(b); }
        bool RepliesPending() const override { return m_to.RepliesPending(); }
        bool ReportsStatusItself() const override { return m_to.ReportsStatusItself(); }
        std::optional<StatusBlock> TakeStatusBlock() override { return m_to.TakeStatusBlock(); }
        bool LegacyMode() const override { return m_to.LegacyMode(); }
        bool StillUp() override { return m_to.StillUp(); }
        Delivery WaitDelivered(const CancelToken& c) override { return m_to.WaitDelivered(c); }
        void Close() override {
            m_opened = false;
            m_to.Close();
        }
        int LastErrorCode() const override { return m_to.LastErrorCode(); }
        std::string LastErrorText() const override { return m_to.LastErrorText(); }

    private:
        FakePrinterLink& m_to;
        bool m_opened = false;
    };
};

}  // namespace kp70::test
