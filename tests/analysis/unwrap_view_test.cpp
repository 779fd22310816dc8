// The strip view: live strips down and up the hole with paging, stitching,
// keys and the recording on disk; resident pixels over a long survey; the
// documents; painting and zoom; the writable temp folder.

#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "platform/work_folder.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::ScriptedPrompter;
using bc::test::SyntheticBorehole;

namespace {

constexpr int kRows = 60;
constexpr int kOverlap = 20;

// A view built as the live window builds it, over a survey folder.
struct Station {
    QTemporaryDir dir;
    CSurveyParams settings;
    int formMode = 0;
    std::unique_ptr<CUnWrapView> view;

    Station(int mode, unsigned direction, int aspectAutoFit = 1) : formMode(mode)
    {
        settings.moveDirection = direction;
        settings.searchRangeIndex = 7; // no entry: the default range
        settings.aspectAutoFit = aspectAutoFit;
        view = std::make_unique<CUnWrapView>(
            WorkspaceContext{&settings, [this] { return formMode; }, sfaPath(), dir.path()});
        view->resize(400, 300);
    }
    QString sfaPath() const { return dir.filePath(QStringLiteral("survey.sfa")); }
};

// The k-th of `count` strips of a survey going down (or up) the wall.
std::unique_ptr<CUnWrapImage> surveyStrip(const SyntheticBorehole& wall, int k, int count, bool up,
                                          int rows = kRows, int overlap = kOverlap)
{
    const int n = up ? count - 1 - k : k;
    const int top = (n * (rows - overlap)) % std::max(1, wall.length() - rows);
    return std::make_unique<CUnWrapImage>(wall.strip(1000 + 200 * n, top, rows));
}

std::vector<int> residentStrips(const CUnWrapData& d)
{
    std::vector<int> held;
    for (int i = 0; i < d.GetItemCount(); ++i)
        if (d.GetItem(i)->hasPixels())
            held.push_back(i);
    return held;
}

// The survey as a crash would leave it: its index, and how many of the
// strips it lists have no file.
std::unique_ptr<CUnWrapData> reload(const QString& sfa, int* missing = nullptr)
{
    auto d = std::make_unique<CUnWrapData>(sfa, QFileInfo(sfa).absolutePath());
    ErrorReport error;
    if (!d->LoadSfa(&error))
        return nullptr;
    for (int p = 0; missing && p < d->GetPageCount(10); ++p)
        *missing += d->LoadPageImages(p, 10);
    return d;
}

// Twelve strips 120 columns wide written with their index.
QString writeSurvey(const QString& sfa)
{
    const SyntheticBorehole wall(120, 1000, 5, 4);
    CUnWrapData d(sfa, QFileInfo(sfa).absolutePath());
    for (int k = 0; k < 12; ++k)
        d.InsertImage(surveyStrip(wall, k, 12, false));
    EXPECT_TRUE(d.SaveSfa(12, true));
    return sfa;
}

} // namespace

TEST(StripView, LiveStripsPageStitchAndRecord)
{
    const int count = 25;
    const SyntheticBorehole wall(720, count * kRows, 7);
    struct Case {
        int formMode; // 1 live, 2 recording
        bool up;
    };
    for (const Case c : {Case{1, false}, Case{2, false}, Case{1, true}, Case{2, true}}) {
        SCOPED_TRACE(testing::Message() << "mode " << c.formMode << " up " << c.up);
        ScriptedPrompter prompter;
        Station st(c.formMode, c.up ? 1 : 0);
        CUnWrapView& view = *st.view;
        QSignalSpy pages(&view, &CUnWrapView::pageCountChanged);
        registerStripSink(&view, &view); // as the live window does
        for (int k = 0; k < count; ++k) {
            registeredStripSink()->AddCapturedImage(surveyStrip(wall, k, count, c.up));
            const CUnWrapData& d = *view.GetData();
            const int first = c.up ? 0 : k / 10 * 10, end = std::min(first + 10, k + 1);
            ASSERT_EQ(view.currentPage(), first / 10) << k;
            ASSERT_EQ(pages.back().at(0).toInt(), k / 10 + 1) << k;
            // Only the current page holds pixels; while recording, every
            // other strip is on disk and listed in the index there.
            std::vector<int> onPage;
            std::vector<int32_t> written, listed;
            for (int i = 0; i <= k; ++i)
                if (i >= first && i < end)
                    onPage.push_back(i);
                else
                    written.push_back(d.GetItem(i)->depthKey);
            ASSERT_EQ(residentStrips(d), onPage) << k;
            int missing = 0;
            const auto onDisk = c.formMode == 2 ? reload(st.sfaPath(), &missing) : nullptr;
            for (int i = 0; onDisk && i < onDisk->GetItemCount(); ++i)
                listed.push_back(onDisk->GetItem(i)->depthKey);
            ASSERT_EQ(listed, c.formMode == 2 ? written : std::vector<int32_t>()) << k;
            ASSERT_EQ(missing, 0) << k;
        }
        const CUnWrapData& d = *view.GetData();
        for (int i = 0; i < count; ++i) {
            // Down the hole each page starts afresh; up the hole each strip
            // is matched against the one that arrived after it, above it.
            const bool stitched = c.up ? i > 0 : i % 10 != 0;
            EXPECT_EQ(d.GetItem(i)->shownHeight, stitched ? kRows - kOverlap : kRows) << i;
        }

        // The arrow keys turn the selected strip and change its shown rows.
        const int selected = view.currentPage() * 10 + 2;
        CUnWrapImage before = *d.GetItem(selected);
        view.setSelectedItem(selected);
        QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(&view, Qt::Key_Up);
        QTest::keyClick(&view, Qt::Key_Escape);
        const CUnWrapImage& after = *d.GetItem(selected);
        EXPECT_EQ(after.shownHeight, before.shownHeight - 1);
        EXPECT_EQ(0, std::memcmp(after.row(5), before.row(5) + 30, 3 * (720 - 10)));

        // Gone without anyone closing its document: a recording is whole on disk.
        st.view.reset();
        int missing = 0;
        const auto onDisk = reload(st.sfaPath(), &missing);
        EXPECT_EQ(onDisk ? onDisk->GetItemCount() : 0, c.formMode == 2 ? count : 0);
        EXPECT_EQ(missing, 0);
        if (onDisk) {
            EXPECT_EQ(onDisk->GetItem(selected)->shownHeight, before.shownHeight - 1);
        }
        EXPECT_TRUE(prompter.boxes.empty());
    }
}

TEST(StripView, ResidentPixelsStayFlatOverALongRecording)
{
    const int count = 2500;
    const SyntheticBorehole wall(64, 2000, 3);
    for (const bool up : {false, true}) {
        SCOPED_TRACE(up ? "up" : "down");
        ScriptedPrompter prompter;
        Station st(2, up ? 1 : 0);
        size_t most = 0;
        for (int k = 0; k < count; ++k) {
            st.view->AddCapturedImage(surveyStrip(wall, k, count, up, 40, 10));
            most = std::max(most, residentStrips(*st.view->GetData()).size());
        }
        EXPECT_LE(most, 11u);
        st.view.reset();
        const auto onDisk = reload(st.sfaPath());
        EXPECT_EQ(onDisk ? onDisk->GetItemCount() : 0, count);
        EXPECT_EQ(QDir(st.dir.path()).entryList({QStringLiteral("*.jpg")}).size(), count);
        EXPECT_TRUE(prompter.boxes.empty());
    }
}

TEST(StripView, ARecordingThatCannotBeWrittenKeepsItsStripsAndSaysSoOnce)
{
    ScriptedPrompter prompter;
    Station st(2, 0);
    WorkspaceContext ctx = st.view->context();
    ctx.recordingFolder = writeSurvey(st.sfaPath()); // a file: nothing goes into it
    ctx.recordingSfaPath = ctx.recordingFolder + QStringLiteral("/x.sfa");
    CUnWrapView view(ctx);
    const SyntheticBorehole wall(720, 2000, 7);
    for (int k = 0; k < 25; ++k)
        view.AddCapturedImage(surveyStrip(wall, k, 25, false));
    QCoreApplication::processEvents();
    EXPECT_EQ(residentStrips(*view.GetData()).size(), 25u);
    EXPECT_EQ(prompter.boxes.size(), 1u);
}

TEST(StripView, Documents)
{
    // A survey of 12 strips, the same read-only, a damaged file, four pictures.
    QTemporaryDir folder;
    const QString sfa = writeSurvey(folder.filePath(QStringLiteral("hole.sfa")));
    const QString readOnly = folder.filePath(QStringLiteral("ro.sfa"));
    const QString damaged = folder.filePath(QStringLiteral("damaged.sfa"));
    QFile::copy(sfa, readOnly);
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    QFile::copy(folder.filePath(QStringLiteral("1000.jpg")), damaged);
    QStringList jpgs;
    for (const char* name : {"1200.jpg", "1100.JPG", "abc.jpg", "1500_1.jpg"}) {
        jpgs << folder.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QImage(120, 40, QImage::Format_RGB888).save(jpgs.back(), "JPG"));
    }
    struct Case {
        const char* name;
        char command; // o open, n open then new, j pictures
        QStringList answer;
        std::vector<int32_t> keys; // first and last; none: no document
        QStringList boxWords;
    };
    const Case cases[] = {
        {"open", 'o', {sfa}, {1000, 3200}, {}},
        {"open read-only", 'o', {readOnly}, {1000, 3200}, {}},
        {"failed open", 'o', {damaged}, {}, {QStringLiteral("SFA")}},
        {"cancelled open", 'o', {}, {}, {}},
        {"new", 'n', {sfa}, {}, {}},
        {"pictures", 'j', jpgs, {1100, 1200}, {"abc.jpg", "1500_1.jpg"}},
        {"no picture named by depth", 'j', {jpgs[2]}, {}, {QStringLiteral("abc.jpg")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        Station st(0, 0);
        QSignalSpy pages(st.view.get(), &CUnWrapView::pageCountChanged);
        prompter.multiFileAnswers.push_back(c.answer);
        for (const QString& answer : c.answer)
            prompter.fileAnswers.push_back(answer);
        if (c.command == 'j')
            st.view->OnOpenJpg();
        else
            st.view->OnFileOpen();
        if (c.command == 'n')
            st.view->OnFileNew();
        const CUnWrapData* d = st.view->GetData();
        ASSERT_EQ(d != nullptr, !c.keys.empty());
        const int count = d ? d->GetItemCount() : 0;
        if (d) {
            EXPECT_EQ(d->GetItem(0)->depthKey, c.keys.front());
            EXPECT_EQ(d->GetItem(count - 1)->depthKey, c.keys.back());
            EXPECT_EQ(residentStrips(*d).size(), size_t(std::min(10, count)));
            EXPECT_EQ(pages.back().at(0).toInt(), (count + 9) / 10);
        }
        EXPECT_EQ(st.view->GetPageCount(), (count + 9) / 10);
        ASSERT_EQ(prompter.boxes.size(), c.boxWords.isEmpty() ? 0u : 1u);
        for (const QString& word : c.boxWords)
            EXPECT_TRUE(prompter.boxes[0].text.contains(word));
    }
}

TEST(StripView, PagingKeysSaveAndZoom)
{
    ScriptedPrompter prompter;
    Station st(0, 0, 0);
    prompter.fileAnswers.push_back(writeSurvey(st.sfaPath()));
    CUnWrapView& view = *st.view;
    view.OnFileOpen();
    CUnWrapData& d = *view.GetData();

    // Aligning page 0 again hides the overlaps; leaving it shows them again.
    d.AutoAlign(0, 10, view.stitchWork(), view.templateSize(), view.searchRange());
    EXPECT_EQ(d.GetItem(1)->shownHeight, kRows - kOverlap);
    view.setPageReStitched(true);
    for (const int p : {1, 1, 2, -1}) { // then the current page, the page count, -1: nothing
        view.GoToPage(p);
        EXPECT_EQ(view.currentPage(), 1);
        EXPECT_EQ(residentStrips(d), std::vector<int>({10, 11}));
    }
    EXPECT_EQ(d.GetItem(1)->shownHeight, kRows);

    // Keys on the selected strip, then "保存": its file and record are new.
    const CUnWrapImage unturned = *d.GetItem(11);
    view.setSelectedItem(11);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
    view.OnFileSave();
    const auto onDisk = reload(st.sfaPath());
    ASSERT_TRUE(onDisk);
    ASSERT_EQ(onDisk->LoadPageImages(1, 10), 0);
    EXPECT_EQ(onDisk->GetItem(11)->shownHeight, kRows - 10);
    const int px = 3 * 40; // turned right by 10 columns: column 50 shows old column 40
    EXPECT_NEAR(onDisk->GetItem(11)->row(30)[px + 30], unturned.row(30)[px], 24);

    // The strips are painted right of the label column, under the ruler;
    // zoom stops where the painter stops.
    view.GoToPage(0);
    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const CUnWrapImage& first = *d.GetItem(0);
    const uint8_t* rgb = first.row(first.rows - 1 - 3) + 3 * 7;
    EXPECT_EQ(shot.pixelColor(kPageLeftMargin + 7, kPageTopMargin + 3),
              QColor(rgb[2], rgb[1], rgb[0]));
    EXPECT_EQ(view.verticalScrollBar()->maximum(),
              d.GetPageSize(0, 10, 1.0f, 1.0f).height() + 80 - view.viewport()->height());
    for (int i = 0; i < 40; ++i)
        view.ZoomIn();
    EXPECT_EQ(view.zoom(), kMaxZoom);
    for (int i = 0; i < 80; ++i)
        view.ZoomOut();
    EXPECT_EQ(view.zoom(), kMinZoom);
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST(WorkFolder, FallsBackToTheUserFolder)
{
    QTemporaryDir base;
    const QString ok = base.filePath(QStringLiteral("a")), blocked = base.filePath("file");
    QFile(blocked).open(QIODevice::WriteOnly);
    const QString cases[][3] = {// program folder, user folder, temp folder
                                {ok, blocked, ok + "/temp"},
                                {blocked, ok, ok + "/temp"},
                                {blocked, blocked, QString()}};
    for (const auto& c : cases) {
        ErrorReport error;
        EXPECT_EQ(workspaceTempFolderIn(c[0], c[1], &error), c[2]);
        EXPECT_EQ(error.text, c[2].isEmpty() ? "创建目录" + blocked + "/temp失败！" : QString());
    }
}
