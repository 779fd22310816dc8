// A recording that does not start (its folder cannot be made, the device will
// not run, the user keeps an analysed survey of the name and cancels the
// dialog that follows) leaves no stale name in the file field: the next 录制
// asks for a file again and 回放 opens its dialog.

#include "scripted_station.h"

#include "acquisition/record_files.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(RecordStartFailure, TheFileFieldIsClearedSoRecordAndPlaybackAskAgain)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile film(dir.filePath(QStringLiteral("film.mpg")));
    ASSERT_TRUE(film.open(QIODevice::WriteOnly));
    film.write(QByteArray("\x00\x00\x01\xBA\x00\x00", 6)); // a program stream
    film.close();
    // An analysed survey "kept": its film, and its folder with the ".sfa".
    const QString kept = dir.filePath(QStringLiteral("kept.mpg"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("kept")));
    for (const QString& path : {kept, dir.filePath(QStringLiteral("kept/kept.sfa"))}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    const struct {
        const char* why;
        QString chosen;
        bool deviceFails;
        bool surveyKept; // "否" to replacing it, then the dialog cancelled
    } rows[] = {{"no folder", blocker.fileName() + "/sub/x.mpg", false, false},
                {"no device", dir.filePath(QStringLiteral("y.mpg")), true, false},
                {"no device, over an earlier film", dir.filePath(QStringLiteral("z.mpg")), true,
                 false},
                {"survey kept", kept, false, true}};
    ASSERT_TRUE(test::writeFileBytes(dir.filePath(QStringLiteral("z.mpg")), "old film"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        test::ScriptedStation station;
        CAcquisitionDlg& form = station.start();
        if (row.deviceFails)
            station.graphs.script.failingKinds.insert(GraphKindPreviewRecord);
        station.prompter.fileAnswers.push_back(row.chosen);
        if (row.surveyKept) {
            station.prompter.boxAnswers.push_back(IDNO);
            station.prompter.fileAnswers.push_back(QString());
        }
        form.OnStartRecord();
        ASSERT_EQ(form.GetUiMode(), ModeIdle);
        EXPECT_TRUE(station.prompter.fileAnswers.empty());
        EXPECT_EQ(static_cast<QLineEdit*>(form.control(IDC_FILE))->text(), QString());
        // Nothing was recorded: the analysis folder the start made is gone
        // (the kept survey's own folder stays).
        EXPECT_EQ(QFileInfo::exists(withoutExtension(row.chosen)), row.surveyKept);

        const int dialogs = station.prompter.dialogTitles.size();
        station.prompter.fileAnswers.push_back(film.fileName());
        form.OnOpenPlayback();
        EXPECT_EQ(station.prompter.dialogTitles.size(), dialogs + 1);
        EXPECT_EQ(form.GetUiMode(), ModePlayback);
        form.OnStopRecord();
    }
}

} // namespace
} // namespace bc
