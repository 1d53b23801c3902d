// A stand-in WiFi set-up component for the tests: it records each call with the window it
// was given, and the tests read the record back through kp70_wifi_test_calls.
#include <cstdint>
#include <string>

namespace {
std::string& Calls() {
    static std::string calls;
    return calls;
}
}  // namespace

extern "C" {

__attribute__((visibility("default"))) void kp70_wifi_infrastructure(std::uintptr_t parentWindow) {
    Calls() += "infrastructure " + std::to_string(parentWindow) + ";";
}

__attribute__((visibility("default"))) void kp70_wifi_limited_ap(std::uintptr_t parentWindow) {
    Calls() += "limited-ap " + std::to_string(parentWindow) + ";";
}

__attribute__((visibility("default"))) const char* kp70_wifi_test_calls() {
    return Calls().c_str();
}
}
