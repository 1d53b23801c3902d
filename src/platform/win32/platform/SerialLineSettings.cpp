#include "platform/SerialLineSettings.h"

#include <algorithm>
#include <iterator>

namespace kp70 {

namespace {

// The speeds the Linux side offers too, so both refuse the same.
constexpr int kSpeeds[] = {1200,  2400,   4800,   9600,   19200, 38400,
                           57600, 115200, 230400, 460800, 921600};

}  // namespace

std::string ApplyLineSettings(const ConnectionSettings& s, DCB& dcb) {
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), s.baudRate) == std::end(kSpeeds))
        return "unsupported speed " + std::to_string(s.baudRate);
    if (s.dataBits < 5 || s.dataBits > 8)
        return "unsupported data size " + std::to_string(s.dataBits);
    if (s.parity < NOPARITY || s.parity > SPACEPARITY)
        return "unsupported parity " + std::to_string(s.parity);
    if (s.stopBits < ONESTOPBIT || s.stopBits > TWOSTOPBITS)
        return "unsupported stop bits " + std::to_string(s.stopBits);

    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(s.baudRate);
    dcb.ByteSize = static_cast<BYTE>(s.dataBits);
    dcb.Parity = static_cast<BYTE>(s.parity);
    dcb.StopBits = static_cast<BYTE>(s.stopBits);
    // Binary transfer: every byte as it is, no end-of-file character, no replacement of
    // bytes with parity errors, no NUL stripping.
    dcb.fBinary = TRUE;
    dcb.fParity = s.parity != NOPARITY;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;

    switch (s.flowControl) {
        case 1:
            dcb.fOutxCtsFlow = TRUE;
            dcb.fOutxDsrFlow = FALSE;
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fDsrSensitivity = TRUE;
            dcb.fOutX = FALSE;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            dcb.fAbortOnError = FALSE;
            break;
        case 3:
            dcb.fOutxCtsFlow = FALSE;
            dcb.fOutxDsrFlow = FALSE;
            dcb.fDtrControl = DTR_CONTROL_DISABLE;
            dcb.fDsrSensitivity = FALSE;
            dcb.fRtsControl = RTS_CONTROL_DISABLE;
            dcb.fOutX = FALSE;
            dcb.fInX = FALSE;
            break;
        default:
            // Software: the line keeps the flow-control settings it had.
            break;
    }
    return {};
}

}  // namespace kp70
