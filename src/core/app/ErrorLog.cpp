#include "core/app/ErrorLog.h"

#include <cstdarg>

namespace kp70 {

ErrorLog::ErrorLog(Clock& clock) : m_clock(clock) {}

ErrorLog::~ErrorLog() {
    Close();
}

bool ErrorLog::Open(const std::string& path, Mode mode) {
    std::lock_guard lock(m_mutex);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_file = std::fopen(path.c_str(), mode == Mode::Truncate ? "wb" : "ab");
    if (m_file) std::setvbuf(m_file, nullptr, _IONBF, 0);
    return m_file != nullptr;
}

void ErrorLog::Close() {
    std::lock_guard lock(m_mutex);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool ErrorLog::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

void ErrorLog::LogLine(const char* format, ...) {
    std::lock_guard lock(m_mutex);
    if (!m_file) return;

    // The whole line goes out in one write: a program killed while it logs leaves the
    // earlier lines complete and no part of this one.
    char line[64 + kMaxMessageLength + 2];
    const std::tm t = m_clock.LocalTime();
    int prefix = std::snprintf(line, 64, "[%04d/%02d/%02d %02d:%02d:%02d] ", t.tm_year + 1900,
                               t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (prefix < 0) prefix = 0;
    if (prefix > 63) prefix = 63;

    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line + prefix, kMaxMessageLength + 1, format, args);
    va_end(args);
    if (n < 0) n = 0;
    if (n > kMaxMessageLength) n = kMaxMessageLength;

    std::size_t length = static_cast<std::size_t>(prefix + n);
    line[length++] = '\r';
    line[length++] = '\n';
    std::fwrite(line, 1, length, m_file);
}

}  // namespace kp70
