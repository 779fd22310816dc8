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

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Another copy of the program recording into `folder`: a child process holds
// the folder as a running recording does, until it is let go. After fork the
// child makes system calls only.
class OtherCopyRecording {
  public:
    explicit OtherCopyRecording(const QString& folder)
    {
        const QByteArray name = QFile::encodeName(folder);
        int ready[2], control[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(control, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(control[1]);
            const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const char held = 1;
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], &held, 1) != 1)
                ::_exit(1);
            char c = 0;
            ::_exit(int(::read(control[0], &c, 1))); // until the parent lets go
        }
        ::close(ready[1]);
        ::close(control[0]);
        control_ = control[1];
        char c = 0;
        holding_ = pid_ > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~OtherCopyRecording()
    {
        ::close(control_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    bool holding() const { return holding_; }

  private:
    pid_t pid_ = -1;
    int control_ = -1;
    bool holding_ = false;
};

// A recording running in another copy of the program, or in another form of
// this one, holds its film, track and analysis folder: 录制 of any of them is
// refused before anything is asked, and nothing of them changes. Two copies
// starting the same recording at once: the one that holds the folder first
// records, the other is refused before it opens a file.
TEST(RecordFiles, ARunningRecordingsFilesAreRefusedBeforeAnythingIsAsked)
{
    QTemporaryDir dir;
    const QString film = dir.filePath(QStringLiteral("dup.mpg"));
    const QString folder = dir.filePath(QStringLiteral("dup"));
    const QStringList files{film, MakeTrackName(film), folder + QStringLiteral("/dup.sfa")};
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& file : files)
        ASSERT_TRUE(test::writeFileBytes(file, "A's " + QFileInfo(file).suffix().toUtf8()));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const auto refusal = [](const QString& path) {
        return QStringLiteral("录制失败\n'%1'属于正在录制的测试，停止录制后才能录制").arg(path);
    };
    const auto untouched = [&] {
        for (const QString& file : files)
            EXPECT_EQ(readAll(file), "A's " + QFileInfo(file).suffix().toUtf8())
                << file.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"dup.sfa"});
    };
    // 录制 of `typed` in the started station `b`: the boxes it showed.
    const auto record = [&](test::ScriptedStation& b, const QString& typed) {
        CAcquisitionDlg& form = *b.form;
        static_cast<QLineEdit*>(form.control(IDC_FILE))->setText(typed);
        b.prompter.boxes.clear();
        form.OnStartRecord();
        EXPECT_EQ(form.GetUiMode(), ModeIdle);
        EXPECT_EQ(static_cast<QLineEdit*>(form.control(IDC_FILE))->text(), QString());
        return b.prompter.boxTexts();
    };
    {
        SCOPED_TRACE("another copy records dup.mpg");
        OtherCopyRecording other(folder);
        ASSERT_TRUE(other.holding());
        test::ScriptedStation b;
        b.start();
        const struct {
            QString typed, named;
        } rows[] = {{film, film},
                    {MakeTrackName(film), MakeTrackName(film)},
                    {folder, film},
                    {folder + "/x.mpg", folder + "/x.mpg"}};
        for (const auto& row : rows) {
            SCOPED_TRACE(row.typed.toStdString());
            EXPECT_EQ(record(b, row.typed), QStringList{refusal(row.named)});
            EXPECT_TRUE(b.prompter.dialogTitles.isEmpty());
            untouched();
        }
    }
    {
        SCOPED_TRACE("both copies start at once: the other one holds the folder first");
        test::ScriptedStation b;
        b.start();
        std::optional<OtherCopyRecording> other;
        b.prompter.onBox = [&] {
            if (!other)
                other.emplace(folder);
        };
        b.prompter.boxAnswers = {IDYES, IDYES}; // the film, the survey
        const QStringList told = record(b, film);
        ASSERT_TRUE(other && other->holding());
        EXPECT_EQ(told.filter(QStringLiteral("该文件已存在，是否覆盖")).size(), 2);
        EXPECT_EQ(told.filter(QStringLiteral("录制失败")), QStringList{refusal(film)});
        untouched();
    }
    {
        SCOPED_TRACE("once the other copy stopped, 录制 asks as usual");
        test::ScriptedStation b;
        b.start();
        b.prompter.boxAnswers = {IDNO}; // then the save dialog is cancelled
        EXPECT_EQ(record(b, film), QStringList{kOverwrite});
        untouched();
    }
    {
        SCOPED_TRACE("another form of this program records solo.mpg");
        test::ScriptedStation a;
        const QString solo = dir.filePath(QStringLiteral("solo.mpg"));
        static_cast<QLineEdit*>(a.start().control(IDC_FILE))->setText(solo);
        a.form->OnStartRecord();
        ASSERT_EQ(a.form->GetUiMode(), ModeRecording);
        {
            test::ScriptedStation b;
            b.start();
            EXPECT_EQ(record(b, solo), QStringList{refusal(solo)});
        }
        EXPECT_EQ(a.form->GetUiMode(), ModeRecording);
        a.prompter.boxAnswers = {IDOK};
        a.form->OnStopRecord();
    }
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
            // The device's first picture is late: none reaches the film.
            setVideoWindowHook([this](CVideoWnd&) {
                auto* graph = static_cast<CFilterGraph*>(form->graph());
                GstElement* rec = graph->elementByName(kRecorderName);
                GstPad* pad = gst_element_get_static_pad(rec, "sink");
                const auto drop = [](GstPad*, GstPadProbeInfo*, gpointer) {
                    return GST_PAD_PROBE_DROP;
                };
                gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, drop, nullptr, nullptr);
                gst_object_unref(pad);
                gst_object_unref(rec);
            });
            record(film);
            setVideoWindowHook(nullptr);
            ASSERT_EQ(form->GetUiMode(), ModeRecording);
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
