#pragma once

#include <QString>

#include "core/app/BilingualText.h"
#include "gui/app/Widgets.h"

namespace kp70::setupscreen {

// The texts of the user setup screen in both languages.
using Text = BilingualText;

// A text in the interface's language.
using kp70::In;

// Window and fixed labels.
inline constexpr Text kModel{"MODEL"};
inline constexpr Text kLeftGroup{"SELECT USER SETUP FUNCTION", "사용자 설정"};
inline constexpr Text kRightGroup{"New Option"};

// Row labels come with the settings (core/setup/SettingModel.h).

// Choices of the radio pairs.
inline constexpr Text k80mm{"80mm"};
inline constexpr Text k58mm{"58mm"};
inline constexpr Text kBlack{"Black", "검정"};
inline constexpr Text k2Color{"2Color", "2 색"};
inline constexpr Text kDisable{"Disable", "사용안함"};
inline constexpr Text kEnable{"Enable", "사용"};
inline constexpr Text kOffUse{"OFF", "사용안함"};
inline constexpr Text kOnUse{"ON", "사용"};
inline constexpr Text kPartial{"Partial", "일부"};
inline constexpr Text kFullCut{"Full Cut", "전체"};
inline constexpr Text kOff{"OFF"};
inline constexpr Text kOn{"ON"};
inline constexpr Text kOne{"ONE"};
inline constexpr Text kTwo{"TWO"};
inline constexpr Text kEpson{"EPSON", "엡손"};
inline constexpr Text kStar{"STAR", "스타"};
inline constexpr Text kSelfTestChoice{"Self-Test", "셀프테스트"};
inline constexpr Text kHexaDump{"HexaDump", "16진수인쇄"};
inline constexpr Text kUsb{"USB", "USB통신"};
inline constexpr Text kCom{"COM", "가상시리얼"};

// Units.
inline constexpr Text kTimes{"Times", "회"};
inline constexpr Text kOfFive{" / 5"};
inline constexpr Text kKbyte{"Kbyte"};
inline constexpr Text kMmPerSec{"mm/sec"};
inline constexpr Text kDotRange{"dot (0 ~ 512)"};

// Buttons.
inline constexpr Text kGetValue{"Get Value", "설정 읽기"};
inline constexpr Text kSetValue{"Set Value", "설정 쓰기"};
inline constexpr Text kTest{"TEST", "테스트"};
inline constexpr Text kDefault{"Default", "기본값"};
inline constexpr Text kExit{"EXIT", "취소"};

// The range prompt of a number field that holds no number in its range.

}  // namespace kp70::setupscreen
