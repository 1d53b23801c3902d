#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "core/app/Clock.h"

namespace kp70 {

// The diagnostic trace "error.log": one time-stamped line per entry, written straight
// through to the file so a line is on disk when LogLine returns. Failures to create or
// write the file are ignored: the log must never disturb the program.
class ErrorLog {
public:
    enum class Mode { Truncate, Append };

    explicit ErrorLog(Clock& clock);
    ~ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // Opens (Truncate: creates new or empties) the file. Returns false when it cannot be
    // opened; the log then stays closed and LogLine does nothing.
    bool Open(const std::string& path, Mode mode = Mode::Truncate);
    void Close();
    bool IsOpen() const;

    // Appends "[YYYY/MM/DD hh:mm:ss] " + the formatted message (at most 255 characters)
    // + "\r\n". Safe to call from several threads: one line never interleaves another.
    void LogLine(const char* format, ...) __attribute__((format(printf, 2, 3)));

    static constexpr int kMaxMessageLength = 255;

private:
    Clock& m_clock;
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};

}  // namespace kp70
