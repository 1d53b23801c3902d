#pragma once

namespace kp70::logotext {

// Texts of the upload and print progress windows.
inline constexpr const char* kUploadingTitle = "Uploading";
inline constexpr const char* kErasing = "Erasing...";
inline constexpr const char* kUpdatingFormat = "Updating(%ld/%ld)...%s";
inline constexpr const char* kPrintingTitle = "Printing";
inline constexpr const char* kPrinting = "Printing...";
inline constexpr const char* kPrintingFormat = "Printing... %d/255";
inline constexpr const char* kHeaderLineFormat = "--- Logo %d ---\n";

// The notice of printers whose NV graphics memory holds only 128 KB (model code 5).
inline constexpr const char* kTalvo30Notice = "TALVO30 NV  graphic  memory size is 128Kbytes.";

// Error log lines.
inline constexpr const char* kLogDefineFailed = "CProgress OnInitDialog[%d]";
inline constexpr const char* kLogHeaderFailed = "CPrograss writeInstruction[%d]";
inline constexpr const char* kLogHeaderBytes = "CPrograss WriteInstruction [%02X-%02X-%02X-%02X]\n";
inline constexpr const char* kLogDataFailed = "CProgress write data failed [%d]";
inline constexpr const char* kLogImageFailed = "CProgress image %d not converted: %s";
inline constexpr const char* kLogLinkLost = "CProgress not delivered after the last image: %s";

}  // namespace kp70::logotext
