#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/PrinterModule.h"
#include "sim/SimOptions.h"

namespace kp70sim {

// The virtual printer shared by all its links: its options and faults, and its memory, a
// JSON object with one section per module ("settings", "nv", ...) kept in the state file.
class Printer {
public:
    explicit Printer(SimOptions options);

    const SimOptions& Options() const { return m_options; }
    int ModelCode() const { return m_options.modelCode; }
    const FaultSet& Faults() const { return m_options.faults; }

    // A delay of the printer's own, given in the printer's milliseconds, as it passes here:
    // shortened by --time-scale. Negative delays are none.
    std::chrono::microseconds Delay(int ms) const;

    // Reads the state file when there is one. False, with `why`, when it exists but is not
    // a JSON object; a missing file is an empty memory.
    bool LoadState(std::string& why);

    // The section `name` of the memory (an empty object at first). A module that changes it
    // calls StateChanged so the file is written.
    nlohmann::json& State(const std::string& name);
    void StateChanged() { m_stateChanged = true; }
    // Writes the state file (through a temporary file and a rename, so it is never half
    // written) when something changed. False, with `why`, when it cannot be written.
    bool SaveStateIfChanged(std::string& why);

    // The status conditions the printer reports (DLE EOT answers, parallel status blocks).
    const StatusState& Status() const { return m_status; }
    void SetStatus(const StatusState& status) { m_status = status; }

    // A path in the output folder for a module's files ("" when there is no --out).
    std::string OutPath(const std::string& fileName) const;

    // One instance of every registered module, in registration order, for a new link.
    std::vector<std::unique_ptr<PrinterModule>> MakeModules();

private:
    SimOptions m_options;
    nlohmann::json m_state = nlohmann::json::object();
    bool m_stateChanged = false;
    StatusState m_status;
};

// A link's modules: bytes go to each in order, except while one holds the link.
class PrinterSession {
public:
    explicit PrinterSession(Printer& printer) : m_modules(printer.MakeModules()) {}
    void Feed(const std::uint8_t* data, std::size_t size, LinkActions& link) {
        while (size > 0) {
            if (m_holder) {
                const std::size_t used = std::min(m_holder->Held(data, size, link), size);
                data += used;
                size -= used;
                if (used == 0 && m_holder->Holding()) {
                    // A holder that takes nothing gives the link up: the bytes go to all.
                    m_holder = nullptr;
                    for (auto& module : m_modules) module->OnBytes(data, size, link);
                    return;
                }
                if (!m_holder->Holding()) m_holder = nullptr;
                continue;
            }
            std::size_t shared = size;
            PrinterModule* next = nullptr;
            for (auto& module : m_modules) {
                const std::size_t at = module->TakeOverAt(data, shared);
                if (at < shared) {
                    shared = at;
                    next = module.get();
                }
            }
            if (shared > 0) {
                for (auto& module : m_modules) module->OnBytes(data, shared, link);
            }
            data += shared;
            size -= shared;
            m_holder = next;
        }
    }

private:
    std::vector<std::unique_ptr<PrinterModule>> m_modules;
    PrinterModule* m_holder = nullptr;  // the module that holds the link, if any
};

}  // namespace kp70sim
