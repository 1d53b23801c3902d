#include "core/status/PrinterStatus.h"

namespace kp70 {

namespace {

using C = StatusCondition;

struct ConditionInfo {
    const char* name;
    BilingualText text;
};

// In the order of StatusCondition.
constexpr ConditionInfo kConditions[] = {
    {"offline", {"offline", "오프라인"}},
    {"cover-open", {"cover open", "커버 열림"}},
    {"paper-end", {"paper end", "용지 없음"}},
    {"paper-near-end", {"paper near end", "용지 부족"}},
    {"paper-end-stop", {"printing stopped by paper end", "용지 없음으로 인쇄 중지"}},
    {"error", {"error occurred", "오류 발생"}},
    {"mechanical-error", {"mechanical error", "기계 오류"}},
    {"cutter-error", {"auto-cutter error", "오토 커터 오류"}},
    {"unrecoverable-error", {"unrecoverable error", "복구 불가능한 오류"}},
    {"auto-recoverable-error", {"auto-recoverable error", "자동 복구 오류"}},
    {"waiting-for-online", {"waiting for online recovery", "온라인 복귀 대기"}},
    {"feed-button", {"paper feed button pressed", "용지 공급 버튼 눌림"}},
    {"feeding-by-button", {"paper fed by the feed button", "용지 공급 버튼으로 공급 중"}},
    {"drawer-pin-high", {"drawer kick pin 3 high", "드로어 킥 핀 3 high"}},
};
static_assert(std::size(kConditions) == kStatusConditionCount);

const ConditionInfo& Info(C c) {
    return kConditions[static_cast<std::size_t>(c)];
}

// The conditions bits 2, 3, 5 and 6 of each DLE EOT answer report (bit 0 and 7 are fixed 0,
// bits 1 and 4 fixed 1). The paper sensor answer reports each sensor on a pair of bits.
constexpr C kAnswerBits[3][4] = {
    {C::DrawerPinHigh, C::Offline, C::WaitingForRecovery, C::FeedButtonPressed},
    {C::CoverOpen, C::FeedingByButton, C::PaperEndStop, C::ErrorOccurred},
    {C::MechanicalError, C::CutterError, C::UnrecoverableError, C::AutoRecoverableError},
};
constexpr int kBitOf[4] = {2, 3, 5, 6};

// A sensor reported on two bits: both clear or both set. One set alone is no reading this
// protocol defines.
bool Pair(std::uint8_t byte, std::uint8_t mask, bool& on) {
    const std::uint8_t bits = byte & mask;
    if (bits != 0 && bits != mask) return false;
    on = bits == mask;
    return true;
}

}  // namespace

const char* ConditionName(StatusCondition condition) {
    return Info(condition).name;
}

BilingualText ConditionText(StatusCondition condition) {
    return Info(condition).text;
}

std::vector<std::uint8_t> StatusRequest(int n) {
    return {0x10, 0x04, static_cast<std::uint8_t>(n)};
}

BilingualText StatusRequestName(int n) {
    switch (n) {
        case 1:
            return {"printer", "프린터"};
        case 2:
            return {"offline cause", "오프라인 원인"};
        case 3:
            return {"error cause", "오류 원인"};
        default:
            return {"paper sensor", "용지 센서"};
    }
}

std::optional<PrinterStatus> DecodeStatusAnswer(int n, std::uint8_t answer) {
    if (n < 1 || n > kStatusRequestCount || (answer & 0x93) != 0x12) return std::nullopt;
    PrinterStatus status;
    if (n == 4) {
        bool nearEnd = false;
        bool end = false;
        if (!Pair(answer, 0x0C, nearEnd) || !Pair(answer, 0x60, end)) return std::nullopt;
        status.Set(C::PaperNearEnd, nearEnd);
        status.Set(C::PaperEnd, end);
        return status;
    }
    for (int i = 0; i < 4; ++i) status.Set(kAnswerBits[n - 1][i], (answer >> kBitOf[i]) & 1);
    return status;
}

std::optional<PrinterStatus> DecodeStatusBlock(const StatusBlock& block) {
    if (!ParallelStatusFilter::IsStatusBlock(block.data())) return std::nullopt;
    PrinterStatus status;
    const std::uint8_t b0 = block[0];
    const std::uint8_t b1 = block[1];
    const std::uint8_t b2 = block[2];
    bool nearEnd = false;
    bool end = false;
    if (!Pair(b2, 0x03, nearEnd) || !Pair(b2, 0x0C, end)) return std::nullopt;
    status.Set(C::DrawerPinHigh, b0 & 0x04);
    status.Set(C::Offline, b0 & 0x08);
    status.Set(C::CoverOpen, b0 & 0x20);
    status.Set(C::FeedingByButton, b0 & 0x40);
    status.Set(C::MechanicalError, b1 & 0x04);
    status.Set(C::CutterError, b1 & 0x08);
    status.Set(C::UnrecoverableError, b1 & 0x20);
    status.Set(C::AutoRecoverableError, b1 & 0x40);
    status.Set(C::PaperNearEnd, nearEnd);
    status.Set(C::PaperEnd, end);
    return status;
}

std::string PresentConditions(const PrinterStatus& status, bool korean) {
    std::string text;
    for (std::size_t i = 0; i < kStatusConditionCount; ++i) {
        if (!status.known[i] || !status.present[i]) continue;
        if (!text.empty()) text += ", ";
        text += kConditions[i].text.In(korean);
    }
    return text.empty() ? (korean ? "없음" : "none") : text;
}

std::string StatusLine(const PrinterStatus& status, bool korean) {
    if (!status.AnyKnown()) return "";
    std::string head;
    if (status.Known(C::Offline))
        head = status.Present(C::Offline) ? Info(C::Offline).text.In(korean)
                                          : (korean ? "온라인" : "online");
    std::string problems;
    for (std::size_t i = 0; i < kStatusConditionCount; ++i) {
        const auto c = static_cast<C>(i);
        // The drawer pin reads high or low with the drawer attached; it is no problem.
        if (c == C::Offline || c == C::DrawerPinHigh) continue;
        if (!status.Known(c) || !status.Present(c)) continue;
        if (!problems.empty()) problems += ", ";
        problems += Info(c).text.In(korean);
    }
    if (!problems.empty()) return head.empty() ? problems : head + ": " + problems;
    const bool allChecked = status.Known(C::PaperEnd) && status.Known(C::PaperNearEnd) &&
                            status.Known(C::CutterError) && status.Known(C::UnrecoverableError) &&
                            status.Known(C::AutoRecoverableError);
    if (allChecked) {
        const char* rest = korean ? "오류 없음, 용지 있음" : "no error, paper present";
        return head.empty() ? rest : head + ", " + rest;
    }
    return head;
}

}  // namespace kp70
