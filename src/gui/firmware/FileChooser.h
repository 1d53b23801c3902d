#pragma once

#include <QString>

class QWidget;

namespace kp70 {

// The file-open box, behind a seam so screen tests can answer it. filter is written the
// way the tools give it, "Text(*.EXT)|*.EXT|ALL FILE(*.*)|*.*|".
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path; empty when the box was cancelled.
    virtual QString ChooseFile(QWidget* parent, const QString& filter, const QString& start) = 0;
};

// The real box (QFileDialog), starting in the folder of `start`.
class DialogFileChooser : public FileChooser {
public:
    QString ChooseFile(QWidget* parent, const QString& filter, const QString& start) override;
};

// "Text(*.EXT)|*.EXT|ALL FILE(*.*)|*.*|" as Qt writes a filter: the descriptions, which hold
// their patterns, separated by ";;".
QString QtFilterOf(const QString& filter);

}  // namespace kp70
