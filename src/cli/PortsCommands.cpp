#include <CLI/CLI.hpp>

#include "cli/Cli.h"

namespace kp70 {

void AddPortsCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace kp70
