#pragma once

#include <cstdint>
#include <vector>

namespace kp70::setup {

using Bytes = std::vector<std::uint8_t>;

// GS ( E function 1 "IN": the printer enters its user-setting mode.
Bytes EnterUserSetting();
// GS ( E function 2 "OUT": the printer leaves user-setting mode and resets itself.
Bytes LeaveUserSetting();
// GS ( E function 6: ask for one setting; the printer answers "7" 27 number 1F value 00.
Bytes ReadOneSetting(int number);
// GS a 0: no automatic status back (parallel port, where status blocks share the line).
Bytes StatusBackOff();
// Five zero bytes sent on the parallel port after a read has completed.
Bytes ReadTrailer();

}  // namespace kp70::setup
