#include "core/firmware/AreaDownload.h"

#include <algorithm>
#include <cstdio>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

using namespace firmware;

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

AreaDownload::AreaDownload(PrinterLinkFactory& links, Clock& clock)
    : m_links(links), m_clock(clock) {}

AreaDownload::~AreaDownload() {
    Close();
}

Outcome AreaDownload::CheckFile(const std::string& path, Profile* profile) {
    if (profile) SaveLastImage(*profile, firmwaretext::kFwdn20Section, {path, FileNameOf(path)});
    m_file = std::ifstream();
    m_fileChecked = false;
    if (!OpenImageFile(path, m_file)) {
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
    if (!m_fileChecked) {
        return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit,
                     Notice::Literal(firmwaretext::kFileOpenError));
    }
    m_fileChecked = false;
    const int modelCode = m_links.Settings().modelCode;
    LinkRequest request;
    request.toolMode = kToolModeFirmware;
    request.binary = true;
    m_link = m_links.MakeLink(request);
    PrinterLink& link = *m_link;
    const bool network = link.Kind() == Attachment::Ethernet;

    // A port is opened afresh before the packet is built; a network printer is connected
    // once the packet is ready.
    if (!network && !link.Open(cancel)) {
        m_file.close();
        Notice notice = Notice::Message(msg::kInitFail);
        notice.detail = link.LastErrorText();
        Close();
        return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit, notice);
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
            Close();
            return Ended(OutcomeStatus::Failed, kDownload | kFileOpen | kExit, std::move(failure));
        }
        packet = BuildAreaPacket(image.bytes.data(), image.bytes.size(), area, modelCode);
    }
    m_packetLength = static_cast<std::uint32_t>(packet.bytes.size());
    if (observer.packetBuilt) observer.packetBuilt(packet.checksum, m_packetLength);

    if (network && !link.Open(cancel)) {
        Notice notice = Notice::Message(msg::kPrinterCheck);
        notice.detail = link.LastErrorText();
        Close();
        if (cancel.Cancelled()) return Ended(OutcomeStatus::Cancelled, kExit);
        return Ended(OutcomeStatus::Failed, kExit, notice);
    }
    Outcome outcome = Transfer(link, packet, observer, cancel);
    Close();
    return outcome;
}

Outcome AreaDownload::Transfer(PrinterLink& link, const AreaPacket& packet,
                               const AreaDownloadObserver& observer, const CancelToken& cancel) {
    if (!link.IsOpen())
        return Ended(OutcomeStatus::Failed, kExit, Notice::Message(msg::kPortNotOpened));
    const bool network = link.Kind() == Attachment::Ethernet;
    const int blockSize = network ? kNetworkBlockSize : kPortBlockSize;
    const std::uint32_t length = m_packetLength;
    std::uint32_t position = 0;
    while (position < length) {
        if (cancel.Cancelled()) return Ended(OutcomeStatus::Cancelled, kExit);
        const int block = static_cast<int>(std::min<std::uint32_t>(blockSize, length - position));
        const SendResult sent = link.Send(packet.bytes.data() + position, block, cancel);
        if (!sent.Complete(block)) {
            // A short write is a failed one: the printer's flash would get a packet with a
            // hole in it.
            if (sent.fault == SendFault::Cancelled) return Ended(OutcomeStatus::Cancelled, kExit);
            const std::uint32_t taken = position + static_cast<std::uint32_t>(sent.taken);
            return TransferFailed(link, taken,
                                  TakenText(taken, length, network ? "the printer" : "the port"),
                                  sent.error ? sent.error : link.LastErrorCode());
        }
        position += static_cast<std::uint32_t>(block);
        if (observer.progress) observer.progress(position);
    }
    if (observer.sent) observer.sent(position);
    // The last blocks may still be in the system's buffers when the writes return: the
    // area counts as sent only once the printer has taken them.
    const Delivery delivery = link.WaitDelivered(cancel);
    if (delivery.fault == DeliveryFault::Cancelled) return Ended(OutcomeStatus::Cancelled, kExit);
    if (!delivery.Delivered())
        return TransferFailed(link, position, delivery.detail, link.LastErrorCode());
    // Settling: the printer writes its flash. A port is closed first; a printer on the
    // network keeps its connection until it has finished and beeps (or restarts).
    if (!network) link.Close();
    const bool settled =
        network ? Settle(kNetworkSettlingSteps, position + kNetworkBlockSize + 1,
                         kNetworkSettlingStride, observer, cancel)
                : Settle(kPortSettlingSteps, position + 1, kPortSettlingStride, observer, cancel);
    link.Close();
    if (!settled) return Ended(OutcomeStatus::Cancelled, kExit);
    Outcome outcome = Ended(OutcomeStatus::Done, kDownload | kFileOpen | kExit,
                            Notice::Message(msg::kUpdateComplete));
    outcome.count = static_cast<int>(position);
    return outcome;
}

Outcome AreaDownload::TransferFailed(PrinterLink& link, std::uint32_t position,
                                     const std::string& detail, int errorCode) {
    // A serial port that gave up on a block (the printer takes nothing: off, busy, cable
    // out) and a network printer offer DOWNLOAD again; the other ports report their error.
    const Attachment kind = link.Kind();
    Notice notice = kind == Attachment::Serial ? Notice::Message(msg::kPrinterNotReady)
                    : kind == Attachment::Ethernet
                        ? Notice::Message(msg::kCommunication)
                        : Notice::WithValue(msg::kLptWriteError, errorCode);
    notice.detail = detail;
    link.Close();
    const bool again = kind == Attachment::Serial || kind == Attachment::Ethernet;
    Outcome outcome = Ended(OutcomeStatus::Failed, again ? kDownload | kExit : kExit, notice);
    outcome.count = static_cast<int>(position);
    return outcome;
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
    if (m_link) m_link->Close();
    m_link.reset();
}

}  // namespace kp70
