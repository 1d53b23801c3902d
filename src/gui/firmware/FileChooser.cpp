#include "gui/firmware/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace kp70 {

QString DialogFileChooser::ChooseFile(QWidget* parent, const QString& filter,
                                      const QString& start) {
    return QFileDialog::getOpenFileName(parent, QString(), QFileInfo(start).absolutePath(),
                                        QtFilterOf(filter));
}

QString QtFilterOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (int i = 0; i + 1 < parts.size(); i += 2) descriptions << parts[i];
    return descriptions.join(QStringLiteral(";;"));
}

}  // namespace kp70
