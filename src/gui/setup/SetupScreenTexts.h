#pragma once

#include <QString>

#include "core/app/BilingualText.h"

namespace kp70::setupscreen {

// The texts of the user setup screen in both languages.
using Text = BilingualText;

// A text in the interface's language.
inline QString In(const Text& text, bool korean) {
    return QString::fromUtf8(text.In(korean));
}

// Window and fixed labels.
inline constexpr Text kModel{"MODEL"};
inline constexpr Text kLeftGroup{"SELECT USER SETUP FUNCTION", "사용자 설정"};
inline constexpr Text kRightGroup{"New Option"};
inline constexpr Text kReserved{"Reserved"};
inline constexpr Text kBoldKoreanFont{"Bold Korean Font"};

// Row labels of the left group (a "&" stands for itself).
inline constexpr Text kPaperWidth{"Paper Width & Max. Column", "용지 폭"};
inline constexpr Text kPaperType{"Paper Type", "용지 종류"};
inline constexpr Text kWaterMark{"Water Mark Function", "워터마크 기능"};
inline constexpr Text kCuttingAdjust{"Cutting postion adjustment Function", "용지 절단 위치 조정"};
inline constexpr Text kDrawerWithCutting{"Drawer open with cutting", "용지 절단시 돈통 열기"};
inline constexpr Text kBellTypeLength{"Kitchen Bell Type & Length", "주방벨 종류 / 횟수"};
inline constexpr Text kCodePage{"Default Code Page", "기본 문자"};
inline constexpr Text kNvGraphic{"NV Graphic Memory Size", "내장 그래픽 메모리 크기"};
inline constexpr Text kNvUser{"NV User Memory Size", "내장 사용자 메모리 크기"};
inline constexpr Text kCuttingMode{"Cutting Mode Select", "절단 모드"};
inline constexpr Text kPrintSpeed{"Max Print Speed", "인쇄 최고 속도"};
inline constexpr Text kLeftMargin{"Set Left Paper Margin", "용지 좌측 여백"};
inline constexpr Text kDrawerInSelfTest{"Drawer Open In Self-Test", "Self-Test시 돈통 열기"};
inline constexpr Text kReceiveBuffer{"Receive Buffer Size", "수신 버퍼 크기"};
inline constexpr Text kStopBit{"STOP BIT(COM PORT)", "스톱 비트 (COM)"};
inline constexpr Text kSetupCode{"Customize Setup Code(HEX)"};

// Row labels of the right group.
inline constexpr Text kEmulation{"Emulation", "동작모드"};
inline constexpr Text kDensity{"Density", "인쇄농도"};
inline constexpr Text kAutoCut{"AutoCut", "자동절단기"};
inline constexpr Text kSelfTest{"SELF-TEST"};
inline constexpr Text kKitchenBell{"Kitchen Bell", "주방벨"};
inline constexpr Text kUsbMode{"USB mode", "USB동작"};
inline constexpr Text kPaperSaveMode{"Paper Save Mode", "용지절약모드"};
inline constexpr Text kSleepMode{"Sleep mode", "절전모드"};

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

// Units and field captions.
inline constexpr Text kImageNumber{"Image#", "이미지#"};
inline constexpr Text kLines{"Lines"};
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

// Boxes the screen adds: the two water mark questions (caption "Notice", Yes/No) and the
// caption of messages 54 and 61.
inline constexpr const char* kNoticeCaption = "Notice";
inline constexpr const char* kSelectOneColor =
    "Water mark print is impossible in Two-color print mode.\nSelect One-color mode?";
inline constexpr const char* kDisableWaterMark =
    "Water mark print is impossible in Two-color print mode.\nDisable water mark function?";
// The range prompt of a number field that holds no number in its range.
inline constexpr const char* kRangePrompt = "Please enter an integer between %1 and %2.";

}  // namespace kp70::setupscreen
