#include "gui/app/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace kp70 {

QStringList DialogFileChooser::OpenFiles(QWidget* parent, const QString& filter,
                                         const QString& defaultSuffix, const QString& initialPath) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!initialPath.isEmpty()) dialog.selectFile(initialPath);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

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
