#include "core/firmware/Talvo10Download.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <istream>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/firmware/FirmwareImage.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

using namespace talvo10;

constexpr int kErasePauses = 6;
// Over the network, after the last packet: how long answers to the last packets may take.
constexpr int kAnswerSettleMs = 500;
constexpr std::uint8_t kDleByte = 0x10;
constexpr std::uint8_t kNakByte = 0x15;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string ErasingCaption(int step) {
    return firmwaretext::kErasingBase + std::string(static_cast<std::size_t>(4 + step), '.');
}

std::string WritingCaption(std::uint32_t position) {
    char text[32];
    std::snprintf(text, sizeof text, firmwaretext::kWritingFormat,
                  static_cast<unsigned long>(position));
    return text;
}

FlashSlice ReadFlashSlice(std::istream& file, FlashArea area, const std::string& fileName) {
    const FlashAreaInfo info = FlashAreaOf(area);
    FlashSlice slice;
    if (area == FlashArea::ExtFont) {
        std::array<char, 4> mark{};
        file.seekg(kExtFontMarkOffset);
        if (file.read(mark.data(), mark.size()) &&
            std::equal(mark.begin(), mark.end(), kNormalFontMark.begin())) {
            slice.refusal = Notice::Message(msg::kNoExtendedFont);
            return slice;
        }
        file.clear();
    }
    // The whole area is read before anything is erased: a file that ends before the area
    // does would leave the printer with an erased, half-written flash.
    slice.bytes.resize(info.end - info.start);
    file.seekg(info.start);
    file.read(reinterpret_cast<char*>(slice.bytes.data()),
              static_cast<std::streamsize>(slice.bytes.size()));
    const auto got = static_cast<std::uint32_t>(std::max<std::streamsize>(file.gcount(), 0));
    if (got < slice.bytes.size()) {
        Notice notice = Notice::Message(msg::kNoMoreFiles);
        notice.detail = fileName + " ends at " + Hex(info.start + got) + "; the area ends at " +
                        Hex(info.end) + ". Nothing was erased.";
        slice.refusal = std::move(notice);
        slice.bytes = {};
    }
    return slice;
}

Talvo10Download::Talvo10Download(FirmwareLinks links, Clock& clock)
    : m_links(std::move(links)), m_clock(clock) {}

Talvo10Download::~Talvo10Download() {
    Close();
}

Outcome Talvo10Download::Run(const std::string& path, FlashArea area, Profile* profile,
                             const Talvo10Observer& observer, const CancelToken& cancel) {
    m_kind = PortKindOf(m_links.port.Settings().portName);
    {
        std::lock_guard lock(m_mutex);
        m_replies.clear();
        m_parser = FlashReplyParser();
    }
    Outcome failure;
    if (!OpenLink(failure, cancel)) return failure;
    if (profile) SaveLastImage(*profile, firmwaretext::kFwdn15Section, {path, FileNameOf(path)});

    std::ifstream file;
    if (!OpenImageFile(path, file)) return Failure(Notice::Message(msg::kFileOpenError));
    const FlashAreaInfo info = FlashAreaOf(area);
    FlashSlice slice = ReadFlashSlice(file, area, path);
    file.close();
    if (slice.refusal) return Failure(std::move(*slice.refusal));

    FlashTransfer transfer(area, std::move(slice.bytes));
    if (observer.range) observer.range(info.start, info.end);
    if (observer.caption) observer.caption(firmwaretext::kErasing);
    if (!SendPacket(transfer.Current(), transfer.Position(), observer))
        return Failure(Notice::Message(msg::kWriteToPort));
    for (int step = 0; step < kErasePauses; ++step) {
        if (!SleepUnlessCancelled(m_clock, info.erasePauseMs, cancel)) {
            CloseLink();
            return {OutcomeStatus::Cancelled, {}, kOk | kOpen | kCancel};
        }
        if (observer.caption) observer.caption(ErasingCaption(step));
    }

    Outcome completed;
    completed.notices.push_back(Notice::Message(msg::kCompleted));
    completed.enabled = kOk | kOpen | kCancel;
    completed.closeScreen = true;

    if (!m_listening) {
        // No reply can be read here: the packets follow each other, 50 ms apart.
        while (transfer.Advance()) {
            if (cancel.Cancelled()) {
                CloseLink();
                return {OutcomeStatus::Cancelled, {}, kOk | kOpen | kCancel};
            }
            if (observer.caption) observer.caption(WritingCaption(transfer.Position()));
            if (!SendPacket(transfer.Current(), transfer.Position(), observer))
                return Failure(Notice::Message(msg::kWriteToPort));
        }
        if (m_kind == PortKind::Network) {
            if (auto refused = NetworkDeliveryFailure()) return Failure(std::move(*refused));
        }
        CloseLink();
        return completed;
    }

    int refusals = 0;
    for (;;) {
        switch (WaitReply(cancel)) {
            case Wait::Cancelled:
                CloseLink();
                return {OutcomeStatus::Cancelled, {}, kOk | kOpen | kCancel};
            case Wait::Silent: {
                Notice notice = Notice::Message(msg::kReadFail);
                notice.detail = "no answer from the printer for " +
                                std::to_string(kReplyTimeoutMs / 1000) + " s at " +
                                Hex(transfer.Position());
                return Failure(notice);
            }
            case Wait::Nak:
                if (++refusals >= kMaxRefusals) {
                    Notice notice = Notice::Message(msg::kCommunication);
                    notice.detail = "the printer refused the packet at " +
                                    Hex(transfer.Position()) + " " + std::to_string(refusals) +
                                    " times";
                    return Failure(notice);
                }
                break;
            case Wait::Ack:
                refusals = 0;
                if (transfer.Complete()) {
                    // Bytes after the last acknowledgement mean nothing: the port closes.
                    CloseLink();
                    return completed;
                }
                transfer.Advance();
                if (observer.caption) observer.caption(WritingCaption(transfer.Position()));
                break;
        }
        if (!SendPacket(transfer.Current(), transfer.Position(), observer))
            return Failure(Notice::Message(msg::kWriteToPort));
    }
}

bool Talvo10Download::OpenLink(Outcome& failure, const CancelToken& cancel) {
    failure = Outcome();
    failure.status = OutcomeStatus::Failed;
    failure.enabled = kOk | kOpen | kCancel;
    if (m_kind == PortKind::Network) {
        if (!m_links.network) {
            failure.notices.push_back(Notice::Message(msg::kPortOpenError));
            return false;
        }
        if (!ConnectNetwork(*m_links.network, m_clock, m_links.networkAddress, m_links.networkPort,
                            0, &cancel)) {
            m_links.network->CloseSocket();
            if (cancel.Cancelled()) {
                failure.status = OutcomeStatus::Cancelled;
            } else {
                failure.notices.push_back(Notice::Message(msg::kPortOpenError));
            }
            return false;
        }
        m_linkOpen = true;
        return true;
    }
    PrinterPort& port = m_links.port;
    ConnectionSettings& settings = port.Settings();
    settings.toolMode = kToolModeFirmware;
    m_flow.Apply(settings);
    // On a serial port the receive thread hands every chunk to this object.
    m_listening = m_kind == PortKind::Serial;
    if (m_listening) port.SetNotifyWindow(this);
    if (!port.Open()) {
        port.SetNotifyWindow(nullptr);
        m_listening = false;
        Notice notice = Notice::Message(msg::kInitFail);
        notice.detail = port.LastErrorText();
        failure.notices.push_back(notice);
        return false;
    }
    m_linkOpen = true;
    return true;
}

void Talvo10Download::CloseLink() {
    if (m_kind == PortKind::Network) {
        if (m_linkOpen && m_links.network) m_links.network->CloseSocket();
    } else if (m_links.port.isOpen()) {
        // Close joins the receive thread, so nothing is handed over after it.
        m_links.port.Close();
    }
    if (m_listening) m_links.port.SetNotifyWindow(nullptr);
    m_listening = false;
    m_linkOpen = false;
}

bool Talvo10Download::SendPacket(const FlashPacket& packet, std::uint32_t position,
                                 const Talvo10Observer& observer) {
    if (observer.progress) observer.progress(position);
    if (m_listening) {
        // A DLE left from before belongs to no answer to this packet. It is forgotten before
        // the write, so an answer that arrives while the write returns is not lost.
        std::lock_guard lock(m_mutex);
        m_parser.ClearDle();
    }
    bool written;
    if (m_kind == PortKind::Network) {
        written = m_links.network->Send(packet.data(), packet.length()) == packet.length();
    } else {
        written = m_links.port.Write(packet.data(), packet.length()) == packet.length();
    }
    if (!written) return false;
    if (!m_listening) m_clock.SleepFor(kPacketPauseMs);
    return true;
}

Talvo10Download::Wait Talvo10Download::WaitReply(const CancelToken& cancel) {
    const std::int64_t start = m_clock.Now();
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_replies.empty()) {
                const FlashReply reply = m_replies.front();
                m_replies.pop_front();
                return reply == FlashReply::Ack ? Wait::Ack : Wait::Nak;
            }
        }
        if (cancel.Cancelled()) return Wait::Cancelled;
        const std::int64_t waited = m_clock.Now() - start;
        if (waited >= kReplyTimeoutMs) return Wait::Silent;
        // Short looks at first, since a printer answers within a few milliseconds.
        m_clock.SleepFor(waited < 20 ? 1 : 5);
    }
}

void Talvo10Download::OnDataReceived() {
    ReceiveQueue& queue = m_links.port.QueueRead();
    std::lock_guard lock(m_mutex);
    while (!queue.IsEmpty()) {
        if (const auto reply = m_parser.Feed(queue.Get())) m_replies.push_back(*reply);
    }
}

std::optional<Notice> Talvo10Download::NetworkDeliveryFailure() {
    NetworkLink& network = *m_links.network;
    Notice notice = Notice::Message(msg::kCommunication);
    constexpr int kPollMs = 100;
    for (std::int64_t waited = 0; network.Unacknowledged() > 0; waited += kPollMs) {
        if (waited >= kReplyTimeoutMs) {
            notice.detail = "the printer did not take the last packets";
            return notice;
        }
        m_clock.SleepFor(kPollMs);
    }
    // Answers to the last packets are on their way.
    m_clock.SleepFor(kAnswerSettleMs);
    bool dle = false;
    bool refused = false;
    for (ReceiveQueue& queue = network.Queue(); !queue.IsEmpty();) {
        const std::uint8_t b = queue.Get();
        refused = refused || (dle && b == kNakByte);
        dle = b == kDleByte;
    }
    if (refused) {
        notice.detail = "the printer refused a packet (DLE NAK)";
        return notice;
    }
    if (!network.connected() || network.Send(nullptr, 0) != 0) {
        notice.detail = "the printer closed the connection before it had the last packets";
        return notice;
    }
    return std::nullopt;
}

Outcome Talvo10Download::Failure(Notice notice) {
    CloseLink();
    Outcome outcome;
    outcome.status = OutcomeStatus::Failed;
    outcome.notices.push_back(std::move(notice));
    outcome.enabled = kOk | kOpen | kCancel;
    return outcome;
}

void Talvo10Download::Close() {
    CloseLink();
    m_flow.Restore(m_links.port.Settings());
}

}  // namespace kp70
