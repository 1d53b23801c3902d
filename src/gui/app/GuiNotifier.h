#pragma once

#include <QObject>
#include <string>

#include "core/transport/Notifier.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

// The transport's messages (a full receive queue, a receive thread that cannot watch its
// port) as message boxes. They may come from a receive thread, so the box is posted to the
// GUI thread and the caller goes on at once: it must never wait for the thread that may be
// closing its port.
class GuiNotifier : public QObject, public Notifier {
public:
    explicit GuiNotifier(const ScreenServices& services, QObject* parent = nullptr)
        : QObject(parent), m_services(services) {}

    void ShowMessage(int n, const std::string& suffix = "") override;
    void ShowText(const std::string& text) override;

private:
    void Post(const QString& text);

    ScreenServices m_services;
};

}  // namespace kp70
