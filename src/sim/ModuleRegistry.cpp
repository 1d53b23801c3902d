#include "sim/ModuleRegistry.h"

// One line per module: KP70SIM_MODULE(name, factory), where factory is the module file's
// `std::unique_ptr<PrinterModule> factory(Printer&)`. Received bytes reach the modules in
// this order.
#define KP70SIM_MODULES(KP70SIM_MODULE)                       \
    KP70SIM_MODULE("scripted-reply", MakeScriptedReplyModule) \
    KP70SIM_MODULE("user-settings", MakeUserSettingModule)    \
    KP70SIM_MODULE("nv-graphics", MakeNvGraphicsModule)       \
    KP70SIM_MODULE("flash", MakeFlashModule)                  \
    KP70SIM_MODULE("status", MakeStatusModule)

namespace kp70sim {

#define KP70SIM_DECLARE(name, factory) std::unique_ptr<PrinterModule> factory(Printer& printer);
KP70SIM_MODULES(KP70SIM_DECLARE)
#undef KP70SIM_DECLARE

const std::vector<ModuleEntry>& RegisteredModules() {
#define KP70SIM_ENTRY(name, factory) ModuleEntry{name, &factory},
    static const std::vector<ModuleEntry> modules = {KP70SIM_MODULES(KP70SIM_ENTRY)};
#undef KP70SIM_ENTRY
    return modules;
}

}  // namespace kp70sim
