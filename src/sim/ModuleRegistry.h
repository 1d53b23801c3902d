#pragma once

#include <string>
#include <vector>

#include "sim/PrinterModule.h"

namespace kp70sim {

struct ModuleEntry {
    const char* name;
    ModuleFactory make;
};

// Every protocol module of the virtual printer, in the order received bytes reach them.
const std::vector<ModuleEntry>& RegisteredModules();

}  // namespace kp70sim
