// Page pictures, checked by their pixels in memory and in the files written:
// drawn without a window, and exported by the strip view's commands.

#include "analysis/d3d_frame.h"
#include "analysis/page_image.h"
#include "analysis/report_output.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

const QRgb kBlue = qRgb(20, 60, 200), kGreen = qRgb(30, 180, 40), kRed = qRgb(255, 0, 0),
           kLime = qRgb(0, 255, 0);

// Offers back the path a save dialog proposes, and notes its filter.
struct OfferingPrompter : ScriptedPrompter {
    QString offered, filter;
    QString saveFileName(QWidget*, const QString&, const QString& dir, const QString& f) override
    {
        filter = f;
        return offered = dir;
    }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHoldsFreedMemory = true;
#else
constexpr bool kHoldsFreedMemory = false;
#endif

// A value of /proc/self/status in bytes ("VmHWM:"); -1 when it cannot be read.
qint64 statusBytes(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').front().toLongLong() * 1024;
    return -1;
}

// How far the process's resident memory rose above where it stood while
// `work` ran: its peak (the kernel's high-water mark, reset first) less what
// it held before. -1 when the mark cannot be reset.
qint64 peakRise(const std::function<void()>& work)
{
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1)
        return -1;
    reset.close();
    const qint64 before = statusBytes("VmHWM:");
    work();
    return before < 0 ? -1 : statusBytes("VmHWM:") - before;
}

int bmpBitsPerPixel(const QString& path)
{
    const QByteArray head = fileBytes(path).left(30);
    return head.size() == 30 ? int(uint8_t(head.at(28))) : 0;
}

// A survey of ten strips `width` x `height` from 1.00 m, their pixels not
// loaded.
void addUnloadedStrips(CUnWrapData& data, int width, int height)
{
    for (int i = 0; i < 10; ++i) {
        auto strip = std::make_unique<CUnWrapImage>(1000 + 100 * i, uint16_t(0));
        strip->width = width;
        strip->shownHeight = height;
        data.InsertImage(std::move(strip), false);
    }
}

} // namespace

TEST(PageImage, PageAndTextureInMemoryAndInFiles)
{
    // Strips at 12.50 m (10 rows) and 13.40 m (12 rows, bottom row red) and a
    // red line on the first.
    CUnWrapData data(QStringLiteral("/x/a.sfa"), QStringLiteral("/x"));
    data.InsertImage(flatStrip(12500, 40, 10, kBlue), false);
    data.InsertImage(colourStrip(13400, 40, 12, [](int, int y) { return y ? kGreen : kRed; }),
                     false);
    data.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 12700.0f),
                                                  CShapePoint(2.5f, 12700.0f), 0, 3, 0xFF));
    PageViewState state;
    state.currentPage = 0;
    state = PageStateFor(data, state, 0, false);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(PageImageName(data, 0, state.perPage), QStringLiteral("12.50-13.40"));
    QLocale::setDefault(before);

    QTemporaryDir dir;
    const QString jpg = dir.filePath("p.jpg"), bmp = dir.filePath("p.bmp");
    ASSERT_TRUE(SavePageImage(data, state, jpg, 0));
    ASSERT_TRUE(SavePageImage(data, state, bmp, 1));
    EXPECT_EQ(bmpBitsPerPixel(bmp), 24);
    for (const QImage& image : {RenderPageImage(data, state), QImage(bmp, "BMP")}) {
        ASSERT_EQ(image.size(), QSize(100, 72));
        EXPECT_EQ(std::tuple(image.pixel(65, 52), image.pixel(65, 65), image.pixel(65, 71)),
                  std::tuple(kBlue, kGreen, kRed))
            << "buffer row 0 at the bottom";
        for (int x = 60; x < 100; ++x)
            ASSERT_EQ(image.pixel(x, 48), qRgb(0, 0, 0)) << "the ruler at " << x;
        EXPECT_EQ(image.pixel(20, 10), qRgb(255, 255, 255)) << "no page header";
        EXPECT_EQ(image.pixel(70, 54), kRed) << "the shape";
    }
    const QImage lossy(jpg, "JPG");
    ASSERT_EQ(lossy.size(), QSize(100, 72));
    for (const auto& [x, y, want] : {std::tuple{95, 53, kBlue}, {95, 66, kGreen}, {80, 48, 0u}})
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((lossy.pixel(x, y) >> shift) & 0xFF), int((want >> shift) & 0xFF), 16);

    // The cylinder texture: the strips alone, the page's size without margins.
    const QString path = dir.filePath(QStringLiteral("texture.bmp"));
    ASSERT_TRUE(SavePageTexture(data, state, path));
    EXPECT_EQ(bmpBitsPerPixel(path), 24);
    const QImage texture(path, "BMP");
    ASSERT_EQ(texture.size(), QSize(40, 22));
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(texture.pixel(x, y), y < 10    ? kBlue
                                           : y == 21 ? kRed
                                                     : kGreen)
                << x << "," << y;

    ErrorReport error;
    EXPECT_FALSE(SavePageTexture(data, state, dir.filePath("no/t.bmp"), &error));
    EXPECT_TRUE(error.text.startsWith(QStringLiteral("创建临时位图失败\n")));
}

TEST(PageImage, ViewExportsAllPagesKeepAnUnsavedTurnAndEndOnTheLastPage)
{
    // Five BMP strips 20 x 4 at 1.00 m .. 1.40 m, two a page, column 0 red.
    CaptureFormatScope bmp(1);
    OfferingPrompter prompter;
    StripViewFixture s(0, 2);
    s.settings.aspectAutoFit = 0;
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        auto item = colourStrip(1000 + 100 * i, 20, 4, [](int x, int) { return x ? kLime : kRed; });
        EXPECT_TRUE(item->SaveBmp(s.dir.path()));
        files << item->bmpPath(s.dir.path());
    }
    CUnWrapView& view = s.build();
    prompter.multiFileAnswers.push_back(files);
    view.OnOpenJpg();
    ASSERT_EQ(view.GetPageCount(), 3);
    view.GoToPage(1);
    // Turned left, the red column goes round to 19.
    view.GetData()->OnItemKey(2, Qt::Key_Left, false);

    prompter.fileAnswers.push_back(s.dir.path());
    view.OnExportAllPages();
    EXPECT_EQ(prompter.dialogTitles.last(), QStringLiteral("请选择一个保存路径:"));
    const QDir out(s.dir.filePath(QStringLiteral("拼接图")));
    EXPECT_EQ(out.entryList(QDir::Files),
              QStringList({"1.00-1.10.bmp", "1.20-1.30.bmp", "1.40-1.40.bmp"}));
    const QImage page1(out.filePath(QStringLiteral("1.20-1.30.bmp")));
    EXPECT_EQ(page1.pixel(60 + 19, 50), kRed) << "the turn as shown";
    EXPECT_EQ(page1.pixel(60 + 19, 54), kLime) << "the next strip as on disk";
    EXPECT_EQ(view.currentPage(), 2);

    view.OnFileSave();
    EXPECT_EQ(QImage(s.dir.filePath(QStringLiteral("1200.bmp"))).pixel(19, 0), kRed);

    for (int format : {0, 1}) {
        currentCaptureFormat = format;
        view.OnExportCurrentPage();
        const QString name = format == 0 ? "1.40-1.40.jpg" : "1.40-1.40.bmp";
        EXPECT_EQ(prompter.offered, s.dir.filePath(name));
        EXPECT_EQ(QImage(prompter.offered, format == 0 ? "JPG" : "BMP").size(), QSize(80, 54));
        EXPECT_TRUE(prompter.filter.contains(format == 0 ? "*.JPG *.jpg" : "*.BMP *.bmp"));
    }

    // (The texture file itself, shared by every view of the program folder,
    // is read back by the cylinder test alone, so that test programs running
    // side by side do not write it under each other.)
    EXPECT_EQ(RenderPageTexture(*view.GetData(), view.pageState()).size(), QSize(20, 4))
        << "the last page's one strip";
}

// Five strips 40 rows high at 1.00 m .. 1.40 m, half a pixel a mm: 1.35 m
// (y 174) would stand under 1.40 m (raised to y 184), and is left out.
TEST(PageImage, TheLastTwoDepthLabelsDoNotOverlap)
{
    CUnWrapData data(QStringLiteral("/x/a.sfa"), QStringLiteral("/x"));
    for (int i = 0; i < 5; ++i)
        data.InsertImage(flatStrip(1000 + 100 * i, 40, 40, kBlue), false);
    const QImage image = RenderPageImage(data, PageStateFor(data, PageViewState{}, 0, false));
    auto inkIn = [&image](int top, int bottom) {
        int ink = 0;
        for (int y = kPageTopMargin + top; y < kPageTopMargin + bottom; ++y)
            for (int x = 0; x < kPageLeftMargin; ++x)
                ink += qGray(image.pixel(x, y)) < 128;
        return ink;
    };
    EXPECT_EQ(std::tuple(inkIn(150, 159) > 0, inkIn(175, 184), inkIn(184, 199) > 0),
              std::tuple(true, 0, true))
        << "1.30m, no 1.35m, 1.40m";
}

// A depth label of a hole a kilometre deep ("1234.70m") is wider than its
// column in the usual size in most fonts, the deepest a survey holds
// ("2147000.00m") in every one: it is drawn smaller rather than cut at the
// column's left edge, in the depth scale and in the live window's strip
// labels alike, whatever font the painter finds.
TEST(PageImage, DepthLabelsOfADeepHoleKeepEveryDigit)
{
    for (const auto& [depth, frameMode] :
         {std::pair(1234700, 0), std::pair(1234700, 1), std::pair(2147000000, 0)}) {
        SCOPED_TRACE(testing::Message() << depth << " mm, label mode " << frameMode);
        CUnWrapData data(QStringLiteral("/x/a.sfa"), QStringLiteral("/x"));
        for (int i = 0; i < 5; ++i)
            data.InsertImage(flatStrip(depth + 100 * i, 40, 40, kBlue), false);
        PageViewState view;
        view.frameMode = frameMode;
        const QImage image = RenderPageImage(data, PageStateFor(data, view, 0, false));
        int ink = 0, atTheEdge = 0;
        for (int y = kPageTopMargin; y < kPageTopMargin + 60; ++y)
            for (int x = 0; x < kPageLeftMargin; ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    ++ink;
                    atTheEdge += x == 0;
                }
        EXPECT_GT(ink, 40) << "the first labels are drawn";
        EXPECT_EQ(atTheEdge, 0) << "a label runs off the column's left edge";
    }
}

// The cylinder goes round the page's width + 70 pixels and stands its
// height + 50, the page as the view shows it (zoomed, not stretched here).
TEST(PageImage, TheCylinderGoesRoundThePageWidthPlus70AndStandsItsHeightPlus50)
{
    const struct {
        int zoomIns;
        int pageWidth, pageHeight;
    } cases[] = {{0, 100, 30}, {1, 125, 36}}; // 12.5 rows a strip are 12
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoomIns);
        CaptureFormatScope bmp(1);
        ScriptedPrompter prompter;
        StripViewFixture s;
        s.settings.aspectAutoFit = 0;
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            auto item = flatStrip(1000 + 100 * i, 100, 10, kBlue);
            ASSERT_TRUE(item->SaveBmp(s.dir.path()));
            files << item->bmpPath(s.dir.path());
        }
        CUnWrapView& view = s.build();
        prompter.multiFileAnswers.push_back(files);
        view.OnOpenJpg();
        for (int i = 0; i < c.zoomIns; ++i)
            view.ZoomIn();
        view.CreateCylinderImage();
        const auto* frame = view.findChild<CD3DFrame*>();
        ASSERT_TRUE(frame);
        EXPECT_NEAR(frame->input().radius, (c.pageWidth + 70) / (2 * M_PI), 1e-3);
        EXPECT_EQ(frame->input().height, float(c.pageHeight + 50));
        // The texture as read back from its file (which another running
        // copy may have written again since).
        EXPECT_EQ(frame->input().texture.size(), QSize(c.pageWidth, c.pageHeight));
    }
    // A page past the int range stays a finite cylinder.
    EXPECT_FLOAT_EQ(CylinderSizeFor({INT_MAX, INT_MAX}).height, float(int64_t(INT_MAX) + 50));
}

// One page picture, drawn and written in either capture format or kept in
// memory, takes no more memory than its share of the cap: the largest one
// (kMaxPagePicturePixels) within kMaxPagePictureBytes. A page of ten strips
// 1600 x 1000 (16 million pixels, its notes picture 23 million): each
// picture well above the sizes the allocator keeps for reuse, so that its
// every byte shows in the resident memory. The strips' pixels are not
// loaded: each strip drawn takes a passing copy of its own pixels, which is
// the strip's and not the picture's (and which the sanitizer build keeps
// for a while after it is freed).
TEST(PageImage, OnePagePictureTakesNoMoreMemoryThanItsShareOfTheCap)
{
    CUnWrapData data(QStringLiteral("/x/a.sfa"), QStringLiteral("/x"));
    addUnloadedStrips(data, 1600, 1000);
    data.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 1200.0f),
                                                  CShapePoint(2.5f, 1300.0f), 0, 3, 0xFF));
    PageViewState view;
    view.currentPage = 0;
    const PageViewState state = PageStateFor(data, view, 0, false);
    const QSize page = PageImageSize(data, state), texture = PageTextureSize(data, state);
    const QSize notes = RenderNotesPicture(data, state).size(); // fonts and coders loaded
    ASSERT_EQ(page, QSize(1660, 10050));
    ASSERT_GT(notes.width(), page.width());
    QTemporaryDir dir;
    ReportJob job;
    job.pictureFolder = dir.path();

    const struct {
        const char* what;
        std::vector<QSize> pictures; // made one after the other
        std::function<bool()> make;
    } cases[] = {
        {"page image, JPEG", {page}, [&] { return SavePageImage(data, state, dir.filePath("p.jpg"), 0); }},
        {"page image, BMP", {page}, [&] { return SavePageImage(data, state, dir.filePath("p.bmp"), 1); }},
        {"page image in memory", {page}, [&] { return !RenderPageImage(data, state).isNull(); }},
        {"texture, BMP", {texture}, [&] { return SavePageTexture(data, state, dir.filePath("t.bmp")); }},
        {"texture in memory", {texture}, [&] { return !RenderPageTexture(data, state).isNull(); }},
        {"notes in memory", {notes}, [&] { return !RenderNotesPicture(data, state).isNull(); }},
        {"report pictures, JPEG", {page, notes}, [&] {
             std::vector<ReportSheet> sheets;
             QString error;
             job.captureFormat = 0;
             return RenderReportSheets(data, state, false, job, sheets, &error);
         }},
        {"report pictures, BMP", {page, notes}, [&] {
             std::vector<ReportSheet> sheets;
             QString error;
             job.captureFormat = 1;
             return RenderReportSheets(data, state, false, job, sheets, &error);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool made = false;
        const qint64 rise = peakRise([&] { made = c.make(); });
        if (rise < 0)
            GTEST_SKIP() << "the resident memory's peak cannot be reset here";
        EXPECT_TRUE(made);
        // The largest picture made; under the address sanitizer, which holds
        // freed memory back for a while, all of them.
        qint64 pixels = 0;
        for (const QSize& size : c.pictures)
            pixels = kHoldsFreedMemory ? pixels + qint64(size.width()) * size.height()
                                       : std::max(pixels, qint64(size.width()) * size.height());
        const qint64 share = pixels * kMaxPagePictureBytes / kMaxPagePicturePixels;
        EXPECT_LE(rise, share + (8 << 20))
            << double(rise) / pixels << " bytes a pixel for " << pixels << " pixels";
    }
    // The pictures written are those of the page.
    EXPECT_EQ(QImage(dir.filePath("p.bmp")).size(), page);
    EXPECT_EQ(QImage(dir.filePath("t.bmp")).size(), texture);
}

// A picture to be written beyond what a picture file of the program holds
// (kMaxPageFilePixels) is refused with the size message before anything is
// drawn, in either capture format, and no file is left: a page of ten strips
// 2000 x 4500, 93 million pixels.
TEST(PageImage, APictureBeyondAFileIsRefusedBeforeItIsDrawn)
{
    CUnWrapData data(QStringLiteral("/x/a.sfa"), QStringLiteral("/x"));
    addUnloadedStrips(data, 2000, 4500);
    PageViewState view;
    view.currentPage = 0;
    const PageViewState state = PageStateFor(data, view, 0, false);
    const QSize page = PageImageSize(data, state);
    ASSERT_GT(qint64(page.width()) * page.height(), kMaxPageFilePixels);
    ASSERT_LE(qint64(page.width()) * page.height(), kMaxPagePicturePixels);
    QTemporaryDir dir;
    ReportJob job;
    job.pictureFolder = dir.path();
    const struct {
        const char* what;
        std::function<bool(QString&)> make; // the reason in its argument
    } cases[] = {
        {"page image, JPEG", [&](QString& why) {
             ErrorReport e;
             const bool made = SavePageImage(data, state, dir.filePath("p.jpg"), 0, &e);
             why = e.text;
             return made;
         }},
        {"page image, BMP", [&](QString& why) {
             ErrorReport e;
             const bool made = SavePageImage(data, state, dir.filePath("p.bmp"), 1, &e);
             why = e.text;
             return made;
         }},
        {"texture", [&](QString& why) {
             ErrorReport e;
             const bool made = SavePageTexture(data, state, dir.filePath("t.bmp"), &e);
             why = e.text;
             return made;
         }},
        {"report pictures, BMP", [&](QString& why) {
             std::vector<ReportSheet> sheets;
             job.captureFormat = 1;
             return RenderReportSheets(data, state, false, job, sheets, &why);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool made = true;
        QString why;
        const qint64 rise = peakRise([&] { made = c.make(why); });
        EXPECT_FALSE(made);
        EXPECT_TRUE(why.contains(QStringLiteral("页面图像太大"))) << why.toStdString();
        if (rise >= 0) {
            EXPECT_LT(rise, 8 << 20) << "drawn before it was refused";
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}
