#include "gui/logo/FileChooser.h"

#include <QFileDialog>

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

}  // namespace kp70
