#include "core/logo/UploadJob.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/BmpDecoder.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoTexts.h"
#include "core/logo/NvCommands.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

constexpr int kChunkSize = 512;
constexpr int kChunkPauseMs = 10;
constexpr int kTickMs = 10;
constexpr int kEraseWaitMs = 3500;
constexpr int kEraseWaitNetworkMs = 5000;

// A send of the whole block; false when the link did not take all of it.
bool Sent(PrinterLink& link, const std::uint8_t* data, int length, const CancelToken& cancel) {
    return link.Send(data, length, cancel).Complete(length);
}
bool Sent(PrinterLink& link, const Bytes& bytes, const CancelToken& cancel) {
    return Sent(link, bytes.data(), static_cast<int>(bytes.size()), cancel);
}

std::string UpdatingText(std::int64_t sent, std::int64_t total, const std::string& name) {
    char text[512];
    std::snprintf(text, sizeof text, logotext::kUpdatingFormat, static_cast<long>(sent),
                  static_cast<long>(total), name.c_str());
    return text;
}

std::string KBytes(std::int64_t bytes) {
    return std::to_string((bytes + 1023) / 1024);
}

}  // namespace

std::optional<Notice> CheckUpload(const LogoList& list, const LogoOptions& options,
                                  bool readFiles) {
    std::int64_t total = 0;
    std::int64_t centring = 0;
    for (const LogoEntry& entry : list.Entries()) {
        int width = entry.width;
        int height = entry.height;
        if (readFiles) {
            // The file as it is now: it may have gone or changed since it was listed.
            const BitmapProbe probe = ProbeBitmap(entry.path);
            if (!probe.ok || probe.bitsPerPixel > 32 || !HeaderFits(probe.width, probe.height)) {
                Notice notice =
                    Notice::Message(probe.ok ? msg::kBitmapNotSupported : msg::kStoredFileIncorrect,
                                    probe.ok ? MessageIcon::None : MessageIcon::Exclamation);
                const std::string why = !probe.ok ? probe.error
                                        : probe.bitsPerPixel > 32
                                            ? "more than 32 bits per pixel"
                                            : "the image is too large for an NV image";
                notice.secondLine = entry.path + ": " + why +
                                    ". Nothing was sent: put the file back or remove it from "
                                    "the list.";
                return notice;
            }
            width = probe.width;
            height = probe.height;
        }
        const std::int64_t size = EncodedSize(width, height, options.grayPrinting);
        const std::int64_t sent =
            SentSize(width, height, options.grayPrinting, entry.center, options.maxPrintableArea);
        total += sent;
        centring += sent - size;
    }
    if (total <= LogoList::kCapacityBytes) return std::nullopt;
    Notice notice = Notice::Message(msg::kAreaTooSmall);
    notice.secondLine =
        "The printer would get " + KBytes(total) + " KBytes of image data" +
        (centring > 0 ? " (" + KBytes(centring) + " of them the blank columns of centred images)"
                      : std::string()) +
        ", more than the " + std::to_string(LogoList::kCapacityKB) +
        " KBytes it holds. Nothing was sent: remove files" +
        (centring > 0 ? " or clear centring marks" : "") +
        (options.grayPrinting ? " or turn gray printing off." : ".");
    return notice;
}

UploadResult RunUpload(PrinterLink& link, Clock& clock, ErrorLog* log, LogoList& list,
                       const LogoOptions& options, Profile* profile,
                       const UploadCallbacks& callbacks, const CancelToken& cancel) {
    UploadResult result;
    const std::vector<LogoEntry>& entries = list.Entries();
    const int n = static_cast<int>(entries.size());
    result.count = n;

    UploadProgress progress;
    progress.totalBytes = list.TotalBytes();
    progress.range = progress.totalBytes / 100;
    progress.count = n;
    progress.text = logotext::kErasing;
    auto show = [&] {
        if (callbacks.progress) callbacks.progress(progress);
    };
    show();
    const std::vector<int> order = list.UploadOrder();

    if (!Sent(link, DefineNvImagesCommand(n, options.starEmulation), cancel)) {
        result.failed = true;
        result.notices.push_back(Notice::Message(msg::kCommunication, MessageIcon::Exclamation));
        if (log) log->LogLine(logotext::kLogDefineFailed, link.LastErrorCode());
        return result;
    }
    clock.SleepFor(link.Kind() == Attachment::Ethernet ? kEraseWaitNetworkMs : kEraseWaitMs);

    // One bitmap object serves every image of the upload.
    auto bitmap = std::make_unique<LogoBitmap>();
    int current = -1;
    for (int step = 1; step <= n; ++step) {
        clock.SleepFor(kTickMs);
        if (cancel.Cancelled()) {
            result.cancelled = true;
            result.waitAfterCancel =
                current >= 0 ? entries[static_cast<std::size_t>(order[current])].size : 0;
            clock.SleepFor(2 * result.waitAfterCancel);
            return result;
        }
        current += 1;
        result.imagesStarted += 1;
        const int position = order[static_cast<std::size_t>(current)];
        const LogoEntry& entry = entries[static_cast<std::size_t>(position)];

        // A file that changed since the list was checked: it is not sent as an empty image,
        // which the printer would keep in its place, but ends the upload here.
        std::string why;
        int refusal = msg::kStoredFileIncorrect;
        if (!bitmap->LoadBitmap(entry.path)) {
            why = bitmap->LastError();
        } else {
            if (options.grayPrinting) {
                ConvertGray(*bitmap, options);
            } else {
                progress.totalBytes += ConvertMono(*bitmap, options, entry.center);
            }
            if (bitmap->OutputLength() <= 0) {
                why = "the image is too large for an NV image";
            } else if (progress.bytesSent + bitmap->OutputLength() > LogoList::kCapacityBytes) {
                why =
                    "the file grew since the upload began: it no longer fits the NV graphics "
                    "memory";
                refusal = msg::kAreaTooSmall;
            }
        }
        if (!why.empty()) {
            result.failed = true;
            result.definitionOpen = true;
            Notice notice =
                Notice::Message(refusal, refusal == msg::kAreaTooSmall ? MessageIcon::None
                                                                       : MessageIcon::Exclamation);
            notice.secondLine = entry.path + ": " + why + ". The upload stopped at image " +
                                std::to_string(step) + " of " + std::to_string(n) +
                                "; the printer holds empty images from there on and the "
                                "stored list is unchanged.";
            result.notices.push_back(notice);
            if (log)
                log->LogLine(logotext::kLogImageFailed, step, (entry.path + ": " + why).c_str());
            return result;
        }
        const std::array<std::uint8_t, 4> header =
            NvImageHeader(bitmap->PaddedWidth(), bitmap->PaddedHeight(), options.grayPrinting);
        progress.step = step;
        progress.fileName = entry.name;
        progress.text = UpdatingText(progress.bytesSent, progress.totalBytes, entry.name);
        show();

        if (!Sent(link, header.data(), static_cast<int>(header.size()), cancel)) {
            result.failed = true;
            result.notices.push_back(
                Notice::Message(msg::kCommunication, MessageIcon::Exclamation));
            if (log) {
                log->LogLine(logotext::kLogHeaderFailed, 0);
                log->LogLine(logotext::kLogHeaderBytes, header[0], header[1], header[2], header[3]);
            }
            return result;
        }

        const std::uint8_t* data = bitmap->OutputBuffer();
        const int length = bitmap->OutputLength();
        for (int offset = 0; offset < length; offset += kChunkSize) {
            const int chunk = std::min(kChunkSize, length - offset);
            if (!Sent(link, data + offset, chunk, cancel)) {
                // The printer did not get the image: report it rather than claim success.
                result.failed = true;
                result.notices.push_back(
                    Notice::Message(msg::kCommunication, MessageIcon::Exclamation));
                if (log) log->LogLine(logotext::kLogDataFailed, link.LastErrorCode());
                return result;
            }
            progress.bytesSent += chunk;
            progress.position = progress.bytesSent / 100;
            progress.text = UpdatingText(progress.bytesSent, progress.totalBytes, entry.name);
            show();
            clock.SleepFor(kChunkPauseMs);
        }
        result.imagesSent += 1;
    }
    clock.SleepFor(kTickMs);

    // Every send returned, but the last images may still be in the link's buffers: a printer
    // that dropped the link or stopped taking bytes does not hold them, and the list is not
    // stored.
    const Delivery delivery = link.WaitDelivered(cancel);
    if (!delivery.Delivered()) {
        result.failed = true;
        Notice notice = Notice::Message(msg::kCommunication, MessageIcon::Exclamation);
        notice.detail = delivery.detail;
        result.notices.push_back(notice);
        if (log) log->LogLine(logotext::kLogLinkLost, delivery.detail.c_str());
        return result;
    }

    // Finished: the printer now holds image k = the k-th smallest listed number.
    if (profile) result.stored = list.StoreUploadedList(*profile, order);
    progress.position = n + 1;
    show();
    return result;
}

void FinishUpload(PrinterLink& link, Clock& clock, UploadResult& result,
                  const CancelToken& cancel) {
    if (result.failed && !result.definitionOpen) return;
    if (!result.failed && !result.cancelled) {
        result.notices.push_back(Notice::Message(msg::kUploadComplete, MessageIcon::Exclamation));
        return;
    }
    // The printer still waits for the images the define command announced.
    bool anyFailed = false;
    for (int i = 0; i <= result.count - result.imagesStarted; ++i) {
        if (!Sent(link, EmptyNvImage(), cancel)) {
            anyFailed = true;
            result.notices.push_back(Notice::Message(msg::kWriteToPort, MessageIcon::Exclamation));
        }
    }
    if (!anyFailed && !result.failed) clock.SleepFor(result.waitAfterCancel);
}

}  // namespace kp70
