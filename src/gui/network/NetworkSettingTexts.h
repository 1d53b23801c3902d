#pragma once

#include "core/app/BilingualText.h"

namespace kp70::networkscreen {

// The texts of the network setting screen and the WiFi set-up, in both languages.
inline constexpr BilingualText kCaption{"Ethernet-II Network Setting"};
inline constexpr BilingualText kSearch{"Search Printer", "프린터 검색"};
inline constexpr BilingualText kChange{"Change Setting", "설정 변경"};
inline constexpr BilingualText kExit{"EXIT", "닫기"};
inline constexpr BilingualText kAddress{"IP"};
inline constexpr BilingualText kSubnet{"Subnet"};
inline constexpr BilingualText kGateway{"Gateway"};
inline constexpr BilingualText kPort{"PORT"};
inline constexpr BilingualText kDhcp{"DHCP"};
inline constexpr BilingualText kMacLow{"MAC(Low 3byte):"};
inline constexpr BilingualText kMacSeparator{":"};
inline constexpr BilingualText kManual{"Manually change"};

// The list's column widths in pixels; the last column takes the rest of the list's width.
inline constexpr int kColumnWidths[] = {130, 60, 130, 130};

// The WiFi buttons when the set-up component is not installed; the places it is looked
// for follow on a line of their own.
inline constexpr BilingualText kWifiComponentMissing{
    "The WiFi set-up component (libkp70wifi.so) is not installed, so the printer's WiFi "
    "cannot be set up from this tool. It is looked for in:",
    "WiFi 설정 구성 요소(libkp70wifi.so)가 설치되어 있지 않아 이 도구에서 프린터의 WiFi를 "
    "설정할 수 없습니다. 찾는 위치:"};

}  // namespace kp70::networkscreen
