#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kp70 {

// Every file-open box of the logo tool goes through a FileChooser, so tests can answer it
// with the files they want.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // An open-file box that allows several files: filter as "Description(*.ext)", the
    // suffix added to a name typed without one, the name proposed at first. The chosen
    // paths, or none when the box was cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const QString& filter,
                                  const QString& defaultSuffix, const QString& initialPath) = 0;
};

// The real file-open box.
class DialogFileChooser : public FileChooser {
public:
    QStringList OpenFiles(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                          const QString& initialPath) override;
};

}  // namespace kp70
