#pragma once

#include <string>

namespace kp70 {

// The 63 numbered messages the program shows, in English and Korean (UTF-8). One
// selection, made when the connection screen initialises, decides the language.
class MessageCatalogue {
public:
    static constexpr int kCount = 63;

    // Korean when `korean` is true, English otherwise.
    void SelectLanguage(bool korean) { m_korean = korean; }
    bool IsKorean() const { return m_korean; }

    // The text of entry n in the selected language; "" for a number outside 0..62.
    std::string Message(int n) const;
    // Entry n with its one printf placeholder filled (entries 19, 33, 50: %d; 51: %s).
    std::string Format(int n, int value) const;
    std::string Format(int n, const std::string& value) const;

    static std::string English(int n);
    static std::string Korean(int n);

private:
    bool m_korean = false;
};

// Window titles and fixed texts that are the same in both languages.
namespace texts {
inline constexpr const char* kConnectionTitle = "KP 70 Tool Ver 1.01";
inline constexpr const char* kCaption = "KP70 Tool";
inline constexpr const char* kLogoTitle = "KP 70 Tool : Image Logo Setup";
inline constexpr const char* kSetupTitle = "KP 70 Tool : User Setup";
inline constexpr const char* kFirmwareTitle = "KP 70 Tool : Firmware Download";
inline constexpr const char* kFirmware15Title = "KP 70 Tool : irmware Download";
inline constexpr const char* kUsbSummary = "KP 70\r\nUSB-II Interface";
inline constexpr const char* kSearchingTitle = "Searching for the printer";
}  // namespace texts

}  // namespace kp70
