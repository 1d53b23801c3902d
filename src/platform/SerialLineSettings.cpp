#include "platform/SerialLineSettings.h"

namespace kp70 {

namespace {

speed_t SpeedOf(int baudRate) {
    switch (baudRate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

// CS5 is 0, so the answer says separately whether the size is known.
bool SizeOf(int dataBits, tcflag_t& size) {
    switch (dataBits) {
        case 5:
            size = CS5;
            return true;
        case 6:
            size = CS6;
            return true;
        case 7:
            size = CS7;
            return true;
        case 8:
            size = CS8;
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string ApplyLineSettings(const ConnectionSettings& s, termios& tio) {
    const speed_t speed = SpeedOf(s.baudRate);
    tcflag_t size = 0;
    if (speed == 0) return "unsupported speed " + std::to_string(s.baudRate);
    if (!SizeOf(s.dataBits, size)) return "unsupported data size " + std::to_string(s.dataBits);
    if (s.parity < 0 || s.parity > 4) return "unsupported parity " + std::to_string(s.parity);

    // Binary transfer: no line editing, echo, signals or output processing. The software
    // flow-control bits (IXON, IXOFF, IXANY) are decided below.
    const tcflag_t softwareFlow = tio.c_iflag & (IXON | IXOFF | IXANY);
    ::cfmakeraw(&tio);
    tio.c_iflag = (tio.c_iflag & ~(IXON | IXOFF | IXANY)) | softwareFlow;
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | size;
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB);
    switch (s.parity) {
        case 1:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            tio.c_cflag |= PARENB;
            break;
        case 3:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;  // mark
        case 4:
            tio.c_cflag |= PARENB | CMSPAR;
            break;  // space
        default:
            break;
    }
    if (s.parity != 0) tio.c_iflag |= INPCK;
    // 1 (one and a half) exists only with 5 data bits on the wire; termios offers two.
    if (s.stopBits != 0) tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);

    switch (s.flowControl) {
        case 1:
            // Hardware: RTS/CTS handshake; output XON/XOFF off, input XON/XOFF as it was.
            tio.c_cflag |= CRTSCTS;
            tio.c_iflag &= ~(IXON | IXANY);
            break;
        case 3:
            // None: no handshake lines and no XON/XOFF. A fresh Linux terminal has IXON set,
            // which would swallow 0x11/0x13 in the printer's binary replies and stall output.
            tio.c_cflag &= ~CRTSCTS;
            tio.c_iflag &= ~(IXON | IXOFF | IXANY);
            break;
        default:
            // Software: the line keeps the flow-control settings it had.
            break;
    }
    return {};
}

}  // namespace kp70
