#include "core/firmware/Talvo10Download.h"
#include "core/app/HexText.h"

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
#include "core/firmware/LastImage.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

using namespace talvo10;

constexpr int kErasePauses = 6;

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
        notice.detail = fileName + " ends at " + HexAddress(info.start + got) +
                        "; the area ends at " + HexAddress(info.end) + ". Nothing was erased.";
        slice.refusal = std::move(notice);
        slice.bytes = {};
    }
    return slice;
}

Talvo10Download::Talvo10Download(PrinterLinkFactory& links, Clock& clock)
    : m_links(links), m_clock(clock) {}

Talvo10Download::~Talvo10Download() {
    Close();
}

Outcome Talvo10Download::Run(const std::string& path, FlashArea area, Profile* profile,
                             const Talvo10Observer& observer, const CancelToken& cancel) {
    m_erased = false;
    m_parser = FlashReplyParser();
    m_received.clear();
    Outcome failure;
    if (!OpenLink(failure, cancel)) return failure;
    if (profile) SaveLastImage(*profile, firmwaretext::kFwdn15Section, {path, FileNameOf(path)});

    std::ifstream file;
    if (!OpenImageFile(path, file)) return Failure(Notice::Message(msg::kFileOpenError));
    const FlashAreaInfo info = FlashAreaOf(area);
    FlashSlice slice = ReadFlashSlice(file, area, path);
    file.close();
    if (slice.refusal) return Failure(std::move(*slice.refusal));

    // A serial port waits for each packet's answer; over the network the answers are read
    // after each packet's pause; elsewhere none can be read.
    const Attachment kind = m_link->Kind();
    const bool awaitsAnswers = kind == Attachment::Serial;
    const bool readsAnswers = kind == Attachment::Ethernet;

    FlashTransfer transfer(area, std::move(slice.bytes));
    if (observer.range) observer.range(info.start, info.end);
    if (observer.caption) observer.caption(firmwaretext::kErasing);
    if (!SendPacket(transfer.Current(), transfer.Position(), observer, cancel)) {
        if (cancel.Cancelled()) return Cancelled();
        return Failure(Notice::Message(msg::kWriteToPort));
    }
    m_erased = true;
    for (int step = 0; step < kErasePauses; ++step) {
        if (!SleepUnlessCancelled(m_clock, info.erasePauseMs, cancel)) return Cancelled();
        if (observer.caption) observer.caption(ErasingCaption(step));
    }

    Outcome completed;
    completed.notices.push_back(Notice::Message(msg::kCompleted));
    completed.enabled = kOk | kOpen | kCancel;
    completed.closeScreen = true;
    auto refusedTooOften = [&](int refusals) {
        Notice notice = Notice::Message(msg::kCommunication);
        notice.detail = "the printer refused the packet at " + HexAddress(transfer.Position()) +
                        " " + std::to_string(refusals) + " times";
        return Failure(notice);
    };
    auto delivered = [&]() -> std::optional<Outcome> {
        const Delivery delivery = m_link->WaitDelivered(cancel);
        if (delivery.fault == DeliveryFault::Cancelled) return Cancelled();
        if (delivery.Delivered()) return std::nullopt;
        Notice notice = Notice::Message(msg::kCommunication);
        notice.detail = delivery.detail;
        return Failure(notice);
    };

    if (!awaitsAnswers) {
        // The answers to the erase packet (and to nothing else) are not looked at: the first
        // data packet follows the erase pauses.
        TakeAnswers();
        int refusals = 0;
        bool more = transfer.Advance();
        while (more) {
            if (cancel.Cancelled()) return Cancelled();
            if (observer.caption) observer.caption(WritingCaption(transfer.Position()));
            if (!SendPacket(transfer.Current(), transfer.Position(), observer, cancel)) {
                if (cancel.Cancelled()) return Cancelled();
                return Failure(Notice::Message(msg::kWriteToPort));
            }
            bool refused = false;
            const bool last = transfer.Complete();
            if (readsAnswers) {
                // The last packet's answer may come after its bytes were acknowledged.
                if (last) {
                    if (auto ended = delivered()) return std::move(*ended);
                    if (!SleepUnlessCancelled(m_clock, kLastAnswerMs, cancel)) return Cancelled();
                }
                for (FlashReply reply : TakeAnswers())
                    refused = refused || reply == FlashReply::Nak;
            }
            if (refused) {
                if (++refusals >= kMaxRefusals) return refusedTooOften(refusals);
                continue;  // the same packet again
            }
            refusals = 0;
            more = !last && transfer.Advance();
        }
        // Over the network the last packet's delivery was judged before its answer.
        if (!readsAnswers) {
            if (auto ended = delivered()) return std::move(*ended);
        }
        Close();
        return completed;
    }

    int refusals = 0;
    for (;;) {
        switch (WaitReply(cancel)) {
            case Wait::Cancelled:
                return Cancelled();
            case Wait::Silent: {
                Notice notice = Notice::Message(msg::kReadFail);
                notice.detail = "no answer from the printer for " +
                                std::to_string(kReplyTimeoutMs / 1000) + " s at " +
                                HexAddress(transfer.Position());
                return Failure(notice);
            }
            case Wait::Nak:
                if (++refusals >= kMaxRefusals) return refusedTooOften(refusals);
                break;
            case Wait::Ack:
                refusals = 0;
                if (transfer.Complete()) {
                    // Bytes after the last acknowledgement mean nothing: the port closes.
                    if (auto ended = delivered()) return std::move(*ended);
                    Close();
                    return completed;
                }
                transfer.Advance();
                if (observer.caption) observer.caption(WritingCaption(transfer.Position()));
                break;
        }
        if (!SendPacket(transfer.Current(), transfer.Position(), observer, cancel)) {
            if (cancel.Cancelled()) return Cancelled();
            return Failure(Notice::Message(msg::kWriteToPort));
        }
    }
}

bool Talvo10Download::OpenLink(Outcome& failure, const CancelToken& cancel) {
    failure = Outcome();
    failure.status = OutcomeStatus::Failed;
    failure.enabled = kOk | kOpen | kCancel;
    LinkRequest request;
    request.toolMode = kToolModeFirmware;
    request.replies = true;
    request.binary = true;
    m_link = m_links.MakeLink(request);
    if (m_link->Open(cancel)) return true;
    const bool network = m_link->Kind() == Attachment::Ethernet;
    if (cancel.Cancelled()) {
        failure.status = OutcomeStatus::Cancelled;
    } else {
        Notice notice = Notice::Message(network ? msg::kPortOpenError : msg::kInitFail);
        notice.detail = m_link->LastErrorText();
        failure.notices.push_back(notice);
    }
    Close();
    return false;
}

bool Talvo10Download::SendPacket(const FlashPacket& packet, std::uint32_t position,
                                 const Talvo10Observer& observer, const CancelToken& cancel) {
    if (observer.progress) observer.progress(position);
    // Whatever came before belongs to an earlier packet (a late or repeated answer): the
    // packet is judged only by what comes after it. Forgotten before the write, so an answer
    // that arrives while the write returns is not lost.
    TakeAnswers();
    m_parser.ClearDle();
    if (!m_link->Send(packet.data(), packet.length(), cancel).Complete(packet.length()))
        return false;
    if (m_link->Kind() != Attachment::Serial) m_clock.SleepFor(kPacketPauseMs);
    return true;
}

std::deque<FlashReply> Talvo10Download::TakeAnswers() {
    m_received.clear();
    m_link->TakeReplies(m_received);
    std::deque<FlashReply> replies;
    for (std::uint8_t byte : m_received) {
        if (const auto reply = m_parser.Feed(byte)) replies.push_back(*reply);
    }
    return replies;
}

Talvo10Download::Wait Talvo10Download::WaitReply(const CancelToken& cancel) {
    const std::int64_t start = m_clock.Now();
    std::deque<FlashReply> replies;
    for (;;) {
        std::deque<FlashReply> more = TakeAnswers();
        replies.insert(replies.end(), more.begin(), more.end());
        // The first answer decides; a repeated one would belong to no packet.
        if (!replies.empty()) return replies.front() == FlashReply::Ack ? Wait::Ack : Wait::Nak;
        if (cancel.Cancelled()) return Wait::Cancelled;
        const std::int64_t waited = m_clock.Now() - start;
        if (waited >= kReplyTimeoutMs) return Wait::Silent;
        // Short looks at first, since a printer answers within a few milliseconds.
        m_clock.SleepFor(waited < 20 ? 1 : 5);
    }
}

Outcome Talvo10Download::Cancelled() {
    Close();
    Outcome outcome{OutcomeStatus::Cancelled, {}, kOk | kOpen | kCancel};
    if (m_erased) {
        Notice notice;
        notice.text = firmwaretext::kErasedNotWritten;
        notice.icon = MessageIcon::Exclamation;
        outcome.notices.push_back(notice);
    }
    return outcome;
}

Outcome Talvo10Download::Failure(Notice notice) {
    Close();
    Outcome outcome;
    outcome.status = OutcomeStatus::Failed;
    outcome.notices.push_back(std::move(notice));
    outcome.enabled = kOk | kOpen | kCancel;
    return outcome;
}

void Talvo10Download::Close() {
    if (m_link) m_link->Close();
}

}  // namespace kp70
