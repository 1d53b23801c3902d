#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "core/transport/OutputFileAsker.h"
#include "gui/app/ScreenServices.h"

class QLineEdit;

namespace kp70 {

// "Print to File": asks for the name of the file that stands in for the printer. OK with
// an empty field asks for a name ("Input the output file name!") and keeps the dialog open.
class PrintToFileDialog : public QDialog {
    Q_OBJECT

public:
    explicit PrintToFileDialog(const ScreenServices& services, QWidget* parent = nullptr);

    QString fileName() const;

public slots:
    void accept() override;

private:
    ScreenServices m_services;
    QLineEdit* m_name = nullptr;
};

// The port's OutputFileAsker: shows the dialog over the active screen, on the GUI thread
// also when the port is opened from a worker. nullopt (not ended with OK) means "temp.prn".
class PrintToFileAsker : public QObject, public OutputFileAsker {
public:
    explicit PrintToFileAsker(const ScreenServices& services) : m_services(services) {}
    std::optional<std::string> AskOutputFile() override;

private:
    ScreenServices m_services;
};

}  // namespace kp70
