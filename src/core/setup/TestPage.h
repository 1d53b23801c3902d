#pragma once

#include <cstdint>
#include <vector>

namespace kp70 {

// The fixed test page of the setup tool, one entry per write to the port: initialise, a
// title, the digits alternately in colours 2 and 1 five times, the upper half of the
// current code page, initialise again, a Korean line (only with the Korean user
// interface: the bytes are CP949, as the printer expects), three line feeds and a cut.
std::vector<std::vector<std::uint8_t>> BuildTestPage(bool korean);

}  // namespace kp70
