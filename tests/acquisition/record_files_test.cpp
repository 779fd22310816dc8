// The files a recording writes, settled at 录制 before the device is touched:
// an analysed survey of the same name is not replaced unasked, a place that
// cannot be written is told as such (not as a device fault), and a start that
// fails leaves none of the files it made.

#include "scripted_station.h"

#include "acquisition/device_control.h"
#include "acquisition/filter_graph.h"
#include "acquisition/record_files.h"
#include "acquisition/track_file.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/folder_lock.h"
#include "core/program_values.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"
#include "support/no_file_override.h"
#include "support/serial_pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <optional>

namespace bc {
namespace {

const QString kOverwrite = QStringLiteral("该文件已存在，是否覆盖");
const QString kDeviceFault = QStringLiteral("视频采集设备工作不正常,请关闭该应用程序重试");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(RecordFiles, AnAnalysedSurveyOfTheNameIsReplacedOnlyOnYes)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ZK07"));
    const QString survey = folder + QStringLiteral("/ZK07.sfa");
    const QString film = dir.filePath(QStringLiteral("ZK07.mpg"));
    const QString other = dir.filePath(QStringLiteral("ZK08.mpg"));
    const QByteArray analysed("SFA 26 strips, 2 attitudes");
    const QString asked = QDir::toNativeSeparators(survey) + QLatin1Char('\n') + kOverwrite;
    const struct {
        const char* why;
        bool filmExists;
        QString typed;
        std::deque<int> answers;
        std::deque<QString> chosen; // the save dialog's answers; empty cancels
        QStringList questions;
        int dialogs;
        QString recorded; // empty: the start gives up
    } rows[] = {
        {"no, then the dialog is cancelled", false, film, {IDNO}, {}, {asked}, 1, {}},
        {"no, then another name", false, film, {IDNO}, {other}, {asked}, 1, other},
        {"yes", false, film, {IDYES}, {}, {asked}, 0, film},
        {"typed without its extension", false, dir.filePath("ZK07"), {IDYES}, {}, {asked}, 0, film},
        {"the dialog's choice, no, the dialog again", false, {}, {IDNO}, {film}, {asked}, 2, {}},
        {"the film and the survey, yes to both", true, film, {IDYES, IDYES}, {},
         {kOverwrite, asked}, 0, film},
        {"the film and the survey, no to the survey", true, film, {IDYES, IDNO}, {},
         {kOverwrite, asked}, 1, {}},
        // The save dialog asked about the name it gave back, not about the film
        // written when that name has no extension.
        {"the dialog's choice of the film: only the survey", true, {}, {IDYES}, {film}, {asked},
         1, film},
        {"the dialog's choice without the extension, no", true, {}, {IDNO},
         {dir.filePath("ZK07"), QString()}, {kOverwrite}, 2, {}},
        {"the dialog's choice without the extension, yes to both", true, {}, {IDYES, IDYES},
         {dir.filePath("ZK07")}, {kOverwrite, asked}, 1, film},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        QFile::remove(film);
        QFile::remove(MakeTrackName(film));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(test::writeFileBytes(survey, analysed));
        if (row.filmExists) {
            ASSERT_TRUE(test::writeFileBytes(film, "old film"));
        }
        test::ScriptedStation station;
        CAcquisitionDlg& form = station.start();
        static_cast<QLineEdit*>(form.control(IDC_FILE))->setText(row.typed);
        station.prompter.boxAnswers = row.answers;
        station.prompter.fileAnswers = row.chosen;
        const int boxesBefore = int(station.prompter.boxes.size());
        form.OnStartRecord();

        EXPECT_EQ(station.prompter.boxTexts().mid(boxesBefore).filter(kOverwrite), row.questions);
        EXPECT_EQ(station.prompter.dialogTitles, QStringList(row.dialogs, QStringLiteral("保存")));
        if (row.recorded.isEmpty()) {
            EXPECT_EQ(form.GetUiMode(), ModeIdle);
            EXPECT_EQ(form.statusText(), QStringLiteral("文件名为空,录制失败"));
            EXPECT_EQ(readAll(survey), analysed);
            if (row.filmExists) {
                EXPECT_EQ(readAll(film), QByteArray("old film"));
            }
        } else {
            EXPECT_EQ(form.GetUiMode(), ModeRecording);
            EXPECT_EQ(station.graphs.script.lastRequest.mediaPath, row.recorded);
            EXPECT_EQ(form.GetAnalysisFilePath(), recordAnalysisFile(row.recorded));
            station.prompter.boxAnswers = {IDOK};
            form.OnStopRecord();
        }
    }
}

// A recording running in another copy (its lock stands for it here) or in
// another form of this program holds its film, track and analysis folder: 录制
// of them is refused before anything is asked, touching nothing; of two copies
// starting one recording at once, only the first to hold the folder records.
TEST(RecordFiles, ARunningRecordingsFilesAreRefusedBeforeAnythingIsAsked)
{
    QTemporaryDir dir;
    const QString film = dir.filePath(QStringLiteral("dup.mpg"));
    const QString folder = withoutExtension(film);
    const QStringList files{film, MakeTrackName(film), folder + QStringLiteral("/dup.sfa")};
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& file : files)
        ASSERT_TRUE(test::writeFileBytes(file, file.toUtf8()));
    test::ScriptedStation a;
    const QString solo = dir.filePath(QStringLiteral("solo.mpg"));
    static_cast<QLineEdit*>(a.start().control(IDC_FILE))->setText(solo);
    a.form->OnStartRecord();
    ASSERT_EQ(a.form->GetUiMode(), ModeRecording);
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot) +
               QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    };
    const QStringList before = entries();
    test::ScriptedStation b;
    b.start();
    // 录制 of `typed` in b, which records nothing: the boxes it showed.
    const auto record = [&](const QString& typed) {
        static_cast<QLineEdit*>(b.form->control(IDC_FILE))->setText(typed);
        b.prompter.boxes.clear();
        b.form->OnStartRecord();
        EXPECT_EQ(b.form->GetUiMode(), ModeIdle);
        for (const QString& file : files)
            EXPECT_EQ(readAll(file), file.toUtf8());
        EXPECT_EQ(entries(), before);
        return b.prompter.boxTexts();
    };
    const auto refusal = [](const QString& path) {
        return QStringLiteral("录制失败\n'%1'属于正在录制的测试，停止录制后才能录制").arg(path);
    };
    std::optional<FolderLock> other(std::in_place);
    ASSERT_TRUE(other->hold(folder));
    const QString rows[][2] = {{film, film},
                               {MakeTrackName(film), MakeTrackName(film)},
                               {folder, film},
                               {folder + "/x.mpg", folder + "/x.mpg"},
                               {solo, solo}};
    for (const auto& [typed, named] : rows)
        EXPECT_EQ(record(typed), QStringList{refusal(named)}) << typed.toStdString();
    EXPECT_TRUE(b.prompter.dialogTitles.isEmpty());
    other.reset();
    b.prompter.onBox = [&] { // the other copy starts while b asks
        if (!other)
            other.emplace().hold(folder);
    };
    b.prompter.boxAnswers = {IDYES, IDYES};
    const QString survey = QDir::toNativeSeparators(files[2]) + QLatin1Char('\n') + kOverwrite;
    EXPECT_EQ(record(film), (QStringList{kOverwrite, survey, refusal(film)}));
    ASSERT_TRUE(other && other->held());
    other.reset();
    b.prompter.onBox = {};
    b.prompter.boxAnswers = {IDNO}; // then the save dialog is cancelled
    EXPECT_EQ(record(film), QStringList{kOverwrite});
    EXPECT_EQ(a.form->GetUiMode(), ModeRecording);
    a.prompter.boxAnswers = {IDOK};
    a.form->OnStopRecord();
}

// The form on the capture graphs of the test source, as the program runs it.
class RecordStartTest : public ::testing::Test {
  protected:
    RecordStartTest()
    {
        setCaptureSource(QStringLiteral("test:352x288@25"));
        publishDepthHeading(0, 0);
        graphs = makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
        AcquisitionHooks hooks;
        hooks.track = &track;
        hooks.setCaptureTarget = [](const QString&, const QString&, int) {};
        form = std::make_unique<CAcquisitionDlg>(*graphs, station.profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
    }
    ~RecordStartTest() override
    {
        form.reset();
        setCaptureSource(QString());
    }
    void record(const QString& path)
    {
        static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(path);
        form->OnStartRecord();
    }
    QStringList boxesSince(int from) const { return station.prompter.boxTexts().mid(from); }

    QTemporaryDir dir;
    test::ScriptedStation station; // its prompter and profile; its form is not built
    test::TempSettings deviceValues;
    CTrackFile track;
    std::unique_ptr<ICaptureGraphFactory> graphs;
    std::unique_ptr<CAcquisitionDlg> form;
};

// A recording whose file or track cannot be made is refused before the device
// is touched, with the file and the reason; the device's words are kept for
// the device. What the refused start made is gone again.
TEST_F(RecordStartTest, AFileThatCannotBeMadeIsNamedWithItsReason)
{
    // A read-only folder that already holds the recording's analysis folder.
    const QString readOnly = dir.filePath(QStringLiteral("只读"));
    ASSERT_TRUE(QDir().mkpath(readOnly + QStringLiteral("/ZK01")));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
    // A track that cannot be written beside a writable film of an earlier
    // recording (replaced on 是, were the start to go through).
    ASSERT_TRUE(test::writeFileBytes(dir.filePath(QStringLiteral("ZK02.mpg")), "old film"));
    ASSERT_TRUE(test::writeFileBytes(dir.filePath(QStringLiteral("ZK02.ss")), "old track"));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath(QStringLiteral("ZK02.ss")), QFile::ReadOwner));
    // A folder where the film would go.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("ZK03.mpg"))));
    const struct {
        QString film, refused, reason;
        QStringList leftOver; // besides what was there before
    } rows[] = {
        {readOnly + "/ZK01.mpg", readOnly + "/ZK01.mpg", "没有写入权限", {}},
        {dir.filePath("ZK02.mpg"), dir.filePath("ZK02.ss"), "没有写入权限", {}},
        {dir.filePath("ZK03.mpg"), dir.filePath("ZK03.mpg"), "目标是一个目录", {}},
    };
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.film.toStdString());
        const int from = int(station.prompter.boxes.size());
        {
            test::NoFileOverride permissionsHold;
            record(row.film);
        }
        EXPECT_EQ(form->GetUiMode(), ModeIdle);
        const QStringList told = boxesSince(from);
        const QString expected = QStringLiteral("录像文件创建失败:\n%1\n%2")
                                     .arg(QDir::toNativeSeparators(row.refused), row.reason);
        EXPECT_EQ(told.filter(QStringLiteral("录像")), QStringList{expected}) << told.join("|").toStdString();
        EXPECT_EQ(told.filter(QStringLiteral("Error")), QStringList());
        EXPECT_NE(form->statusText(), kDeviceFault);
        EXPECT_FALSE(form->hasGraph());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        EXPECT_EQ(QDir(readOnly).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"ZK01"});
    }
    // Nothing of the earlier recording changed before the start was refused.
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("ZK02.mpg"))), QByteArray("old film"));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("ZK02.ss"))), QByteArray("old track"));
    // The device is fine: the next start with a writable name records.
    record(dir.filePath(QStringLiteral("ZK04.mpg")));
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    station.prompter.boxAnswers = {IDOK};
    form->OnStopRecord();
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A disk that takes no byte: the recording fails as it starts, and its film,
// track and analysis folder are removed when this start made them; files that
// were there before stay. A recording that was made keeps them all, also one
// stopped at once, before the device's first picture reached the film.
TEST_F(RecordStartTest, OnlyAStartThatFailsOnAFullDiskRemovesWhatItMade)
{
    const struct {
        const char* why;
        bool full, earlier, atOnce;
    } rows[] = {{"a new recording on a full disk", true, false, false},
                {"over an earlier recording on a full disk", true, true, false},
                {"a recording made", false, false, false},
                {"stopped at once", false, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const QString film = dir.filePath(QString::fromUtf8(row.why).left(9) + ".mpg");
        const QString trackPath = MakeTrackName(film);
        const QString folder = withoutExtension(film);
        if (row.earlier) {
            ASSERT_TRUE(test::writeFileBytes(film, "old film"));
            ASSERT_TRUE(test::writeFileBytes(trackPath, "old track"));
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        const int from = int(station.prompter.boxes.size());
        if (row.full) {
            test::FileSizeLimit full(0);
            record(film); // "overwrite?" is answered yes
            ASSERT_TRUE(test::waitUntil([&] { return form->GetUiMode() == ModeIdle; }))
                << "the recording went on on a full disk";
        } else if (row.atOnce) {
            setVideoWindowHook([this](CVideoWnd&) { // no picture reaches the film
                auto* graph = static_cast<CFilterGraph*>(form->graph());
                GstElement* rec = graph->elementByName(kRecorderName);
                GstPad* pad = gst_element_get_static_pad(rec, "sink");
                gst_pad_add_probe(
                    pad, GST_PAD_PROBE_TYPE_BUFFER,
                    [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
                    nullptr);
                gst_object_unref(pad);
                gst_object_unref(rec);
            });
            record(film);
            setVideoWindowHook(nullptr);
            form->OnStopRecord();
        } else {
            record(film);
            ASSERT_TRUE(test::waitUntil([&] { return QFileInfo(film).size() > 0; }));
            form->OnStopRecord(); // "stop?" is answered OK
        }
        const QStringList told = boxesSince(from).filter(QStringLiteral("录像文件写入失败"));
        EXPECT_EQ(told.size(), row.full ? 1 : 0);
        const bool kept = row.earlier || !row.full;
        EXPECT_EQ(QFileInfo::exists(film), kept);
        EXPECT_EQ(QFileInfo::exists(trackPath), kept);
        EXPECT_EQ(QFileInfo::exists(folder), kept);
    }
}

} // namespace
} // namespace bc
