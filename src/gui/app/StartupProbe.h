#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace kp70 {

// For the start-up benchmark: once the watched window has painted for the first time, it
// prints "shown" on stdout and closes the window, so a launcher can time process start to
// the first screen. Installed only when the environment variable KP70_EXIT_WHEN_SHOWN is
// set.
class StartupProbe : public QObject {
public:
    static constexpr const char* kEnvironmentVariable = "KP70_EXIT_WHEN_SHOWN";

    explicit StartupProbe(QWidget* window) : QObject(window), m_window(window) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QTimer::singleShot(0, m_window, [window = m_window] { window->close(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
    bool m_reported = false;
};

}  // namespace kp70
