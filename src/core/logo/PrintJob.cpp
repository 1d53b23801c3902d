#include "core/logo/PrintJob.h"

#include <cstdio>
#include <cstring>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoTexts.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {
constexpr int kTickMs = 300;
constexpr int kEndPauseMs = 1000;
constexpr int kAllImages = 255;
}  // namespace

PrintResult RunPrint(PrinterLink& link, Clock& clock, const PrintRequest& request,
                     const PrintCallbacks& callbacks, const CancelToken& cancel) {
    PrintResult result;
    PrintProgress progress;
    progress.text = " ";
    const int toPrint = request.all ? kAllImages : static_cast<int>(request.images.size());
    progress.range = toPrint;
    if (callbacks.progress) callbacks.progress(progress);

    for (;;) {
        clock.SleepFor(kTickMs);
        if (cancel.Cancelled()) {
            result.cancelled = true;
            return result;
        }
        // The next image, or 0 when nothing is left.
        int image = 0;
        if (result.printed < toPrint) {
            image = request.all ? result.printed + 1
                                : request.images[static_cast<std::size_t>(result.printed)];
        }
        if (image == 0) {
            clock.SleepFor(kEndPauseMs);
            // A printer that dropped the link (or stopped taking bytes) while the last
            // commands sat in the system's buffers did not print them.
            const Delivery delivery = link.WaitDelivered(cancel);
            if (!delivery.Delivered()) {
                result.failed = true;
                Notice notice = Notice::Message(msg::kCommunication, MessageIcon::Exclamation);
                notice.detail = delivery.detail;
                result.notices.push_back(notice);
            }
            return result;
        }

        bool failed = false;
        if (request.header) {
            char line[32];
            std::snprintf(line, sizeof line, logotext::kHeaderLineFormat, image);
            const int length = static_cast<int>(std::strlen(line));
            failed = !link.Send(reinterpret_cast<const std::uint8_t*>(line), length, cancel)
                          .Complete(length);
        }
        if (!failed) {
            const auto command = PrintNvImageCommand(image, request.mode, request.starEmulation);
            failed = !link.Send(command, cancel).Complete(static_cast<int>(command.size()));
        }
        if (failed) {
            result.failed = true;
            result.notices.push_back(
                Notice::Message(msg::kCommunication, MessageIcon::Exclamation));
            return result;
        }
        result.printed += 1;
        progress.printed = result.printed;
        char text[64];
        std::snprintf(text, sizeof text, logotext::kPrintingFormat, result.printed);
        progress.text = text;
        if (callbacks.progress) callbacks.progress(progress);
    }
}

}  // namespace kp70
