// The analysis data set: depth order, shapes and selection, the page painter,
// page images and the ".sfa" file on disk.

#include "analysis/sfa_format.h"
#include "analysis/unwrap_data.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace bc;
using namespace bc::test;

namespace {

using Keys = std::vector<int32_t>;
const QRgb kWhite = qRgb(255, 255, 255);

std::vector<uint8_t> pixelsOf(const CUnWrapImage& item)
{
    return std::vector<uint8_t>(item.pixels(), item.pixels() + item.stride * item.rows);
}

// A strip record without pixels, as loaded from a ".sfa" file.
std::unique_ptr<CUnWrapImage> record(int32_t key)
{
    return std::make_unique<CUnWrapImage>(key, uint16_t(0));
}

// Whether anything but white lies in `r`.
bool inkIn(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) != kWhite)
                return true;
    return false;
}

} // namespace

TEST(UnWrapData, InsertsByDepthAndReplacesEqualDepths)
{
    CUnWrapData d("/x/a.sfa", "/x");
    EXPECT_EQ(std::vector<int>({d.InsertImage(rowStrip(100)), d.InsertImage(rowStrip(300)),
                                d.InsertImage(rowStrip(200)), d.InsertImage(rowStrip(-50))}),
              std::vector<int>({0, 1, 1, 0}));
    auto second = rowStrip(200, 8, 9);
    second->pixels()[0] = 77;
    EXPECT_EQ(d.InsertImage(std::move(second)), 2);
    EXPECT_EQ(depthKeys(d), (Keys{-50, 100, 200, 300}));
    EXPECT_EQ(std::tuple(d.GetItem(2)->rows, d.GetItem(2)->pixels()[0]), std::tuple(9, 77))
        << "the second capture's pixels";
    EXPECT_TRUE(!d.GetItem(4) && !d.GetItem(-1));
}

TEST(UnWrapData, AnUpwardSurveyAddsStripsWithoutRescanningTheSet)
{
    // 50,000 strips, each shallower than the last: a scan over the stored
    // strips per insertion takes seconds here, a halving search milliseconds.
    constexpr int kCount = 50000;
    CUnWrapData d("/x/a.sfa", "/x");
    QElapsedTimer clock;
    clock.start();
    for (int i = kCount; i > 0; --i)
        ASSERT_EQ(d.InsertImage(record(i * 10), false), 0);
    EXPECT_LT(clock.elapsed(), 1000);
    // Strips between others land where they belong.
    EXPECT_EQ(d.InsertImage(record(15), false), 1);
    EXPECT_EQ(d.InsertImage(record(30), false), 3);
    EXPECT_EQ(d.GetItem(kCount + 1), nullptr);
}

TEST(UnWrapData, HeaderFromTheSettingsWithDiametersOfAtLeast50)
{
    CUnWrapData d("/x/a.sfa", "/x");
    CSurveyParams s;
    s.startDepth = 1200;
    s.sampleStep = 40;
    s.moveDirection = 1;
    s.holeType = 1;
    s.openingDiameter = 91;
    s.finalDiameter = 20;
    s.collarElevation = QStringLiteral("高程");
    s.holeNumber = "ZK1";
    s.holeInclination = "3.5";
    s.collarCoordinates = "c";
    s.testUnit = "u";
    s.tester = "t";
    s.testSite = "s";
    s.testDate = "d";
    s.waterLevel = "w";
    s.inclinedHoleAzimuth = 45.0f;
    d.CopyHeaderFromSettings(s);
    const SfaHeader& h = d.header();
    EXPECT_EQ(std::tuple(h.startDepth, h.samplingStep, int(h.moveDirection), h.holeType,
                         h.openingDiameter, h.finalDiameter, h.inclinedHoleDipDirection),
              std::tuple(1200, 40, 1, 1, 91, 50, 45.0f));
    EXPECT_EQ(QStringList({h.elevation, h.holeNumber, h.holeInclination, h.collarCoordinates,
                           h.testingUnit, h.tester, h.site, h.testTime, h.waterLevel}),
              QStringList({QStringLiteral("高程"), "ZK1", "3.5", "c", "u", "t", "s", "d", "w"}));
    s.openingDiameter = INT_MAX; // a profile no hole has: the survey file stays loadable
    d.CopyHeaderFromSettings(s);
    EXPECT_EQ(h.openingDiameter, kMaxSfaDiameter);
}

TEST(UnWrapData, PagesOfTheSet)
{
    CUnWrapData d("/x/a.sfa", "/x");
    int w = 0, h = 0, top = 0, bottom = 0;
    float pxPerMm = 0;
    d.GetPageExtent(0, 10, 1.0f, 1.0f, w, h);
    EXPECT_EQ(std::tuple(d.GetPageCount(10), d.GetPageSize(0, 10, 1.0f, 1.0f), QSize(w, h),
                         d.GetPageAspect(0, 10, 70, 1.0f),
                         d.GetPageDepthScale(0, 10, 1.0f, top, bottom, pxPerMm)),
              std::tuple(0, QSize(700, 1200), QSize(600, 100), 1.0, 0))
        << "an empty set";

    // 31 strips 10 mm apart, 11 a page: items 22..30 on the last page.
    addStrips(d, 31, 0, 10);
    EXPECT_EQ(std::tuple(d.GetPageHeight(1, 11, 14), d.GetPageHeight(2, 11, 99)),
              std::tuple(QPoint(0, 3 * 6 + 30), QPoint(0, 9 * 6 + 30)));
    EXPECT_EQ(d.SamplePageValues(2, 11), (std::vector<float>{0.22f, 0.27f}));
    EXPECT_EQ(d.SamplePageValues(0, 11).size(), 3u) << "11 items: offsets 0, 5, 10";
}

TEST(UnWrapData, ItemKeys)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(rowStrip(0, 8, 20, 4), false);
    CUnWrapImage& item = *d.GetItem(0);
    d.OnItemKey(0, Qt::Key_Up, true);
    EXPECT_EQ(item.shownHeight, 1) << "4 - 10 is below zero";
    item.shownHeight = 10;
    d.OnItemKey(0, Qt::Key_Up, true);
    EXPECT_EQ(item.shownHeight, 0) << "zero stays zero";
    EXPECT_TRUE(d.IsItemModified(0));
    for (bool shift : {true, true, false})
        d.OnItemKey(0, Qt::Key_Down, shift);
    EXPECT_EQ(std::tuple(item.shownHeight, item.header.height), std::tuple(20, 20))
        << "capped at the rows held";

    // Give every column its own value, turn left and back right.
    for (int y = 0; y < item.rows; ++y)
        for (int x = 0; x < item.width; ++x)
            item.row(y)[x * 3] = uint8_t(x * 16 + y);
    const std::vector<uint8_t> before = pixelsOf(item);
    d.OnItemKey(0, Qt::Key_Left, false);
    EXPECT_EQ(std::tuple(item.row(3)[0], item.row(3)[7 * 3]), std::tuple(1 * 16 + 3, 0 * 16 + 3))
        << "new column 0 = old column 1; column 0 wraps round to 7";
    d.OnItemKey(0, Qt::Key_Right, false);
    EXPECT_EQ(pixelsOf(item), before);
    d.OnItemKey(0, Qt::Key_Left, true); // step 10 on width 8
    d.OnItemKey(0, Qt::Key_Right, true);
    EXPECT_EQ(pixelsOf(item), before);

    // Without pixels the turn and the growth do nothing.
    item.freePixels();
    item.shownHeight = 5;
    d.OnItemKey(0, Qt::Key_Left, false);
    d.OnItemKey(0, Qt::Key_Down, false);
    EXPECT_EQ(item.shownHeight, 5);
    d.OnItemKey(7, Qt::Key_Up, false); // no such item
    StitchWorkArea work;
    EXPECT_EQ(d.StitchItem(9, 8, work, 16, 10), 0);
}

TEST(UnWrapData, StripsWithoutPixelsOrNotYetWritten)
{
    // Resetting the heights skips strips without pixels.
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(rowStrip(0, 8, 20, 12));
    d.InsertImage(rowStrip(10, 8, 20, 12));
    d.GetItem(1)->freePixels();
    d.ResetPageHeights(0, 10);
    EXPECT_EQ(std::tuple(d.GetItem(0)->shownHeight, d.GetItem(1)->shownHeight), std::tuple(20, 12));

    // Freeing a page keeps the pixels that exist nowhere else.
    CUnWrapData f("/x/a.sfa", "/x");
    f.InsertImage(rowStrip(0), false); // loaded from its file
    f.InsertImage(rowStrip(10));       // a live capture
    f.InsertImage(rowStrip(20), false);
    f.OnItemKey(2, Qt::Key_Left, false); // turned: differs from its file
    f.FreePageBits(0, 10);
    EXPECT_EQ(residentStrips(f), std::vector<int>({1, 2}));
    f.SetItemModified(1, false); // as after a save
    f.FreePageBits(0, 10);
    EXPECT_FALSE(f.GetItem(1)->hasPixels());
}

TEST(UnWrapData, RecalcReadsTheInclinationLikeAtofAndKeepsTheDescription)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.header().holeInclination = QStringLiteral("12.5度");
    d.header().openingDiameter = 100;
    auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                CShapePoint(3.14159265f, 1100.0f), 0, 1, 0);
    line->SetDescription(QStringLiteral("描述"));
    d.AddShape(std::move(line));
    d.RecalcAttitudes(0.0f);
    EXPECT_EQ(d.GetShape(0)->GetText(TextDipAngle), "32°") << "|trunc(45 - 12.5)|";
    EXPECT_EQ(d.GetShape(0)->GetText(TextDescription), QStringLiteral("描述"));
}

TEST(UnWrapData, PainterDrawsStripsBottomUpWithLabelsAndMarker)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(rowStrip(1000, 8, 6));
    d.InsertImage(rowStrip(1100, 8, 6, 4));
    auto paint = [](int w, int h, auto draw) { return painted(w, h, draw, QPoint(60, 0)); };
    const QImage img = paint(100, 40, [&](QPainter& p) { d.DrawPage(p, 0, 10, 1, 1.0f, 1); });
    // Buffer row 5 (b 50, r 205) is the top row of the first strip, row 0
    // its bottom; the second strip shows its rows 3..0 from y 6 to 9.
    EXPECT_EQ(std::tuple(img.pixel(60, 0), img.pixel(67, 5), img.pixel(60, 6), img.pixel(60, 9),
                         img.pixel(68, 5)),
              std::tuple(qRgb(205, 1000 % 200, 50), qRgb(255, 1000 % 200, 0),
                         qRgb(225, 1100 % 200, 30), qRgb(255, 1100 % 200, 0), kWhite));
    EXPECT_TRUE(inkIn(img, QRect(20, 0, 40, 15))) << "depth labels left of the strips";
    EXPECT_EQ(img.pixel(60 - 5, 6 + 30), qRgb(255, 0, 0)) << "the selected strip's red marker";

    // The zoomable painter scales the strips: 8 * 2 * 1.5 columns, 4 * 2
    // rows of the second strip from y 12.
    const QImage zoomed =
        paint(200, 40, [&](QPainter& p) { d.DrawPageDib(p, 2.0f, 1.5f, 0, 10, -1, 1.0f, 0); });
    EXPECT_EQ(std::tuple(inkIn(zoomed, QRect(83, 11, 1, 1)), inkIn(zoomed, QRect(84, 11, 1, 1)),
                         inkIn(zoomed, QRect(65, 19, 1, 1)), inkIn(zoomed, QRect(65, 20, 1, 1))),
              std::tuple(true, false, true, false));

    // A zoom beyond the bound (eleven zoom-ins) paints and measures at the bound
    // alike.
    const float far = std::pow(1.25f, 11.0f);
    const QImage big =
        paint(200, 200, [&](QPainter& p) { d.DrawPageDib(p, far, 1.0f, 0, 10, -1, 1.0f, 1); });
    int w = 0, h = 0;
    d.GetPageExtent(0, 10, far, 1.0f, w, h);
    EXPECT_EQ(std::tuple(w, h), std::tuple(8 * 10, 6 * 10 + 4 * 10));
    EXPECT_EQ(
        std::tuple(inkIn(big, QRect(60 + w - 1, 5, 1, 1)), inkIn(big, QRect(60 + w, 5, 1, 1))),
        std::tuple(true, false));
    EXPECT_EQ(d.GetPageSize(0, 10, far, 1.0f), QSize(w, h));
    EXPECT_EQ(
        std::tuple(d.HitTestItem(0, 10, 60 + 5, h - 1, far), d.HitTestItem(0, 10, 65, h, far)),
        std::tuple(1, -1));
    EXPECT_EQ(d.GetItemRect(1, 0, 10, far, 1), (PageRect{0, 60, w, h}));
}

// --- files ---------------------------------------------------------------------

namespace {

// A survey folder, JPEG strips, and message boxes answered by the test.
struct SfaFile : testing::Test {
    QTemporaryDir dir;
    CaptureFormatScope jpeg{0};
    ScriptedPrompter prompter;
};

} // namespace

TEST_F(SfaFile, StripsAndShapesRoundTripAndOnlyModifiedStripsAreWritten)
{
    // In a folder whose name holds percent signs.
    const QDir folder(dir.filePath("50%1 %2"));
    ASSERT_TRUE(folder.mkpath("."));
    const QString path = folder.filePath("survey.sfa");
    {
        CUnWrapData d(path, folder.path());
        d.header().tester = QStringLiteral("李四");
        d.InsertImage(rowStrip(1000, 16, 8));
        d.InsertImage(rowStrip(1200, 16, 8, 5));
        auto poly = std::make_unique<CAttitudePolyline>(0, 1, 2, 0x00FF00);
        for (int i = 0; i < 10; ++i)
            poly->AddPoint({0.5f * float(i), 1000.0f + float(i)});
        d.AddShape(std::move(poly));
        ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
        EXPECT_EQ(
            std::tuple(d.IsItemModified(0), d.header().savedItemCount, d.header().savedShapeCount),
            std::tuple(false, 2, 1));
    }
    EXPECT_EQ(folder.entryList(QDir::Files), QStringList({"1000.jpg", "1200.jpg", "survey.sfa"}))
        << "no stray temporary file";
    // A strip file that differs from what the data set would write: a save
    // of the loaded set must leave it alone.
    const QByteArray jpg1200 = fileBytes(folder.filePath("1200.jpg"));
    ASSERT_FALSE(jpg1200.isEmpty());
    CUnWrapData d(path, folder.path());
    NextShapeId();
    NextShapeId();
    ASSERT_TRUE(d.LoadSfa());
    EXPECT_EQ(NextShapeId(), 1) << "loaded shapes are numbered from 0; the next id follows";
    EXPECT_EQ(d.header().tester, QStringLiteral("李四"));
    ASSERT_EQ(std::tuple(d.GetItemCount(), d.GetShapeCount()), std::tuple(2, 1));
    EXPECT_EQ(d.LoadPageImages(0, 10), 0);
    EXPECT_EQ(std::tuple(d.GetItem(1)->rows, d.GetItem(1)->shownHeight), std::tuple(8, 5));
    QFile::remove(folder.filePath("1000.jpg"));
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("1000.jpg"))) << "not modified: not rewritten";
    EXPECT_EQ(fileBytes(folder.filePath("1200.jpg")), jpg1200);

    d.OnItemKey(1, Qt::Key_Left, false);
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_NE(fileBytes(folder.filePath("1200.jpg")), jpg1200);
}

TEST_F(SfaFile, LiveStripsOfLeftPagesAreWrittenBySave)
{
    const QString path = dir.filePath("live.sfa");
    const QString images = dir.filePath("strips");
    CUnWrapData d(path, images);
    // Live preview, two strips a page: page 0 is left without being saved.
    addStrips(d, 2, 100, 100, 16, 8);
    d.FreePageBits(0, 2);
    // While recording, page 1 is written when it is left; its folder is
    // missing, so the write fails and the strip must stay in memory.
    addStrips(d, 2, 300, 100, 16, 8);
    ErrorReport why;
    EXPECT_FALSE(d.SavePageImages(1, 2, &why));
    EXPECT_FALSE(why.text.isEmpty());
    d.FreePageBits(1, 2);
    ASSERT_TRUE(QDir().mkpath(images));
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_EQ(QDir(images).entryList(QDir::Files),
              QStringList({"100.jpg", "200.jpg", "300.jpg", "400.jpg"}));

    // Written once, the pixels may go and come back from their files.
    d.FreePageBits(0, 2);
    d.FreePageBits(1, 2);
    EXPECT_TRUE(residentStrips(d).empty());
    CUnWrapData back(path, images);
    ASSERT_TRUE(back.LoadSfa());
    ASSERT_EQ(back.LoadPageImages(0, 10), 0);
    EXPECT_NEAR(back.GetItem(3)->row(5)[0], 50, 4);
}

TEST_F(SfaFile, StripsWhoseFileIsMissingAreReportedAndKept)
{
    const QString path = dir.filePath("s.sfa");
    {
        CUnWrapData d(path, dir.path());
        for (int key : {1000, 1100, 1200})
            d.InsertImage(rowStrip(key, 16, 8, key == 1100 ? 6 : -1));
        ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    }
    ASSERT_TRUE(QFile::remove(dir.filePath("1100.jpg")));
    CUnWrapData d(path, dir.path());
    ASSERT_TRUE(d.LoadSfa());
    ErrorReport why;
    EXPECT_EQ(d.LoadPageImages(0, 10, &why), 1);
    EXPECT_TRUE(why.text.contains("1100")) << why.text.toStdString();
    EXPECT_FALSE(d.GetItem(1)->hasPixels());
    // The page keeps its place for it, and a save keeps its record.
    EXPECT_EQ(d.GetItemRect(1, 0, 10, 1.0f, 2).top, 8 + 6);
    d.OnItemKey(1, Qt::Key_Up, false);
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    CUnWrapData back(path, dir.path());
    ASSERT_TRUE(back.LoadSfa());
    EXPECT_EQ(depthKeys(back), (Keys{1000, 1100, 1200}));
    EXPECT_EQ(std::tuple(back.GetItem(1)->shownHeight, back.GetItem(1)->width), std::tuple(5, 16));
}

TEST_F(SfaFile, PageImagesFollowTheCaptureFormatAndIgnoreExtensionCase)
{
    ErrorReport why;
    {
        CaptureFormatScope bmp(1);
        CUnWrapData d(dir.filePath("t.sfa"), dir.path());
        d.InsertImage(rowStrip(-300, 12, 4));
        EXPECT_TRUE(d.SavePageImages(0, 10));
        EXPECT_EQ(std::tuple(QFileInfo::exists(dir.filePath("-300.bmp")), d.IsItemModified(0)),
                  std::tuple(true, false));
        d.InsertImage(record(600), false);
        EXPECT_EQ(d.LoadPageImages(0, 10, &why), 1);
        EXPECT_TRUE(why.text.contains("600.bmp")) << "names the file of the capture format";
    }
    ASSERT_TRUE(QFile::rename(dir.filePath("-300.bmp"), dir.filePath("-300.BMP")));
    CUnWrapData d(dir.filePath("t.sfa"), dir.path());
    d.InsertImage(record(-300), false);
    d.InsertImage(record(500), false);
    EXPECT_EQ(d.LoadPageImages(0, 10, &why), 1);
    EXPECT_TRUE(why.text.contains("500"));
    ASSERT_TRUE(d.GetItem(0)->hasPixels()) << "the BMP is found after the JPEG";
    EXPECT_EQ(std::tuple(d.GetItem(0)->width, d.GetItem(0)->row(3)[0]), std::tuple(12, 30));
}

TEST_F(SfaFile, FailedSavesKeepTheOldFileAndReport)
{
    const QString path = dir.filePath("keep.sfa");
    ASSERT_TRUE(CUnWrapData(path, dir.path()).SaveSfa(0, false));
    const QByteArray old = fileBytes(path);
    EXPECT_EQ(old, SerializeSfa(SfaHeader{}, {}, {})) << "the 91 bytes of the defaults";

    // Strip files cannot be written into a missing folder.
    CUnWrapData d(path, dir.filePath("no/such/folder"));
    d.InsertImage(rowStrip(10));
    d.header().tester = "x";
    EXPECT_FALSE(d.SaveSfa(d.GetItemCount(), true));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(std::tuple(prompter.boxes[0].text, prompter.boxes[0].caption),
              std::tuple(QStringLiteral("保存SFA文件失败\n无法写入图像文件: %1\n文件或目录不存在")
                             .arg(d.GetItem(0)->jpgPath(dir.filePath("no/such/folder"))),
                         QStringLiteral("出错")));
    EXPECT_EQ(std::tuple(fileBytes(path), d.IsItemModified(0)), std::tuple(old, true));

    // The file itself cannot be written.
    ErrorReport why;
    EXPECT_FALSE(CUnWrapData(dir.filePath("missing/x.sfa"), dir.path()).SaveSfa(0, false, &why));
    EXPECT_EQ(why.text, QStringLiteral("保存SFA文件失败\n文件或目录不存在"));
    EXPECT_EQ(prompter.boxes.size(), 1u) << "a caller's report is not shown";
}

TEST_F(SfaFile, LoadFailuresKeepNothing)
{
    EXPECT_FALSE(CUnWrapData(dir.filePath("none.sfa"), dir.path()).LoadSfa());
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("无法打开文件: '%1'").arg(dir.filePath("none.sfa"))});

    const QString path = dir.filePath("x.sfa");
    ASSERT_TRUE(writeFileBytes(path, "JFIF and more"));
    ErrorReport why;
    EXPECT_FALSE(CUnWrapData(path, dir.path()).LoadSfa(&why));
    EXPECT_EQ(why.text, QStringLiteral("请选择\nSFA文件!"));

    // A newer version is refused, so a later save cannot destroy it.
    {
        CUnWrapData d(path, dir.path());
        d.InsertImage(rowStrip(5), false);
        ASSERT_TRUE(d.SaveSfa(1, false));
    }
    QByteArray bytes = fileBytes(path);
    bytes[4] = 2;
    ASSERT_TRUE(writeFileBytes(path, bytes));
    CUnWrapData v2(path, dir.path());
    EXPECT_FALSE(v2.LoadSfa(&why));
    EXPECT_TRUE(why.text.contains(path));
    EXPECT_EQ(std::tuple(v2.GetItemCount(), v2.header().version), std::tuple(0, 0));

    // A damaged file: the strip count promises more than there is.
    bytes[4] = 1;
    bytes.chop(3);
    ASSERT_TRUE(writeFileBytes(path, bytes));
    CUnWrapData cut(path, dir.path());
    EXPECT_FALSE(cut.LoadSfa(&why));
    EXPECT_EQ(cut.GetItemCount(), 0);

    // A device that never ends is not read.
    EXPECT_FALSE(CUnWrapData("/dev/zero", dir.path()).LoadSfa(&why));
    EXPECT_TRUE(why.text.contains("/dev/zero"));
}
