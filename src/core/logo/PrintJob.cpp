#include "core/logo/PrintJob.h"

#include <cstdio>
#include <cstring>

#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoLink.h"
#include "core/logo/LogoTexts.h"

namespace kp70 {

namespace {
constexpr int kTickMs = 300;
constexpr int kEndPauseMs = 1000;
constexpr int kAllImages = 255;
}  // namespace

PrintResult RunPrint(LogoLink& link, Clock& clock, const PrintRequest& request,
                     const PrintCallbacks& callbacks) {
    PrintResult result;
    PrintProgress progress;
    progress.text = " ";
    progress.range = request.all ? kAllImages : request.count;
    if (callbacks.progress) callbacks.progress(progress);

    const int toPrint = request.all ? kAllImages : request.count;
    int current = 0;   // the last image printed
    int rangeEnd = 0;  // the last image of the current range
    std::size_t token = 0;
    for (;;) {
        clock.SleepFor(kTickMs);
        if (callbacks.cancelRequested && callbacks.cancelRequested()) {
            result.cancelled = true;
            return result;
        }
        // The next image, or 0 when nothing is left.
        int image = 0;
        if (result.printed < toPrint) {
            if (request.all) {
                image = result.printed + 1;
            } else if (current < rangeEnd) {
                image = ++current;
            } else if (token < request.tokens.size()) {
                const int t = request.tokens[token++];
                if (t > 256) {
                    image = current = rangeEnd = t - 256;
                } else {
                    rangeEnd = token < request.tokens.size() ? request.tokens[token++] : t;
                    image = current = t;
                }
            }
        }
        if (image == 0) {
            clock.SleepFor(kEndPauseMs);
            // A printer that dropped the link while the last commands sat in the system's
            // buffers did not print them.
            if (!link.StillUp(clock)) {
                result.failed = true;
                result.notices.push_back(
                    Notice::Message(msg::kCommunication, MessageIcon::Exclamation));
            }
            return result;
        }

        bool failed = false;
        if (request.header) {
            char line[32];
            std::snprintf(line, sizeof line, logotext::kHeaderLineFormat, image);
            failed = !link.Send(reinterpret_cast<const std::uint8_t*>(line),
                                static_cast<int>(std::strlen(line)));
        }
        if (!failed) {
            failed =
                link.SendFails(PrintNvImageCommand(image, request.mode, request.starEmulation));
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
