#pragma once

// Helpers the service verbs (backup, restore, provision) share with setup set --from.

#include <string>

namespace kp70 {

class Verb;
struct SettingsPlan;

// Reads a whole file of at most maxBytes. False, with `why`.
bool ReadTextFile(const std::string& path, std::string& text, std::string& why,
                  std::size_t maxBytes = 64u * 1024 * 1024);

// The settings a plan keeps or refuses, one line each on stderr, with the reason.
void PrintPlanNotes(Verb& verb, const SettingsPlan& plan);

}  // namespace kp70
