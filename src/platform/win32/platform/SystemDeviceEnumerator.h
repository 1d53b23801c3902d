#pragma once

#include "platform/SetupApiDeviceEnumerator.h"

namespace kp70 {

// The system's device enumeration: SetupAPI and the registry on Windows.
using SystemDeviceEnumerator = SetupApiDeviceEnumerator;

}  // namespace kp70
