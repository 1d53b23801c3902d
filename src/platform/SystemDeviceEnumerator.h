#pragma once

#include "platform/UdevDeviceEnumerator.h"

namespace kp70 {

// The system's device enumeration: libudev on Linux (Windows: win32/platform/).
using SystemDeviceEnumerator = UdevDeviceEnumerator;

}  // namespace kp70
