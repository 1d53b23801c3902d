#include "core/firmware/AreaDownload.h"

#include <algorithm>
#include <cstdio>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

using namespace firmware;

// After the last block on a port: time for the line to carry the bytes still in the
// system's buffers before the link is checked.
constexpr int kDeliveryWaitMs = 500;

Outcome Ended(OutcomeStatus status, ActionSet enabled, std::optional<Notice> notice = {}) {
    Outcome outcome;
    outcome.status = status;
    outcome.enabled = enabled;
    if (notice) outcome.notices.push_back(std::move(*notice));
    return outcome;
}

}  // namespace

int ProgressPercent(std::uint32_t position, std::uint32_t packetLength) {
    const std::uint32_t range = packetLength + kProgressTail;
    return static_cast<int>(std::min(position, range) * 100ull / range);
}

std::string ProgressCaption(std::uint32_t position, std::uint32_t packetLength) {
    char percent[32];
    std::snprintf(percent, sizeof percent, firmwaretext::kPercentFormat,
                  ProgressPercent(position, packetLength));
    return std::string(texts::kFirmwareTitle) + percent;
}

AreaDownload::AreaDownload(FirmwareLinks links, Clock& clock)
    : m_links(std::move(links)), m_clock(clock) {}

AreaDownload::~AreaDownload() {
    Close();
}

Outcome AreaDownload::CheckFile(const std::string& path, Profile* profile) {
    if (profile) SaveLastImage(*profile, firmwaretext::kFwdn20Section, {path, FileNameOf(path)});
    m_file = std::ifstream();
    m_fileChecked = false;
    if (!OpenImageFile(path, m_file)) {
        if (m_links.port.isOpen()) m_links.port.Close();
        return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit,
                     Notice::Literal(firmwaretext::kFileOpenError));
    }
    if (auto wrongSize = CheckImageSize(FileSizeOf(m_file))) {
        m_file.close();
        return Ended(OutcomeStatus::Refused, kFileOpen | kExit, std::move(wrongSize));
    }
    m_fileChecked = true;
    return Ended(OutcomeStatus::Done, kFileOpen | kExit);
}

Outcome AreaDownload::Send(FirmwareArea area, const AreaDownloadObserver& observer,
                           const CancelToken& cancel) {
    PrinterPort& port = m_links.port;
    const ConnectionSettings& settings = port.Settings();
    // The kind is taken before the port is opened: a file port puts its file's path in the
    // port name.
    const PortKind kind = PortKindOf(settings.portName);
    const bool network = kind == PortKind::Network;
    const int modelCode = settings.modelCode;
    if (!m_fileChecked) {
        return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit,
                     Notice::Literal(firmwaretext::kFileOpenError));
    }
    m_fileChecked = false;

    if (!network) {
        m_flow.Apply(port.Settings());
        port.Close();
        if (!port.Open()) {
            m_file.close();
            Notice notice = Notice::Message(msg::kInitFail);
            notice.detail = port.LastErrorText();
            return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit, notice);
        }
    }

    // The image is read into one buffer, checked, cut into the packet and let go before
    // the transfer starts: only the packet stays in memory while it is sent.
    AreaPacket packet;
    {
        LoadedImage image = LoadFirmwareImage(m_file);
        m_file.close();
        std::optional<Notice> failure = std::move(image.failure);
        if (!failure) failure = CheckSignature(image.bytes.data(), image.bytes.size());
        if (failure) {
            if (port.isOpen()) port.Close();
            return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit, std::move(failure));
        }
        packet = BuildAreaPacket(image.bytes.data(), image.bytes.size(), area, modelCode);
    }
    m_packetLength = static_cast<std::uint32_t>(packet.bytes.size());
    if (observer.packetBuilt) observer.packetBuilt(packet.checksum, m_packetLength);

    return network ? SendOverNetwork(packet, observer, cancel)
                   : SendOverPort(packet, kind, observer, cancel);
}

Outcome AreaDownload::SendOverPort(const AreaPacket& packet, PortKind kind,
                                   const AreaDownloadObserver& observer,
                                   const CancelToken& cancel) {
    PrinterPort& port = m_links.port;
    if (!port.isOpen())
        return Ended(OutcomeStatus::Failed, kExit, Notice::Message(msg::kPortNotOpened));
    const std::uint32_t length = m_packetLength;
    std::uint32_t position = 0;
    while (position < length) {
        if (cancel.Cancelled()) {
            port.Close();
            return Ended(OutcomeStatus::Cancelled, kExit);
        }
        const int block =
            static_cast<int>(std::min<std::uint32_t>(kPortBlockSize, length - position));
        const int written = port.Write(packet.bytes.data() + position, block);
        if (written != block) {
            // A short write is a failed one: the printer's flash would get a packet with a
            // hole in it. A serial port gives up on a block after its write time-out (the
            // printer takes nothing: off, busy, cable out); the others report the error.
            Notice notice = kind == PortKind::Serial
                                ? Notice::Message(msg::kPrinterNotReady)
                                : Notice::WithValue(msg::kLptWriteError, port.LastErrorCode());
            notice.detail = "the port took " + std::to_string(position + std::max(written, 0)) +
                            " of " + std::to_string(length) + " bytes";
            port.Close();
            const ActionSet enabled = kind == PortKind::Serial ? kDownload | kExit : kExit;
            Outcome outcome = Ended(OutcomeStatus::Failed, enabled, notice);
            outcome.count = static_cast<int>(position);
            return outcome;
        }
        position += static_cast<std::uint32_t>(block);
        if (observer.progress) observer.progress(position);
    }
    if (observer.sent) observer.sent(position);
    // The last blocks may still have been in the system's buffers when the writes returned;
    // a line that went away meanwhile (a vanished adapter, a hung-up terminal) did not carry
    // them, whatever the writes said.
    if (kind != PortKind::File) {
        m_clock.SleepFor(kDeliveryWaitMs);
        if (!port.LinkUp()) {
            Notice notice = kind == PortKind::Serial
                                ? Notice::Message(msg::kPrinterNotReady)
                                : Notice::WithValue(msg::kLptWriteError, port.LastErrorCode());
            notice.detail = "the link went before the printer had taken the last bytes";
            port.Close();
            const ActionSet enabled = kind == PortKind::Serial ? kDownload | kExit : kExit;
            Outcome outcome = Ended(OutcomeStatus::Failed, enabled, notice);
            outcome.count = static_cast<int>(position);
            return outcome;
        }
    }
    port.Close();
    if (!Settle(kPortSettlingSteps, position + 1, kPortSettlingStride, observer, cancel))
        return Ended(OutcomeStatus::Cancelled, kExit);
    Outcome outcome = Ended(OutcomeStatus::Done, kDownload | kFileOpen | kExit,
                            Notice::Message(msg::kUpdateComplete));
    outcome.count = static_cast<int>(position);
    return outcome;
}

Outcome AreaDownload::SendOverNetwork(const AreaPacket& packet,
                                      const AreaDownloadObserver& observer,
                                      const CancelToken& cancel) {
    if (!m_links.network) {
        return Ended(OutcomeStatus::Failed, kExit, Notice::Message(msg::kPrinterCheck));
    }
    NetworkLink& network = *m_links.network;
    m_networkUsed = true;
    if (!ConnectNetwork(network, m_clock, m_links.networkAddress, m_links.networkPort, 0,
                        &cancel)) {
        network.CloseSocket();
        if (cancel.Cancelled()) return Ended(OutcomeStatus::Cancelled, kExit);
        return Ended(OutcomeStatus::Failed, kExit, Notice::Message(msg::kPrinterCheck));
    }
    const std::uint32_t length = m_packetLength;
    std::uint32_t position = 0;
    while (position < length) {
        const int block =
            static_cast<int>(std::min<std::uint32_t>(kNetworkBlockSize, length - position));
        if (!SendNetworkBlock(packet.bytes.data() + position, block, cancel)) {
            network.CloseSocket();
            if (cancel.Cancelled()) return Ended(OutcomeStatus::Cancelled, kExit);
            Notice notice = Notice::Message(msg::kCommunication);
            notice.detail = "the printer took " + std::to_string(position) + " of " +
                            std::to_string(length) + " bytes";
            Outcome outcome = Ended(OutcomeStatus::Failed, kDownload | kExit, notice);
            outcome.count = static_cast<int>(position);
            return outcome;
        }
        position += static_cast<std::uint32_t>(block);
        if (observer.progress) observer.progress(position);
    }
    if (observer.sent) observer.sent(position);
    const bool settled = Settle(kNetworkSettlingSteps, position + kNetworkBlockSize + 1,
                                kNetworkSettlingStride, observer, cancel);
    // The last blocks may still have been in the sockets' buffers when the sends returned.
    // A printer that dropped the connection before taking them (the socket has seen it close
    // or reset by now) did not get the whole area, whatever the sends said. A printer busy
    // writing its flash keeps the connection until it has finished and beeps.
    const bool stillConnected = network.connected() && network.Send(nullptr, 0) == 0;
    network.CloseSocket();
    if (!settled) return Ended(OutcomeStatus::Cancelled, kExit);
    if (!stillConnected) {
        Notice notice = Notice::Message(msg::kCommunication);
        notice.detail = "the printer closed the connection before the transfer had settled";
        return Ended(OutcomeStatus::Failed, kDownload | kExit, notice);
    }
    Outcome outcome = Ended(OutcomeStatus::Done, kDownload | kFileOpen | kExit,
                            Notice::Message(msg::kUpdateComplete));
    outcome.count = static_cast<int>(position);
    return outcome;
}

bool AreaDownload::SendNetworkBlock(const std::uint8_t* data, int length,
                                    const CancelToken& cancel) {
    NetworkLink& network = *m_links.network;
    int offset = 0;
    std::int64_t refusedSince = -1;
    while (offset < length) {
        if (cancel.Cancelled()) return false;
        const int sent = network.Send(data + offset, length - offset);
        if (sent > 0) {
            offset += sent;
            refusedSince = -1;
            continue;
        }
        const std::int64_t now = m_clock.Now();
        if (refusedSince < 0) refusedSince = now;
        if (now - refusedSince >= kNetworkRefusalMs) return false;
        m_clock.SleepFor(kNetworkRetryMs);
    }
    return true;
}

bool AreaDownload::Settle(int steps, std::uint32_t firstPosition, std::uint32_t stride,
                          const AreaDownloadObserver& observer, const CancelToken& cancel) {
    const std::int64_t stepMs = m_packetLength / kSettlingDivisor;
    for (int k = 0; k < steps; ++k) {
        // One wait per step (at most 204 ms), the cancel looked at between steps.
        if (!SleepUnlessCancelled(m_clock, stepMs, cancel, std::max<std::int64_t>(stepMs, 1)))
            return false;
        if (observer.progress)
            observer.progress(firstPosition + stride * static_cast<std::uint32_t>(k));
    }
    return true;
}

void AreaDownload::Close() {
    m_file.close();
    m_fileChecked = false;
    if (m_links.port.isOpen()) m_links.port.Close();
    if (m_networkUsed && m_links.network) m_links.network->CloseSocket();
    m_networkUsed = false;
    m_flow.Restore(m_links.port.Settings());
}

}  // namespace kp70
