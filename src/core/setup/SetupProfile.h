#pragma once

#include <string>
#include <vector>

namespace kp70 {

class Profile;

// The receive-buffer list of the setup screen from the profile's "USER" section: keys
// R_BUF_SZ0, R_BUF_SZ1, ... up to the first missing or empty one. When the profile has
// none, the built-in list ("64", "32", "20", and "4" unless the interface is Korean) is
// used and the four keys are written.
std::vector<std::string> LoadReceiveBufferList(Profile& profile, bool korean);
// The same list without writing anything (for help texts).
std::vector<std::string> ReadReceiveBufferList(const Profile& profile, bool korean);

// Writes the code page keys of the "USER" section (done each time the setup screen opens;
// nothing reads them back).
void WriteCodePageKeys(Profile& profile);

}  // namespace kp70
