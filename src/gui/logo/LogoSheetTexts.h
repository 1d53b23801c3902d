#pragma once

#include "core/app/BilingualText.h"

namespace kp70::logosheet {

// The labels of the logo sheet's pages in both languages (the Korean label replaces the
// English one in a Korean interface; nullptr keeps the English one).
using Text = BilingualText;

// Tabs, in order, and the sheet's buttons.
inline constexpr Text kSelectTab{"Select Bitmap"};
inline constexpr Text kPreviewTab{"Preview Bitmap"};
inline constexpr Text kUploadTab{"Upload Bitmap"};
inline constexpr Text kPrintTab{"Print Bitmap"};
inline constexpr Text kSetupTab{"Setup"};
inline constexpr Text kOk{"OK", "확인"};
inline constexpr Text kCancel{"Cancel", "취소"};

// The list view's headings.
inline constexpr Text kNumberHeading{"   No."};
inline constexpr Text kNameHeading{"Name"};
inline constexpr Text kSizeHeading{"Size"};

// Counters, on every page with the list.
inline constexpr Text kNumberOfFiles{"Number of Image Files", "이미지 파일 갯수"};
inline constexpr Text kTotalSize{"Total Image File Size", "전체 이미지 파일 크기"};

// Select Bitmap.
inline constexpr Text kBitmapList{"Bitmap List", "비트맵 목록"};
inline constexpr Text kOpenFile{"Open File...", "파일 열기"};
inline constexpr Text kRemove{"Remove", "삭제"};
inline constexpr Text kReset{"Reset", "초기화"};
inline constexpr const char* kRemoveQuestion = "Remove selected file?";
inline constexpr const char* kRemoveCaption = "Image downloader";
inline constexpr const char* kBitmapFilter = "Bitmap Files(*.bmp)";
// The second filter of Open File: every kind of file a logo can come from.
inline constexpr const char* kImageFilter = "Images(*.png *.jpg *.jpeg *.gif *.bmp)";
inline constexpr const char* kBitmapSuffix = "bmp";

// Preview Bitmap, its qualities in the page's order, then the printer's dots.
inline constexpr Text kQuality{"Quality"};
inline constexpr Text kPreviewNormal{"&Normal", "일반"};
inline constexpr Text kPreviewQuadruple{"&Quadraple", "가로2배 / 세로2배"};
inline constexpr Text kPreviewDoubleHeight{"Double &Height", "세로 2배"};
inline constexpr Text kPreviewDoubleWidth{"Double &Width", "가로 2배"};
inline constexpr Text kPrinterDots{"Printer &dots", "프린터 도트"};

// Upload Bitmap.
inline constexpr Text kImageList{"Image List", "이미지 목록"};
inline constexpr Text kUpload{"Upload", "전송"};
inline constexpr Text kPrinterDetails{"Printer Details", "프린터 정보"};
inline constexpr Text kPrinterName{"Printer Name", "프린터 이름"};
inline constexpr Text kPortName{"Port Name", "프린터 포트"};
inline constexpr const char* kToFile = "To File";

// Print Bitmap, its qualities in the print command's order (m = 0..3).
inline constexpr Text kPrintingRange{"Printing &Range"};
inline constexpr Text kAll{"All", "전체"};
inline constexpr Text kSelection{"Selection", "선택"};
inline constexpr Text kPrintQuality{"Q&uality", "크기"};
inline constexpr Text kPrintNormal{"&Normal", "일반"};
inline constexpr Text kPrintDoubleWidth{"Double &Width", "가로 2배"};
inline constexpr Text kPrintDoubleHeight{"Double &Height", "세로 2배"};
inline constexpr Text kPrintQuadruple{"&Quadraple", "가로2배 / 세로2배"};
inline constexpr Text kHeader{"Hea&der", "제목"};
inline constexpr Text kNoHeader{"No Header", "제목 없음"};
inline constexpr Text kAddHeader{"Add Header", "제목 인쇄"};
inline constexpr Text kPrint{"&Print", "인쇄"};

// Setup.
inline constexpr Text kOptions{"Setup", "설정"};
inline constexpr Text kPrintToFile{"Print To File", "파일로 출력"};
inline constexpr Text kGrayPrinting{"Use Gray Printing", "농도조절인쇄"};
inline constexpr Text kStarEmulation{"Use Star Emulation", "STAR 에뮬레이션"};
inline constexpr Text kPrintableArea{"Max Printable Area :", "인쇄 가능 영역"};
inline constexpr Text kDotsRange{"dots(1~512)"};
inline constexpr Text kDivergingPoint{"Black / White diverging point (0~255)"};
inline constexpr Text kDevice{"Device", "프린터 정보"};
inline constexpr Text kAbout{"About", "정보"};
inline constexpr Text kAboutTitle{"Bitmap Image downloader ", "비트맵 이미지 전송"};
inline constexpr const char* kAboutVersion = "KP70 Tool Ver 1.01";
inline constexpr const char* kAboutMaker = "the KP70 Tool developers";
inline constexpr const char* kFilePortName = "FILE";

// The progress windows' button.
inline constexpr Text kStop{"Cancel", "취소"};

}  // namespace kp70::logosheet
