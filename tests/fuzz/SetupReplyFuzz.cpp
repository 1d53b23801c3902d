// Feeds arbitrary received bytes to the setup reply parser and applies every reply the
// mapping accepts: value texts stay within their buffers, and a write block built from
// whatever the replies left is either refused or well formed (its length bytes match).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/setup/ReplyMapping.h"
#include "core/setup/SetupReplyParser.h"
#include "core/setup/SetupValues.h"
#include "core/setup/WriteBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kp70::SetupReplyParser parser;
    kp70::SetupValues values;
    for (std::size_t i = 0; i < size; ++i) {
        const auto reply = parser.Feed(data[i]);
        if (!reply) continue;
        if (reply->text.size() > kp70::SetupReplyParser::kMaxValueLength) std::abort();
        if (reply->number < 0 || reply->number > 255) std::abort();
        const auto mapped = kp70::MapReply(*reply);
        if (mapped && mapped->text.size() > reply->text.size()) std::abort();
        if (kp70::ApplyReply(values, *reply) != mapped.has_value()) std::abort();
    }
    const kp70::WriteBlock block = kp70::BuildWriteBlock(values);
    if (block.status == kp70::WriteBlockStatus::Ready) {
        const auto& b = block.bytes;
        if (b.size() < 15 || b.size() > 87) std::abort();
        if (b[3] + 256u * b[4] != b.size() - 5) std::abort();
    }
    return 0;
}
