#include "core/app/MessageCatalogue.h"

#include <cstdio>
#include <vector>

namespace kp70 {

namespace {

// clang-format off
const char* const kEnglish[MessageCatalogue::kCount] = {
    /*  0 */ "Input the output file name!",
    /*  1 */ "COMPLETED",
    /*  2 */ "Init Fail",
    /*  3 */ "File open error!!",
    /*  4 */ "Error! Not found extened font data in file.",
    /*  5 */ "Baudrate is not selected!",
    /*  6 */ "Data length is not selected!",
    /*  7 */ "Parity type is not selected!",
    /*  8 */ "Flow control is not selected!",
    /*  9 */ "Invalid Device!",
    /* 10 */ "Turn on your USB printer\r\nand Try again.",
    /* 11 */ "TalvoTool support only One device.\r\nThere are too many device connected!",
    /* 12 */ "Not exist LPT port on your system.",
    /* 13 */ "Not exist COM port on your system.",
    /* 14 */ "BMP file does not selected.",
    /* 15 */ "Reseting the file. \nContinue it?",
    /* 16 */ "Out of memory.",
    /* 17 */ "All bit image files are written in the NV Graphics memory of the printer.",
    /* 18 */ "ERROR : Port open.",
    /* 19 */ "ERROR[%d] - Open port or file.",
    /* 20 */ "ERROR : Printer check.",
    /* 21 */ "Complete the NV bit image definition.\r\nPlease wait some paper feed.",
    /* 22 */ "ERROR : Write to port.",
    /* 23 */ "No file selected. \r\nThis work delete all bitmap image in your printer.",
    /* 24 */ "ERROR : Printer check.",
    /* 25 */ "NV image number is incorrect.",
    /* 26 */ "GetOverlappedResult (write) failed",
    /* 27 */ "ERROR : Receive data.",
    /* 28 */ "ERROR : Comm.",
    /* 29 */ "Port is not opened!",
    /* 30 */ "ERROR : CreateEvent for osRead.",
    /* 31 */ "ERROR : CreateEvent for osWrite.",
    /* 32 */ "ERROR : PRINTER IS NOT READY!",
    /* 33 */ "LPT Write Error[%d]",
    /* 34 */ "Update Complete.\nPlease wait beep the buzzer.",
    /* 35 */ "Are you sure the Boot area download?",
    /* 36 */ "Are you sure the Downloader area download?",
    /* 37 */ "Are you sure the Ext.Font area download?",
    /* 38 */ "ERROR : File is not firmware file!",
    /* 39 */ "ERROR : File is not include Ext.font data.",
    /* 40 */ "ERROR : while creating ThreadWatchComm.",
    /* 41 */ "m_QueueRead FULL!",
    /* 42 */ "Communication error. Can not transimitted.",
    /* 43 */ "Can't Read files any more!",
    /* 44 */ "Bitmap files that was defined with Log file is incorrect.",
    /* 45 */ "It is not support bitmap format!",
    /* 46 */ "NV-bitimage area too small",
    /* 47 */ "Bitmap files that was defined with Log file is incorrect.",
    /* 48 */ "ERROR : Write Fail!\nPlease check the printer power or connection",
    /* 49 */ "Are you sure?(Y/N)\n(All settings will be set to default.)",
    /* 50 */ "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size %dKB\r\n(NV User Memory + NV Graphic Memory)",
    /* 51 */ "In the Gray Print mode, not support under 8bit color depth bitmap image.\r\n(%s)",
    /* 52 */ "ERROR : Cannot create receive thread!",
    /* 53 */ "Stop Bit is not selected",
    /* 54 */ "If you change the stop bit configuration,\r\nthis program maybe do not work correctly.",
    /* 55 */ "Please enter PORT number between 1024 ~ 65534.",
    /* 56 */ "System Error. Please restart this program.",
    /* 57 */ "The printer has finished searching.",
    /* 58 */ "Do you want to change the Network Settings?.",
    /* 59 */ "Update Complete.\nPlease wait beep the buzzer.",
    /* 60 */ "ERROR : Read Fail!\nPlease check the printer power or connection",
    /* 61 */ "Please input a value between 0 ~ 512.",
    /* 62 */ "Please enter IP address between 1 ~ 254.",
};

const char* const kKorean[MessageCatalogue::kCount] = {
    /*  0 */ "출력 파일 이름을 입력하세요!",
    /*  1 */ "완 료",
    /*  2 */ "Initial 실패.",
    /*  3 */ "File 열기 에러!!",
    /*  4 */ "확장 폰트 데이터가 해당 파일에 존재하지 않습니다.",
    /*  5 */ "Baudrate를 선택하십시오.",
    /*  6 */ "Data length 를 선택하십시오.",
    /*  7 */ "Parity type 을 선택하십시오.",
    /*  8 */ "흐름제어 방법을 선택하십시오.",
    /*  9 */ "알수없는 장치입니다.",
    /* 10 */ "USB 프린터를 켜고 재시도 하십시오.",
    /* 11 */ "TalvoTool은 하나의 USB장치만을 사용 할 수 있습니다.\r\n나머지 장치를 제거하십시오.",
    /* 12 */ "시스템에 LPT포트가 존재하지 않습니다.",
    /* 13 */ "시스템에 COM포트가 존재하지 않습니다.",
    /* 14 */ "Bitmap 파일을 선택하십시오.",
    /* 15 */ "목록을 초기화 합니다. \n계속 하시겠습니까?",
    /* 16 */ "Memory 용량 초과",
    /* 17 */ "프린터의 기존 모든 이미지 데이터는 삭제됩니다.",
    /* 18 */ "ERROR - 포트 열기.",
    /* 19 */ "ERROR[%d] - Open port or file.",
    /* 20 */ "ERROR - 프린터 확인",
    /* 21 */ "Bitmap 이미지 전송 완료.\r\n약간의 용지 이송이 있을때까지 기다리십시오.",
    /* 22 */ "ERROR - 포트 쓰기.",
    /* 23 */ "파일이 선택되지 않았습니다. \r\n프린터의 모든 이미지가 삭제됩니다.",
    /* 24 */ "ERROR - 프린터 확인",
    /* 25 */ "이미지 번호가 맞지 않습니다.",
    /* 26 */ "쓰기 실패",
    /* 27 */ "ERROR - 데이터 수신.",
    /* 28 */ "ERROR - Comm.",
    /* 29 */ "포트가 열려있지 않습니다.",
    /* 30 */ "ERROR - CreateEvent for osRead.",
    /* 31 */ "ERROR - CreateEvent for osWrite.",
    /* 32 */ "ERROR - 프린터가 준비되지 않았습니다.",
    /* 33 */ "쓰기 에러[%d]",
    /* 34 */ "업데이트 완료.\n부저음이 5회 울릴때까지 기다리십시오.",
    /* 35 */ "Boot 영역을 다운로드 하시겠습니까?",
    /* 36 */ "Downloader 영역을 다운로드 하시겠습니까?",
    /* 37 */ "확장 폰트 영역을 다운로드 하시겠습니까?",
    /* 38 */ "ERROR - 펌웨어 파일 형식이 다릅니다.",
    /* 39 */ "ERROR - 확장 폰트 데이터가 존재하지 않습니다.",
    /* 40 */ "쓰레드 생성 실패.",
    /* 41 */ "데이터 수신큐가 가득찼습니다!",
    /* 42 */ "통신 에러. 데이터 전송이 불가능 합니다.",
    /* 43 */ "파일을 읽을 수 없습니다.",
    /* 44 */ "Log 파일에 저장된 Bitmap파일이 존재하지 않습니다.",
    /* 45 */ "지원하지 않는 Bitmap 형식입니다.",
    /* 46 */ "NV 메모리가 부족합니다.",
    /* 47 */ "Log 파일에 저장된 Bitmap파일이 존재하지 않습니다.",
    /* 48 */ "쓰기 실패. 프린터의 전원이나 연결 케이블을 확인하십시오.",
    /* 49 */ "모든 설정을 기본값으로 바꾸시겠습니까?",
    /* 50 */ "최대 NV메모리 사이즈를 초과했습니다.\r\n최대 NV Memory Size %dKB\r\n(NV User Memory + NV Graphic Memory)",
    /* 51 */ "Gray Print mode 에서는 256컬러 이상의 Bitmap파일만 지원됩니다.\r\n(%s)",
    /* 52 */ "ERROR - 데이터 수신 쓰레드를 생성할 수 없습니다.",
    /* 53 */ "Stop Bit를 선택하십시오.",
    /* 54 */ "Stop Bit설정을 변경 할 경우,\r\n현재 프로그램이 정상 동작 하지 않을 수 있습니다.",
    /* 55 */ "포트번호는 1024 ~ 65534 범위의 값으로 입력해 주시기 바랍니다.",
    /* 56 */ "시스템 에러. \r\n 이 프로그램을 종료 후, 다시 시작해 주십시오.",
    /* 57 */ "프린터 검색이 완료되었습니다.",
    /* 58 */ "프린터의 네트워크 설정을 변경하시겠습니까?",
    /* 59 */ "업데이트 완료.\n 부저음이 2회 울리고 프린터가 자동으로 꺼질때까지 기다리십시오.",
    /* 60 */ "읽기 실패. 프린터의 전원이나 연결 케이블을 확인하십시오.",
    /* 61 */ "값을 0 ~ 512 사이로 입력하십시오.",
    /* 62 */ "아이피를 1~254 사이로 입력하십시오",
};
// clang-format on

}  // namespace

std::string MessageCatalogue::English(int n) {
    return n >= 0 && n < kCount ? kEnglish[n] : "";
}

std::string MessageCatalogue::Korean(int n) {
    return n >= 0 && n < kCount ? kKorean[n] : "";
}

std::string MessageCatalogue::Message(int n) const {
    return m_korean ? Korean(n) : English(n);
}

namespace {
template <typename T>
std::string FormatOne(const std::string& format, T value) {
    const int size = std::snprintf(nullptr, 0, format.c_str(), value);
    if (size < 0) return format;
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}
}  // namespace

std::string MessageCatalogue::Format(int n, int value) const {
    return FormatOne(Message(n), value);
}

std::string MessageCatalogue::Format(int n, const std::string& value) const {
    return FormatOne(Message(n), value.c_str());
}

std::string MessageCatalogue::Text(const Notice& notice) const {
    std::string text = notice.literal;
    if (text.empty() && notice.text.english) text = notice.text.In(m_korean);
    if (notice.number >= 0)
        text = notice.hasValue ? Format(notice.number, notice.value) : Message(notice.number);
    if (!notice.secondLine.empty()) text += "\n" + notice.secondLine;
    return text;
}

Notice IntegerRangeNotice(int min, int max) {
    Notice notice = Notice::Literal("Please enter an integer between " + std::to_string(min) +
                                        " and " + std::to_string(max) + ".",
                                    MessageIcon::Exclamation);
    notice.caption = texts::kCaption;
    return notice;
}

}  // namespace kp70
