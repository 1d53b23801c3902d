#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/transport/ParallelStatusFilter.h"

namespace kp70 {

// What a printer can say about itself in its status bytes. Each condition is either known
// (some answer covered it) or not; a condition no answer covered is never assumed.
enum class StatusCondition {
    Offline,
    CoverOpen,
    PaperEnd,
    PaperNearEnd,
    PaperEndStop,        // printing stopped because the paper ran out
    ErrorOccurred,       // the offline cause: some error
    MechanicalError,     // recoverable
    CutterError,         // recoverable (auto-cutter)
    UnrecoverableError,  //
    AutoRecoverableError,
    WaitingForRecovery,  // waiting to go back on line
    FeedButtonPressed,
    FeedingByButton,  // paper being fed with the feed button
    DrawerPinHigh,    // drawer kick-out connector pin 3 is high
    Count
};
inline constexpr std::size_t kStatusConditionCount =
    static_cast<std::size_t>(StatusCondition::Count);

// The name a condition has in JSON and the words it has on screen.
const char* ConditionName(StatusCondition condition);
BilingualText ConditionText(StatusCondition condition);

struct PrinterStatus {
    std::bitset<kStatusConditionCount> known;
    std::bitset<kStatusConditionCount> present;

    bool Known(StatusCondition c) const { return known[static_cast<std::size_t>(c)]; }
    bool Present(StatusCondition c) const { return present[static_cast<std::size_t>(c)]; }
    bool AnyKnown() const { return known.any(); }
    void Set(StatusCondition c, bool on) {
        known[static_cast<std::size_t>(c)] = true;
        present[static_cast<std::size_t>(c)] = on;
    }
    void Merge(const PrinterStatus& other) {
        present = (present & ~other.known) | (other.present & other.known);
        known |= other.known;
    }
    bool operator==(const PrinterStatus&) const = default;
};

// The real-time status requests DLE EOT n: 1 printer status, 2 offline cause, 3 error
// cause, 4 paper roll sensor.
inline constexpr int kStatusRequestCount = 4;
std::vector<std::uint8_t> StatusRequest(int n);
// "printer", "offline cause", "error cause", "paper sensor" (n = 1..4).
BilingualText StatusRequestName(int n);

// Decodes the answer byte to DLE EOT n. Every answer has bit 1 and bit 4 set and bits 0 and
// 7 clear; a byte whose fixed bits are otherwise is not a status answer (nullopt), since a
// stray byte read as a status would show conditions the printer never reported.
std::optional<PrinterStatus> DecodeStatusAnswer(int n, std::uint8_t answer);

// Decodes a parallel port's automatic status block (see ParallelStatusFilter): printer
// state, error causes and paper sensors in one. nullopt when it is no status block.
std::optional<PrinterStatus> DecodeStatusBlock(const StatusBlock& block);

// One line for a person: "online", "offline: cover open, paper end", "online: paper near
// end"; with every error cause and the paper known and none present, "online, no error,
// paper present". Empty when nothing is known.
std::string StatusLine(const PrinterStatus& status, bool korean);
// The conditions of the status that are present and known, in the order of StatusCondition,
// as on-screen words, joined by ", "; "none" when none is.
std::string PresentConditions(const PrinterStatus& status, bool korean);

}  // namespace kp70
