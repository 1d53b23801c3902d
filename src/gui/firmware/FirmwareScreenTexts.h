#pragma once

#include "core/app/BilingualText.h"

namespace kp70::firmwarescreen {

// The F/W Update screen's labels.
inline constexpr BilingualText kFileOpen{"File Open"};
inline constexpr BilingualText kAreaGroup{"AREA"};
inline constexpr BilingualText kAreaLabels[] = {
    {"Program Area", "프로그램 영역"}, {"Ext. Font", "확장 폰트 영역"},
    {"LCD font", "LCD 폰트 영역"},     {"DOWNLOAD Area", "다운로드 영역"},
    {"Boot Area", "부트 영역"},
};
inline constexpr BilingualText kDeviceGroup{"DEVICE", "프린터 종류"};
inline constexpr BilingualText kInformationGroup{"Information"};
inline constexpr BilingualText kChecksum{"CHECKSUM :", "체크섬"};
inline constexpr BilingualText kFileSize{"FileSize :", "파일크기"};
inline constexpr BilingualText kBytes{"bytes", "바이트"};
inline constexpr BilingualText kPacketNote{"(* Header[4] + FileSize[4] + data[n] + CS[2] )"};
inline constexpr BilingualText kDownload{"DOWNLOAD", "다운로드"};
inline constexpr BilingualText kExit{"EXIT"};

// The TALVO10 download tool's labels. Its English labels are set on every system but a
// Korean one, which gets these Korean forms.
inline constexpr BilingualText kOpen{"&Open", "열기(&O)"};
inline constexpr BilingualText kSelectArea{"SELECT AREA", "영역 선택"};
inline constexpr BilingualText kFlashAreaLabels[] = {
    {"&1.Program", "&1.프로그램"},
    {"&2.Ext Font", "&2.확장 폰트"},
    {"&3.Boot", "&3.부트"},
    {"&4.Font", "&4.폰트"},
};
inline constexpr BilingualText kOk{"OK", "확인"};
inline constexpr BilingualText kCancel{"CANCEL", "취소"};

}  // namespace kp70::firmwarescreen
