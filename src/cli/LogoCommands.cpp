#include <CLI/CLI.hpp>

#include "cli/Cli.h"

namespace kp70 {

void AddLogoCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace kp70
