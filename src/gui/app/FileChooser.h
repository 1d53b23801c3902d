#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kp70 {

// Every file-open box of the tools goes through a FileChooser, so tests can answer it with
// the files they want.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // An open-file box that allows several files (the logo list): filter as
    // "Description(*.ext)", several separated by ";;" (the first is chosen at first), the
    // suffix added to a name typed without one, the name proposed
    // at first. The chosen paths, or none when the box was cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const QString& filter,
                                  const QString& defaultSuffix, const QString& initialPath) = 0;
    // An open-file box for one file (a firmware image): filter written the way the tools
    // give it, "Text(*.EXT)|*.EXT|ALL FILE(*.*)|*.*|", starting in the folder of `start`.
    // The chosen file's full path; empty when the box was cancelled.
    virtual QString ChooseFile(QWidget* parent, const QString& filter, const QString& start) = 0;
};

// The real boxes (QFileDialog).
class DialogFileChooser : public FileChooser {
public:
    QStringList OpenFiles(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                          const QString& initialPath) override;
    QString ChooseFile(QWidget* parent, const QString& filter, const QString& start) override;
};

// "Text(*.EXT)|*.EXT|ALL FILE(*.*)|*.*|" as Qt writes a filter: the descriptions, which hold
// their patterns, separated by ";;".
QString QtFilterOf(const QString& filter);

}  // namespace kp70
