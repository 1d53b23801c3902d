#include <gtest/gtest.h>

#include "platform/SerialLineSettings.h"

using namespace kp70;

namespace {

ConnectionSettings Line(int baud, int data, int parity, int stop, int flow) {
    ConnectionSettings s;
    s.portName = "COM3";
    s.baudRate = baud;
    s.dataBits = data;
    s.parity = parity;
    s.stopBits = stop;
    s.flowControl = flow;
    return s;
}

// What the driver might report before: XON/XOFF both ways, DSR flow, no binary mode.
DCB Reported() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fAbortOnError = TRUE;
    dcb.fNull = TRUE;
    return dcb;
}

}  // namespace

TEST(SerialLineSettings, EveryChoiceOfTheConnectionScreenBecomesItsDcb) {
    struct Case {
        int baud, data, parity, stop;
        BYTE parityCode, stopCode;
    };
    const Case cases[] = {
        {115200, 8, 0, 0, NOPARITY, ONESTOPBIT},   {38400, 7, 1, 2, ODDPARITY, TWOSTOPBITS},
        {19200, 6, 2, 0, EVENPARITY, ONESTOPBIT},  {9600, 5, 0, 0, NOPARITY, ONESTOPBIT},
        {9600, 5, 2, 1, EVENPARITY, ONE5STOPBITS}, {38400, 8, 2, 2, EVENPARITY, TWOSTOPBITS},
    };
    for (const Case& c : cases) {
        DCB dcb = Reported();
        ASSERT_EQ(ApplyLineSettings(Line(c.baud, c.data, c.parity, c.stop, 3), dcb), "");
        EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(c.baud));
        EXPECT_EQ(dcb.ByteSize, c.data);
        EXPECT_EQ(dcb.Parity, c.parityCode);
        EXPECT_EQ(dcb.StopBits, c.stopCode);
        EXPECT_EQ(dcb.fParity, c.parity != 0 ? 1u : 0u) << c.baud;
        EXPECT_EQ(dcb.fBinary, 1u);
        EXPECT_EQ(dcb.fNull, 0u) << "binary replies keep their zero bytes";
    }
}

TEST(SerialLineSettings, FlowControlRules) {
    struct Expect {
        int flow;
        unsigned cts, dsr, dtr, sensitivity, rts, outX, inX, abort;
    };
    const Expect cases[] = {
        // Hardware: RTS/CTS, DTR raised, DSR sensitivity; input XON/XOFF as reported.
        {1, 1, 0, DTR_CONTROL_ENABLE, 1, RTS_CONTROL_HANDSHAKE, 0, 1, 0},
        // Software: the driver's flow fields untouched.
        {2, 0, 1, DTR_CONTROL_HANDSHAKE, 0, RTS_CONTROL_TOGGLE, 1, 1, 1},
        // None: no lines, and no XON/XOFF to eat the 0x11 and 0x13 of binary data.
        {3, 0, 0, DTR_CONTROL_DISABLE, 0, RTS_CONTROL_DISABLE, 0, 0, 1},
    };
    for (const Expect& e : cases) {
        DCB dcb = Reported();
        ASSERT_EQ(ApplyLineSettings(Line(115200, 8, 0, 0, e.flow), dcb), "");
        EXPECT_EQ(dcb.fOutxCtsFlow, e.cts) << e.flow;
        EXPECT_EQ(dcb.fOutxDsrFlow, e.dsr) << e.flow;
        EXPECT_EQ(dcb.fDtrControl, e.dtr) << e.flow;
        EXPECT_EQ(dcb.fDsrSensitivity, e.sensitivity) << e.flow;
        EXPECT_EQ(dcb.fRtsControl, e.rts) << e.flow;
        EXPECT_EQ(dcb.fOutX, e.outX) << e.flow;
        EXPECT_EQ(dcb.fInX, e.inX) << e.flow;
        EXPECT_EQ(dcb.fAbortOnError, e.abort) << e.flow;
    }
}

TEST(SerialLineSettings, RefusesWhatNoLineCarriesAndLeavesTheDcbAlone) {
    const ConnectionSettings refused[] = {
        Line(230401, 8, 0, 0, 1), Line(9600, 9, 0, 0, 1), Line(9600, 4, 0, 0, 1),
        Line(9600, 8, 5, 0, 1),   Line(9600, 8, 0, 3, 1),
    };
    for (const ConnectionSettings& s : refused) {
        DCB dcb = Reported();
        EXPECT_NE(ApplyLineSettings(s, dcb), "") << s.baudRate << " " << s.dataBits;
        EXPECT_EQ(dcb.BaudRate, 9600u);
        EXPECT_EQ(dcb.fOutX, 1u);
    }
}
