// The printer's user-setting memory, read from the wire: GS ( E function 1 "IN" enters the
// user-setting mode, function 5 writes numbered items, function 2 "OUT" stores them and
// resets the printer, function 6 asks for one setting and is answered "7" 27 number 1F
// text 00. Anything malformed is refused as a whole and logged. The memory lives in the
// state section "user-settings" with the printer's own values; the test page of the setup
// tool is recorded in "test-page".
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/Printer.h"
#include "sim/PrinterModule.h"

namespace kp70sim {

namespace {

using nlohmann::json;

constexpr const char* kSection = "user-settings";
constexpr int kResetDeafMs = 3000;  // the serial side hears nothing while the printer resets
constexpr std::size_t kMaxCommand = 1024;

// A fresh printer's memory.
json FactorySettings() {
    return json{{"nvUserKb", 64},
                {"nvGraphicKb", 384},
                {"paper", "80mm"},
                {"paperType", "black"},
                {"twoColorDensity", 85},
                {"waterMarkImage", 0},
                {"cuttingAdjustLines", -1},
                {"drawerWithCutting", false},
                {"bellType", 1},
                {"bellLength", 3},
                {"codePage", 0},
                {"fullCut", false},
                {"boldKoreanFont", false},
                {"printSpeed", 220},
                {"leftMargin", 0},
                {"drawerInSelfTest", false},
                {"receiveBufferKb", 4},
                {"stopBits", 1},
                {"setupCode", 0},
                {"emulation", "EPSON"},
                {"kitchenBell", false},
                {"autoCut", true},
                {"selfTest", "self-test"},
                {"densityLevel", 2},
                {"usbMode", "USB"},
                {"sleepMinutes", 0},
                {"paperSaveLevel", 0}};
}

const int kNvUserKb[] = {64, 128, 192, 256, 320};
const int kNvGraphicKb[] = {0, 64, 128, 192, 256, 320, 384};

class UserSettingModule : public PrinterModule {
public:
    explicit UserSettingModule(Printer& printer) : m_printer(printer) {}

    void OnBytes(const std::uint8_t* data, std::size_t size, LinkActions& link) override {
        for (std::size_t i = 0; i < size && !m_reset; ++i) {
            WatchTestPage(data[i]);
            Decode(data[i], link);
        }
    }

private:
    // ---- GS ( E framing ----
    void Decode(std::uint8_t b, LinkActions& link) {
        switch (m_state) {
            case 0:  // 1D
                m_state = b == 0x1D ? 1 : 0;
                break;
            case 1:  // (
                m_state = b == 0x28 ? 2 : b == 0x1D ? 1 : 0;
                break;
            case 2:  // E
                m_state = b == 0x45 ? 3 : b == 0x1D ? 1 : 0;
                break;
            case 3:
                m_length = b;
                m_state = 4;
                break;
            case 4:
                m_length += static_cast<std::size_t>(b) * 256;
                m_body.clear();
                if (m_length == 0 || m_length > kMaxCommand) {
                    Log("GS ( E with length " + std::to_string(m_length) + " refused");
                    m_state = 0;
                } else {
                    m_state = 5;
                }
                break;
            case 5:
                m_body.push_back(b);
                if (m_body.size() == m_length) {
                    m_state = 0;
                    Execute(link);
                }
                break;
        }
    }

    void Execute(LinkActions& link) {
        const std::uint8_t fn = m_body[0];
        const Bytes args(m_body.begin() + 1, m_body.end());
        switch (fn) {
            case 1:
                if (args != Bytes{'I', 'N'}) return Log("function 1 without \"IN\" refused");
                m_inSetupMode = true;
                m_pending = Memory();
                m_usbModeBefore = m_pending["usbMode"];
                return;
            case 2:
                if (args != Bytes{'O', 'U', 'T'}) return Log("function 2 without \"OUT\" refused");
                if (!m_inSetupMode) return Log("\"OUT\" outside user-setting mode ignored");
                return Leave(link);
            case 5:
                if (!m_inSetupMode) return Log("function 5 outside user-setting mode refused");
                return WriteItems(args);
            case 6:
                if (args.size() != 1) return Log("function 6 with a wrong length refused");
                return Answer(args[0], link);
            default:
                Log("GS ( E function " + std::to_string(fn) + " is not known");
        }
    }

    // ---- memory ----
    json Memory() {
        json memory = FactorySettings();
        const json& stored = m_printer.State(kSection);
        for (auto it = stored.begin(); it != stored.end(); ++it) memory[it.key()] = it.value();
        return memory;
    }

    void Leave(LinkActions& link) {
        m_inSetupMode = false;
        m_printer.State(kSection) = m_pending;
        m_printer.StateChanged();
        const bool usbModeChanged = m_pending["usbMode"] != m_usbModeBefore;
        std::cerr << "user-settings: stored, printer resets"
                  << (usbModeChanged
                          ? " as a " + m_pending["usbMode"].get<std::string>() + " device"
                          : std::string())
                  << "\n";
        // The printer resets: the TCP link closes, the serial side hears nothing for a
        // while. A changed USB mode makes it come back as another device.
        link.Restart(kResetDeafMs);
        if (usbModeChanged) link.CloseLink();
        m_reset = true;
    }

    // Checks every item first: a block with one bad item changes nothing.
    void WriteItems(const Bytes& items) {
        json next = m_pending;
        std::size_t i = 0;
        while (i < items.size()) {
            const std::uint8_t a = items[i];
            const std::size_t size = a == 0xFF ? 6 : 3;
            if (i + size > items.size()) return Refuse("item " + Hex(a) + " is cut short");
            const std::uint8_t p1 = items[i + 1];
            const std::uint8_t p2 = items[i + 2];
            std::string why;
            if (!ApplyItem(next, a, p1, p2, items, i, why)) return Refuse(why);
            i += size;
        }
        m_pending = next;
    }

    static std::string Hex(int a) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", a);
        return text;
    }

    void Refuse(const std::string& why) { Log("function 5 block refused: " + why); }
    static void Log(const std::string& text) { std::cerr << "user-settings: " << text << "\n"; }

    static bool Bad(std::string& why, std::uint8_t a, std::uint8_t p1, std::uint8_t p2) {
        why = "item " + Hex(a) + " " + Hex(p1) + " " + Hex(p2) + " has a value out of range";
        return false;
    }

    static bool ApplyItem(json& m, std::uint8_t a, std::uint8_t p1, std::uint8_t p2,
                          const Bytes& items, std::size_t at, std::string& why) {
        switch (a) {
            case 0x01:
                if (p1 < 1 || p1 > 5 || p2 != 0) return Bad(why, a, p1, p2);
                m["nvUserKb"] = kNvUserKb[p1 - 1];
                return true;
            case 0x02:
                if (p1 < 1 || p1 > 7 || p2 != 0) return Bad(why, a, p1, p2);
                m["nvGraphicKb"] = kNvGraphicKb[p1 - 1];
                return true;
            case 0x03:
                if ((p1 != 2 && p1 != 3 && p1 != 6) || p2 != 0) return Bad(why, a, p1, p2);
                m["paper"] = p1 == 2 ? "58mm-30" : p1 == 3 ? "58mm-32" : "80mm";
                return true;
            case 0x74:
                if (p1 != 1 || p2 > 1) return Bad(why, a, p1, p2);
                m["paperType"] = p2 == 1 ? "2color" : "black";
                return true;
            case 0x76:
                if ((p1 != 70 && p1 != 85 && p1 != 100) || p2 != 0) return Bad(why, a, p1, p2);
                m["twoColorDensity"] = p1;
                return true;
            case 0xF2:
                if (p1 != 0) return Bad(why, a, p1, p2);
                m["waterMarkImage"] = p2;  // 0: no water mark
                return true;
            case 0xF3:
                if (p1 > 1 || (p1 == 0 && p2 != 0)) return Bad(why, a, p1, p2);
                m["cuttingAdjustLines"] = p1 == 1 ? p2 : -1;  // -1: adjustment off
                return true;
            case 0xF4:
                if (p1 != 0 || p2 > 1) return Bad(why, a, p1, p2);
                m["drawerWithCutting"] = p2 == 1;
                return true;
            case 0xF5:
                if (p1 > 4 || p2 < 1 || p2 > 5) return Bad(why, a, p1, p2);
                m["bellType"] = p1;
                m["bellLength"] = p2;
                return true;
            case 0xF6:
                if (p2 != 0) return Bad(why, a, p1, p2);
                m["codePage"] = p1;
                return true;
            case 0xF7:
                if (p1 > 1 || p2 != 1) return Bad(why, a, p1, p2);
                m["fullCut"] = p1 == 1;
                return true;
            case 0xF8:
                if (p1 > 1 || p2 != 1) return Bad(why, a, p1, p2);
                m["boldKoreanFont"] = p1 == 0;
                return true;
            case 0xF9: {
                const int speed = p1 + 256 * p2;
                if (speed != 150 && speed != 180 && speed != 200 && speed != 220)
                    return Bad(why, a, p1, p2);
                m["printSpeed"] = speed;
                return true;
            }
            case 0xFA: {
                const int margin = p1 + 256 * p2;
                if (margin > 512) return Bad(why, a, p1, p2);
                m["leftMargin"] = margin;
                return true;
            }
            case 0xFB:
                if (p1 > 1 || p2 != 1) return Bad(why, a, p1, p2);
                m["drawerInSelfTest"] = p1 == 0;
                return true;
            case 0xFC: {
                const std::string digits{static_cast<char>(p1), static_cast<char>(p2)};
                if (digits != "64" && digits != "32" && digits != "20" && digits != "04")
                    return Bad(why, a, p1, p2);
                m["receiveBufferKb"] = std::stoi(digits);
                return true;
            }
            case 0xFD:
                if (p1 > 1 || p2 != 1) return Bad(why, a, p1, p2);
                m["stopBits"] = p1 == 1 ? 2 : 1;
                return true;
            case 0xFF: {
                if (items[at + 5] != 0x04) {
                    why = "item FF does not end with 04";
                    return false;
                }
                std::uint32_t code = 0;
                for (int k = 3; k >= 0; --k) code = code * 256 + items[at + 1 + k];
                m["setupCode"] = code;
                return true;
            }
            case 0xCC:
                if ((p1 != 1 && p1 != 2) || p2 != 0) return Bad(why, a, p1, p2);
                m["emulation"] = p1 == 2 ? "EPSON" : "STAR";
                return true;
            case 0xCD:
                if ((p1 != 1 && p1 != 2) || p2 != 0) return Bad(why, a, p1, p2);
                m["kitchenBell"] = p1 == 1;
                return true;
            case 0xCE:
                if ((p1 != 1 && p1 != 2) || p2 != 0) return Bad(why, a, p1, p2);
                m["autoCut"] = p1 == 1;
                return true;
            case 0xCF:
                if ((p1 != 1 && p1 != 2) || p2 != 0) return Bad(why, a, p1, p2);
                m["selfTest"] = p1 == 2 ? "self-test" : "hexadump";
                return true;
            case 0xD0:
                if (p1 < 1 || p1 > 4 || p2 != 0) return Bad(why, a, p1, p2);
                m["densityLevel"] = p1;
                return true;
            case 0xD2:
                if ((p1 != 1 && p1 != 2) || p2 != 0) return Bad(why, a, p1, p2);
                m["usbMode"] = p1 == 1 ? "USB" : "COM";
                return true;
            case 0xD4:
                if (p1 > 3 || p2 != 0) return Bad(why, a, p1, p2);
                m["sleepMinutes"] = p1 * 5;
                return true;
            case 0xD5:
                if (p1 > 2 || p2 != 0) return Bad(why, a, p1, p2);
                m["paperSaveLevel"] = p1;
                return true;
            default:
                why = "setting " + Hex(a) + " is not known";
                return false;
        }
    }

    // ---- function 6 ----

    // The value text the printer reports for a setting; empty for settings it does not
    // report back.
    std::string ValueText(int number) {
        const json m = m_inSetupMode ? m_pending : Memory();
        const auto flagged = [](int n) { return n > 0 ? "1" + std::to_string(n) : "0"; };
        switch (number) {
            case 0x01:
                for (int i = 0; i < 5; ++i)
                    if (kNvUserKb[i] == m["nvUserKb"]) return std::to_string(i + 1);
                return "1";
            case 0x02:
                for (int i = 0; i < 7; ++i)
                    if (kNvGraphicKb[i] == m["nvGraphicKb"]) return std::to_string(i + 1);
                return "7";
            case 0x03:
                return m["paper"] == "58mm-30" ? "2" : m["paper"] == "58mm-32" ? "3" : "6";
            case 0x74:
                return m["paperType"] == "2color" ? "257" : "1";
            case 0x76:
                return std::to_string(m["twoColorDensity"].get<int>());
            case 0xF2:
                return flagged(m["waterMarkImage"].get<int>());
            case 0xF3: {
                const int lines = m["cuttingAdjustLines"].get<int>();
                return lines < 0 ? "0" : "1" + std::to_string(lines);
            }
            case 0xF4:
                return m["drawerWithCutting"].get<bool>() ? "1" : "0";
            case 0xF5:
                return std::to_string(m["bellType"].get<int>()) +
                       std::to_string(m["bellLength"].get<int>());
            case 0xF6:
                return std::to_string(m["codePage"].get<int>());
            case 0xF7:
                return m["fullCut"].get<bool>() ? "1" : "0";
            case 0xF8:
                return m["boldKoreanFont"].get<bool>() ? "0" : "1";
            case 0xF9:
                return std::to_string(m["printSpeed"].get<int>());
            case 0xFA: {
                // High byte as one digit, then the low byte: 300 dots is "144".
                const int margin = m["leftMargin"].get<int>();
                return std::to_string(margin / 256) + std::to_string(margin % 256);
            }
            case 0xFB:
                return m["drawerInSelfTest"].get<bool>() ? "0" : "1";
            case 0xFC: {
                const int kb = m["receiveBufferKb"].get<int>();
                return kb == 4 ? "04" : std::to_string(kb);
            }
            case 0xFD:
                return m["stopBits"].get<int>() == 2 ? "1" : "0";
            case 0xFF:
                return std::to_string(m["setupCode"].get<std::uint32_t>());
            default:
                return "";
        }
    }

    void Answer(int number, LinkActions& link) {
        std::string text = ValueText(number);
        if (text.empty()) return Log("setting " + std::to_string(number) + " is not reported");
        if (m_printer.Faults().garbage) text = "?\x7F#";
        Bytes reply = {0x37, 0x27};
        const std::string digits = std::to_string(number);
        reply.insert(reply.end(), digits.begin(), digits.end());
        reply.push_back(0x1F);
        reply.insert(reply.end(), text.begin(), text.end());
        reply.push_back(0x00);
        link.Reply(reply);
    }

    // ---- the setup tool's test page ----
    void WatchTestPage(std::uint8_t b) {
        static const std::string kTitle = "USER SETUP UTILITY TEST PRINT!\n";
        m_recent.push_back(static_cast<char>(b));
        if (m_recent.size() > kTitle.size()) m_recent.erase(m_recent.begin());
        if (!m_onPage) {
            if (m_recent == kTitle) {
                m_onPage = true;
                m_page.assign(kTitle.begin(), kTitle.end());
            }
            return;
        }
        m_page.push_back(b);
        const std::size_t n = m_page.size();
        if (n >= 2 && m_page[n - 2] == 0x1B && m_page[n - 1] == 0x69) {  // ESC i: the cut
            m_onPage = false;
            json& record = m_printer.State("test-page");
            const int count = record.value("count", 0) + 1;
            record["count"] = count;
            // The Korean line starts with the CP949 bytes of "한글".
            const std::string korean = "\xC7\xD1\xB1\xDB";
            record["koreanLine"] =
                std::string(m_page.begin(), m_page.end()).find(korean) != std::string::npos;
            record["bytes"] = m_page.size() + 2;  // with the ESC @ before the title
            m_printer.StateChanged();
            const std::string path =
                m_printer.OutPath("test-page-" + std::to_string(count) + ".bin");
            if (!path.empty()) {
                if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
                    std::fwrite(m_page.data(), 1, m_page.size(), f);
                    std::fclose(f);
                }
            }
            m_page.clear();
        }
    }

    Printer& m_printer;
    int m_state = 0;
    std::size_t m_length = 0;
    Bytes m_body;
    bool m_inSetupMode = false;
    bool m_reset = false;
    json m_pending;
    json m_usbModeBefore;
    std::string m_recent;
    bool m_onPage = false;
    Bytes m_page;
};

}  // namespace

std::unique_ptr<PrinterModule> MakeUserSettingModule(Printer& printer) {
    return std::make_unique<UserSettingModule>(printer);
}

}  // namespace kp70sim
