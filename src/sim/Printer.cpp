#include "sim/Printer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/ModuleRegistry.h"

namespace kp70sim {

Printer::Printer(SimOptions options) : m_options(std::move(options)), m_status(m_options.status) {}

std::chrono::microseconds Printer::Delay(int ms) const {
    if (ms <= 0) return std::chrono::microseconds(0);
    return std::chrono::microseconds(std::llround(ms * 1000.0 * m_options.timeScale));
}

bool Printer::LoadState(std::string& why) {
    if (m_options.stateFile.empty()) return true;
    std::ifstream in(m_options.stateFile);
    if (!in) return true;  // no memory yet
    nlohmann::json state = nlohmann::json::parse(in, nullptr, false);
    if (state.is_discarded() || !state.is_object()) {
        why = "the state file " + m_options.stateFile +
              " is not a JSON object; move it away or fix it";
        return false;
    }
    m_state = std::move(state);
    return true;
}

nlohmann::json& Printer::State(const std::string& name) {
    nlohmann::json& section = m_state[name];
    if (section.is_null()) section = nlohmann::json::object();
    return section;
}

bool Printer::SaveStateIfChanged(std::string& why) {
    if (!m_stateChanged || m_options.stateFile.empty()) return true;
    const std::string temporary = m_options.stateFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << m_state.dump(2) << "\n";
        out.flush();
        if (!out) {
            why = "cannot write the state file " + temporary;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, m_options.stateFile, ec);
    if (ec) {
        why = "cannot replace the state file " + m_options.stateFile + ": " + ec.message();
        return false;
    }
    m_stateChanged = false;
    return true;
}

std::string Printer::OutPath(const std::string& fileName) const {
    if (m_options.outDir.empty()) return "";
    return (std::filesystem::path(m_options.outDir) / fileName).string();
}

std::vector<std::unique_ptr<PrinterModule>> Printer::MakeModules() {
    std::vector<std::unique_ptr<PrinterModule>> modules;
    for (const auto& entry : RegisteredModules()) modules.push_back(entry.make(*this));
    return modules;
}

}  // namespace kp70sim
