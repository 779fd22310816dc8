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
#include <QFile>
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
        settings.itemsPerPage = 10;
        settings.searchRangeIndex = 7; // no entry: the default range
        settings.aspectAutoFit = aspectAutoFit;
        WorkspaceContext ctx;
        ctx.settings = &settings;
        ctx.formMode = [this] { return formMode; };
        ctx.recordingSfaPath = sfaPath();
        ctx.recordingFolder = dir.path();
        view = std::make_unique<CUnWrapView>(ctx);
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

// The survey as a crash would leave it: its index and files on disk.
std::unique_ptr<CUnWrapData> reload(const QString& sfa, int* missing = nullptr)
{
    auto d = std::make_unique<CUnWrapData>(sfa, QFileInfo(sfa).absolutePath());
    ErrorReport error;
    if (!d->LoadSfa(&error))
        return nullptr;
    if (missing) {
        *missing = 0;
        for (int p = 0; p < d->GetPageCount(10); ++p)
            *missing += d->LoadPageImages(p, 10);
    }
    return d;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
            const int page = c.up ? 0 : k / 10;
            ASSERT_EQ(view.currentPage(), page) << k;
            ASSERT_EQ(view.GetPageCount(), k / 10 + 1) << k;
            ASSERT_EQ(pages.back().at(0).toInt(), k / 10 + 1) << k;
            // Only the current page holds pixels.
            std::vector<int> onPage;
            for (int i = page * 10; i < std::min(page * 10 + 10, k + 1); ++i)
                onPage.push_back(i);
            ASSERT_EQ(residentStrips(d), onPage) << k;
            if (c.formMode != 2)
                continue;
            // Every strip off the page is on disk, and so is the index listing them.
            std::vector<int32_t> written, listed;
            for (int i = 0; i <= k; ++i)
                if (i < page * 10 || i >= page * 10 + 10)
                    written.push_back(d.GetItem(i)->depthKey);
            int missing = -1;
            const auto onDisk = reload(st.sfaPath(), &missing);
            for (int i = 0; onDisk && i < onDisk->GetItemCount(); ++i)
                listed.push_back(onDisk->GetItem(i)->depthKey);
            ASSERT_EQ(listed, written) << k;
            EXPECT_EQ(missing, written.empty() ? -1 : 0) << k;
        }
        const CUnWrapData& d = *view.GetData();
        for (int i = 0; i < count; ++i) {
            // Down the hole each page starts afresh; up the hole each strip
            // is matched against the one that arrived after it, above it.
            const bool stitched = c.up ? i > 0 : i % 10 != 0;
            EXPECT_EQ(d.GetItem(i)->shownHeight, stitched ? kRows - kOverlap : kRows) << i;
            EXPECT_EQ(d.GetItem(i)->depthKey, 1000 + 200 * i);
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

        if (c.formMode == 2) {
            // Gone without its document being closed by anyone: every strip
            // and the index are on disk.
            st.view.reset();
            int missing = -1;
            const auto onDisk = reload(st.sfaPath(), &missing);
            ASSERT_TRUE(onDisk);
            EXPECT_EQ(onDisk->GetItemCount(), count);
            EXPECT_EQ(missing, 0);
            EXPECT_EQ(onDisk->GetItem(selected)->shownHeight, before.shownHeight - 1);
        } else {
            EXPECT_EQ(QDir(st.dir.path()).entryList(QDir::Files).size(), 0);
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
        ASSERT_TRUE(onDisk);
        EXPECT_EQ(onDisk->GetItemCount(), count);
        EXPECT_EQ(QDir(st.dir.path()).entryList({QStringLiteral("*.jpg")}).size(), count);
        EXPECT_TRUE(prompter.boxes.empty());
    }
}

TEST(StripView, ARecordingThatCannotBeWrittenKeepsItsStripsAndSaysSoOnce)
{
    ScriptedPrompter prompter;
    Station st(2, 0);
    // The survey folder is a file: nothing can be written into it.
    WorkspaceContext ctx = st.view->context();
    ctx.recordingFolder = writeSurvey(st.sfaPath());
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
    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write("not an analysis file") > 0);
    out.close();
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
        int pages;
        QStringList boxWords;
    };
    const Case cases[] = {
        {"open", 'o', {sfa}, {1000, 3200}, 2, {}},
        {"open read-only", 'o', {readOnly}, {1000, 3200}, 2, {}},
        {"failed open", 'o', {damaged}, {}, 0, {QStringLiteral("SFA")}},
        {"cancelled open", 'o', {}, {}, 0, {}},
        {"new", 'n', {sfa}, {}, 0, {}},
        {"pictures",
         'j',
         jpgs,
         {1100, 1200},
         1,
         {QStringLiteral("abc.jpg"), QStringLiteral("1500_1.jpg")}},
        {"no picture named by depth", 'j', {jpgs[2]}, {}, 0, {QStringLiteral("abc.jpg")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        Station st(0, 0);
        QSignalSpy pages(st.view.get(), &CUnWrapView::pageCountChanged);
        if (c.command == 'j') {
            prompter.multiFileAnswers.push_back(c.answer);
            st.view->OnOpenJpg();
        } else {
            for (const QString& answer : c.answer)
                prompter.fileAnswers.push_back(answer);
            st.view->OnFileOpen();
            if (c.command == 'n')
                st.view->OnFileNew();
        }
        const CUnWrapData* d = st.view->GetData();
        ASSERT_EQ(d != nullptr, !c.keys.empty());
        if (d) {
            EXPECT_EQ(d->GetItem(0)->depthKey, c.keys.front());
            EXPECT_EQ(d->GetItem(d->GetItemCount() - 1)->depthKey, c.keys.back());
            EXPECT_EQ(residentStrips(*d).size(), size_t(std::min(10, d->GetItemCount())));
            EXPECT_EQ(pages.back().at(0).toInt(), c.pages);
        }
        EXPECT_EQ(st.view->GetPageCount(), c.pages);
        ASSERT_EQ(prompter.boxes.size(), c.boxWords.isEmpty() ? 0u : 1u);
        for (const QString& word : c.boxWords)
            EXPECT_TRUE(prompter.boxes[0].text.contains(word));
    }
}

TEST(StripView, PagingKeysAndSave)
{
    ScriptedPrompter prompter;
    Station st(0, 0, 0);
    writeSurvey(st.sfaPath());
    prompter.fileAnswers.push_back(st.sfaPath());
    CUnWrapView& view = *st.view;
    view.OnFileOpen();
    CUnWrapData& d = *view.GetData();

    // Aligning page 0 again hides the overlaps; leaving it shows them again.
    d.AutoAlign(0, 10, view.stitchWork(), view.templateSize(), view.searchRange());
    EXPECT_EQ(d.GetItem(1)->shownHeight, kRows - kOverlap);
    view.setPageReStitched(true);
    for (const int p : {1, 1, 2, -1}) { // the current page, the page count, -1: nothing
        view.GoToPage(p);
        EXPECT_EQ(view.currentPage(), 1);
        EXPECT_EQ(residentStrips(d), std::vector<int>({10, 11}));
    }
    EXPECT_EQ(d.GetItem(1)->shownHeight, kRows);

    // A key on the selected strip, then "保存": its file and record are new.
    const QString file = d.GetItem(11)->jpgPath(st.dir.path());
    const QByteArray before = readAll(file);
    view.setSelectedItem(11);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
    view.OnFileSave();
    EXPECT_NE(readAll(file), before);
    const auto onDisk = reload(st.sfaPath());
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->GetItem(11)->shownHeight, kRows - 10);

    // The strips are painted right of the label column, under the ruler;
    // zoom stops where the painter stops.
    view.GoToPage(0);
    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const CUnWrapImage& first = *d.GetItem(0);
    const uint8_t* px = first.row(first.rows - 1 - 3) + 3 * 7;
    EXPECT_EQ(shot.pixelColor(kPageLeftMargin + 7, kPageTopMargin + 3),
              QColor(px[2], px[1], px[0]));
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
    const QString program = base.filePath(QStringLiteral("program"));
    const QString user = base.filePath(QStringLiteral("user"));
    const QString blocked = base.filePath(QStringLiteral("file"));
    QFile(blocked).open(QIODevice::WriteOnly);
    struct Case {
        QString programFolder, userFolder, expected;
    };
    const Case cases[] = {
        {program, user, program + QStringLiteral("/temp")},
        {blocked, user, user + QStringLiteral("/temp")},
        {blocked, blocked, QString()},
    };
    for (const Case& c : cases) {
        ErrorReport error;
        EXPECT_EQ(workspaceTempFolderIn(c.programFolder, c.userFolder, &error), c.expected);
        EXPECT_EQ(error.isEmpty(), !c.expected.isEmpty());
        if (c.expected.isEmpty()) {
            EXPECT_EQ(error.text, QStringLiteral("创建目录%1/temp失败！").arg(blocked));
        }
    }
}
