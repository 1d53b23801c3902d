// The yardstick for the start-up benchmark: the smallest Qt Widgets dialog, built with the
// same compiler flags and Qt as kp70tool, timed the same way.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app/StartupProbe.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Minimal dialog");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("A minimal Qt Widgets dialog", &dialog));
    auto* ok = new QPushButton("OK", &dialog);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    if (qEnvironmentVariableIsSet(kp70::StartupProbe::kEnvironmentVariable))
        new kp70::StartupProbe(&dialog);
    dialog.exec();
    return 0;
}
