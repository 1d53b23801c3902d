#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "gui/app/FileChooser.h"

namespace kp70::test {

// A FileChooser for screen tests: records each box it is asked for and answers with the
// next files of its script (none, as a cancelled box, once the script is used up). A screen
// opens one kind of box: the logo list one for several files, the firmware tools one for a
// single file (answered with the answer's first file). Opening the other kind fails the
// test.
class ScriptedFileChooser : public FileChooser {
public:
    enum class Kind { SeveralFiles, OneFile };
    struct Box {
        QString filter;
        QString suffix;       // the suffix added to a name typed without one; several files only
        QString initialPath;  // the name proposed, or the file whose folder the box starts in
    };

    explicit ScriptedFileChooser(Kind expected) : m_expected(expected) {}

    std::deque<QStringList> answers;
    std::vector<Box> boxes;

    QStringList OpenFiles(QWidget*, const QString& filter, const QString& defaultSuffix,
                          const QString& initialPath) override {
        EXPECT_EQ(m_expected, Kind::SeveralFiles) << "a box for several files was opened";
        boxes.push_back({filter, defaultSuffix, initialPath});
        return Next();
    }
    QString ChooseFile(QWidget*, const QString& filter, const QString& start) override {
        EXPECT_EQ(m_expected, Kind::OneFile) << "a box for one file was opened";
        boxes.push_back({filter, {}, start});
        const QStringList files = Next();
        return files.isEmpty() ? QString() : files.front();
    }

private:
    QStringList Next() {
        if (answers.empty()) return {};
        QStringList files = answers.front();
        answers.pop_front();
        return files;
    }

    Kind m_expected;
};

}  // namespace kp70::test
