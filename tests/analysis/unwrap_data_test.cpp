// The analysis data set: depth order, shapes and selection, the page painter,
// page images and the ".sfa" file on disk.

#include "analysis/unwrap_data.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace bc;

namespace {

// A strip of `rows` rows whose buffer row y holds the colour (b, g, r) =
// (y * 10, key % 200, 255 - y * 10) in every pixel.
std::unique_ptr<CUnWrapImage> makeStrip(int32_t key, int width = 8, int rows = 6,
                                        int shown = -1)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int stride = (width * 3 + 3) & ~3;
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * size_t(rows)]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bits.get() + y * stride + x * 3;
            p[0] = uint8_t(y * 10);
            p[1] = uint8_t(std::abs(key) % 200);
            p[2] = uint8_t(255 - y * 10);
        }
    item->width = width;
    item->shownHeight = shown < 0 ? rows : shown;
    item->adoptPixels(std::move(bits), rows, stride);
    item->header.setSize(width, item->shownHeight);
    return item;
}

std::vector<int32_t> keys(const CUnWrapData& d)
{
    std::vector<int32_t> v;
    for (int i = 0; i < d.GetItemCount(); ++i)
        v.push_back(d.GetItem(i)->depthKey);
    return v;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CaptureFormat {
public:
    explicit CaptureFormat(int format) : saved_(currentCaptureFormat.load())
    {
        currentCaptureFormat = format;
    }
    ~CaptureFormat() { currentCaptureFormat = saved_; }

private:
    int saved_;
};

} // namespace

TEST(UnWrapData, InsertsByDepthAndReplacesEqualDepths)
{
    CUnWrapData d("/x/a.sfa", "/x");
    EXPECT_EQ(d.InsertImage(makeStrip(100)), 0);
    EXPECT_EQ(d.InsertImage(makeStrip(300)), 1);
    EXPECT_EQ(d.InsertImage(makeStrip(200)), 1);
    EXPECT_EQ(keys(d), (std::vector<int32_t>{100, 200, 300}));
    EXPECT_EQ(d.InsertImage(makeStrip(-50)), 0) << "negative depths sort first";

    auto second = makeStrip(200, 8, 9);
    second->pixels()[0] = 77;
    EXPECT_EQ(d.InsertImage(std::move(second)), 2);
    EXPECT_EQ(d.GetItemCount(), 4);
    EXPECT_EQ(d.GetItem(2)->rows, 9);
    EXPECT_EQ(d.GetItem(2)->pixels()[0], 77) << "the second capture's pixels";
    EXPECT_EQ(d.GetItem(4), nullptr);
    EXPECT_EQ(d.GetItem(-1), nullptr);
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
        ASSERT_EQ(d.InsertImage(std::make_unique<CUnWrapImage>(i * 10, uint16_t(0)), false), 0);
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_EQ(d.GetItemCount(), kCount);
    EXPECT_EQ(d.GetItem(0)->depthKey, 10);
    EXPECT_EQ(d.GetItem(kCount - 1)->depthKey, kCount * 10);
    // Strips between others and at known depths land where they belong.
    EXPECT_EQ(d.InsertImage(std::make_unique<CUnWrapImage>(15, uint16_t(0)), false), 1);
    EXPECT_EQ(d.InsertImage(std::make_unique<CUnWrapImage>(30, uint16_t(0)), false), 3);
    EXPECT_EQ(d.GetItemCount(), kCount + 1);
}

TEST(UnWrapData, DefaultsAndHeaderFromSettings)
{
    CUnWrapData d("/x/a.sfa", "/x");
    const SfaHeader& h = d.header();
    EXPECT_EQ(QByteArray(h.magic.data(), 4), QByteArray("sfa\0", 4));
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.samplingStep, 500);
    EXPECT_EQ(h.openingDiameter, 70);
    EXPECT_EQ(h.finalDiameter, 60);
    EXPECT_EQ(h.collarCoordinates, degreeTemplate());

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
    EXPECT_EQ(h.startDepth, 1200);
    EXPECT_EQ(h.samplingStep, 40);
    EXPECT_EQ(h.moveDirection, 1);
    EXPECT_EQ(h.holeType, 1);
    EXPECT_EQ(h.openingDiameter, 91);
    EXPECT_EQ(h.finalDiameter, 50) << "diameters are at least 50";
    EXPECT_EQ(h.elevation, QStringLiteral("高程"));
    EXPECT_EQ(QStringList({h.holeNumber, h.holeInclination, h.collarCoordinates, h.testingUnit,
                           h.tester, h.site, h.testTime, h.waterLevel}),
              QStringList({"ZK1", "3.5", "c", "u", "t", "s", "d", "w"}));
    EXPECT_EQ(h.inclinedHoleDipDirection, 45.0f);
}

TEST(UnWrapData, PagesOfTheSet)
{
    CUnWrapData d("/x/a.sfa", "/x");
    EXPECT_EQ(d.GetPageCount(10), 0);
    EXPECT_EQ(d.GetPageSize(0, 10, 1.0f, 1.0f), QSize(700, 1200));
    int w = 0, h = 0;
    d.GetPageExtent(0, 10, 1.0f, 1.0f, w, h);
    EXPECT_EQ(QSize(w, h), QSize(600, 100));
    EXPECT_EQ(d.GetPageAspect(0, 10, 70, 1.0f), 1.0);
    int top = 0, bottom = 0;
    float pxPerMm = 0;
    EXPECT_EQ(d.GetPageDepthScale(0, 10, 1.0f, top, bottom, pxPerMm), 0);

    for (int i = 0; i < 25; ++i)
        d.InsertImage(makeStrip(i * 10, 8, 6));
    EXPECT_EQ(d.GetPageCount(0), 3);
    EXPECT_EQ(d.GetPageCount(10), 3);
    EXPECT_EQ(d.HitTestItem(1, 10, 59, 1, 1.0f), -1);
    EXPECT_EQ(d.HitTestItem(1, 10, 60, 7, 1.0f), 11);
    EXPECT_EQ(d.GetItemRect(0, 1, 10, 1.0f, 11), (PageRect{-60, 6, 0, 12}));
    ASSERT_EQ(d.GetPageDepthScale(2, 10, 1.0f, top, bottom, pxPerMm), 1);
    EXPECT_EQ(top, 200);
    EXPECT_EQ(bottom, 241);
    EXPECT_FLOAT_EQ(pxPerMm, 30.0f / 41.0f);
    EXPECT_EQ(d.GetPageHeight(1, 10, 13), QPoint(0, 3 * 6 + 30));
    EXPECT_EQ(d.GetPageHeight(2, 10, 99), QPoint(0, 5 * 6 + 30));

    for (int i = 25; i < 31; ++i)
        d.InsertImage(makeStrip(i * 10));
    const std::vector<float> marks = d.SamplePageValues(2, 11); // items 22..30
    ASSERT_EQ(d.PageStrips(2, 11).size(), 9u);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_FLOAT_EQ(marks[1], 0.27f);
    EXPECT_EQ(d.SamplePageValues(0, 11).size(), 3u) << "11 items: offsets 0, 5, 10";
}

TEST(UnWrapData, ItemKeys)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(makeStrip(0, 8, 20, 4), false);
    CUnWrapImage& item = *d.GetItem(0);
    d.OnItemKey(0, Qt::Key_Up, true);
    EXPECT_EQ(item.shownHeight, 1) << "4 - 10 is below zero";
    item.shownHeight = 10;
    d.OnItemKey(0, Qt::Key_Up, true);
    EXPECT_EQ(item.shownHeight, 0) << "zero stays zero";
    EXPECT_TRUE(d.IsItemModified(0));
    d.OnItemKey(0, Qt::Key_Down, true);
    d.OnItemKey(0, Qt::Key_Down, true);
    d.OnItemKey(0, Qt::Key_Down, false);
    EXPECT_EQ(item.shownHeight, 20) << "capped at the rows held";
    EXPECT_EQ(item.header.height, 20);

    // Give every column its own value, turn left and back right.
    for (int y = 0; y < item.rows; ++y)
        for (int x = 0; x < item.width; ++x)
            item.row(y)[x * 3] = uint8_t(x * 16 + y);
    const std::vector<uint8_t> before(item.pixels(), item.pixels() + item.stride * item.rows);
    d.OnItemKey(0, Qt::Key_Left, false);
    EXPECT_EQ(item.row(3)[0], uint8_t(1 * 16 + 3)) << "new column 0 = old column 1";
    EXPECT_EQ(item.row(3)[7 * 3], uint8_t(0 * 16 + 3)) << "wraps around";
    d.OnItemKey(0, Qt::Key_Right, false);
    EXPECT_EQ(std::vector<uint8_t>(item.pixels(), item.pixels() + item.stride * item.rows), before);
    d.OnItemKey(0, Qt::Key_Left, true); // step 10 on width 8
    d.OnItemKey(0, Qt::Key_Right, true);
    EXPECT_EQ(std::vector<uint8_t>(item.pixels(), item.pixels() + item.stride * item.rows), before);

    // Without pixels the turn and the growth do nothing.
    item.freePixels();
    item.shownHeight = 5;
    d.OnItemKey(0, Qt::Key_Left, false);
    d.OnItemKey(0, Qt::Key_Down, false);
    EXPECT_EQ(item.shownHeight, 5);
    d.OnItemKey(7, Qt::Key_Up, false); // no such item
}

TEST(UnWrapData, ResetPageHeightsSkipsStripsWithoutPixels)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(makeStrip(0, 8, 20, 12));
    d.InsertImage(makeStrip(10, 8, 20, 12));
    d.GetItem(1)->freePixels();
    d.ResetPageHeights(0, 10);
    EXPECT_EQ(d.GetItem(0)->shownHeight, 20);
    EXPECT_EQ(d.GetItem(1)->shownHeight, 12);
}

TEST(UnWrapData, FreeingAPageKeepsPixelsNotYetWritten)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(makeStrip(0), false); // loaded from its file
    d.InsertImage(makeStrip(10));       // a live capture
    d.InsertImage(makeStrip(20), false);
    d.OnItemKey(2, Qt::Key_Left, false); // turned: differs from its file
    d.FreePageBits(0, 10);
    EXPECT_FALSE(d.GetItem(0)->hasPixels());
    EXPECT_TRUE(d.GetItem(1)->hasPixels()) << "the only copy of a capture";
    EXPECT_TRUE(d.GetItem(2)->hasPixels()) << "the only copy of the turned strip";
    d.SetItemModified(1, false); // as after a save
    d.FreePageBits(0, 10);
    EXPECT_FALSE(d.GetItem(1)->hasPixels());
}

TEST(UnWrapData, AutoAlignStitchesThePageInOrder)
{
    CUnWrapData d("/x/a.sfa", "/x");
    for (int i = 0; i < 4; ++i)
        d.InsertImage(makeStrip(i * 100, 200, 60), false);
    StitchWorkArea work;
    std::vector<std::pair<int, int>> seen;
    d.AutoAlign(0, 3, work, 16, 10, [&](int done, int total) { seen.emplace_back(done, total); });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_FALSE(d.IsItemModified(3)) << "not on the page";
    EXPECT_TRUE(d.IsItemModified(1));
    EXPECT_EQ(d.StitchItem(9, 8, work, 16, 10), 0);
}

TEST(UnWrapData, SelectionFollowsClicksAndShift)
{
    CUnWrapData d("/x/a.sfa", "/x");
    // Two horizontal lines at depths 100 and 200 (1 px per mm, 100 px per radian).
    d.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 100.0f),
                                               CShapePoint(1.0f, 100.0f), 0, 1, 0));
    d.AddShape(std::make_unique<CAttitudeLine>(1, CShapePoint(0.0f, 200.0f),
                                               CShapePoint(1.0f, 200.0f), 0, 1, 0));
    std::vector<PageRect> dirty;
    auto inval = [&](const PageRect& r) { dirty.push_back(r); };
    EXPECT_EQ(d.HitTestShapes(50, 102, 0.9f, 100.0f, 1.0f), 1);
    EXPECT_EQ(d.HitTestShapes(50, 150, 0.0f, 100.0f, 1.0f), 0);

    EXPECT_EQ(d.SelectShapeAt(0, 1000, 100.0f, 1.0f, 0, 50, 100, inval), 1);
    EXPECT_EQ(d.GetSelectedCount(), 1);
    EXPECT_EQ(d.GetShape(0)->GetState(), 2);
    EXPECT_EQ(d.SelectShapeAt(0, 1000, 100.0f, 1.0f, CUnWrapData::kShiftFlag, 50, 200, inval), 1);
    EXPECT_EQ(d.GetSelectedCount(), 2);
    dirty.clear();
    EXPECT_EQ(d.SelectShapeAt(0, 1000, 100.0f, 1.0f, 0, 50, 200, inval), 1);
    EXPECT_EQ(d.GetSelectedCount(), 2) << "a click on a selected shape changes nothing";
    EXPECT_TRUE(dirty.empty());
    EXPECT_EQ(d.SelectShapeAt(0, 1000, 100.0f, 1.0f, 0, 50, 150, inval), 0);
    EXPECT_EQ(d.GetSelectedCount(), 0) << "a miss clears";
    EXPECT_EQ(d.GetShape(1)->GetState(), 1);
    EXPECT_EQ(dirty.size(), 2u);

    d.SelectShapeAt(0, 1000, 100.0f, 1.0f, 0, 50, 200, inval);
    dirty.clear();
    d.DeleteSelectedShapes(0, 100.0f, 1.0f, inval);
    ASSERT_EQ(d.GetShapeCount(), 1);
    EXPECT_EQ(d.GetShape(0)->GetId(), 0);
    EXPECT_EQ(d.GetSelectedCount(), 0);
    ASSERT_EQ(dirty.size(), 1u);
    EXPECT_EQ(dirty[0], (PageRect{-5, 195, 105, 205}));
}

TEST(UnWrapData, RecalcReadsTheInclinationLikeAtof)
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
    d.InsertImage(makeStrip(1000, 8, 6));
    d.InsertImage(makeStrip(1100, 8, 6, 4));
    QImage img(100, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.translate(60, 0);
        d.DrawPage(p, 0, 10, 1, 1.0f, 1);
    }
    // Buffer row 5 (b 50, r 205) is the top row of the first strip, row 0 its bottom.
    EXPECT_EQ(img.pixel(60, 0), qRgb(205, 1000 % 200, 50));
    EXPECT_EQ(img.pixel(67, 5), qRgb(255, 1000 % 200, 0));
    // The second strip shows its rows 3..0 from y 6 to 9.
    EXPECT_EQ(img.pixel(60, 6), qRgb(225, 1100 % 200, 30));
    EXPECT_EQ(img.pixel(60, 9), qRgb(255, 1100 % 200, 0));
    EXPECT_EQ(img.pixel(68, 5), qRgb(255, 255, 255)) << "8 columns wide";
    // Depth labels right-aligned in the column left of the strips.
    bool label = false;
    for (int y = 0; y < 15; ++y)
        for (int x = 20; x < 60; ++x)
            label = label || img.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_TRUE(label);
    // The red marker of the selected strip (index 1) at (-20, 6 + 15).
    EXPECT_EQ(img.pixel(60 - 5, 6 + 30), qRgb(255, 0, 0));

    // The zoomable painter scales the strips.
    QImage zoomed(200, 40, QImage::Format_RGB32);
    zoomed.fill(Qt::white);
    {
        QPainter p(&zoomed);
        p.translate(60, 0);
        d.DrawPageDib(p, 2.0f, 1.5f, 0, 10, -1, 1.0f, 0);
    }
    EXPECT_NE(zoomed.pixel(60 + 23, 11), qRgb(255, 255, 255));
    EXPECT_EQ(zoomed.pixel(60 + 24, 11), qRgb(255, 255, 255)) << "8 * 2 * 1.5 columns";
    EXPECT_NE(zoomed.pixel(60 + 5, 19), qRgb(255, 255, 255)) << "second strip from y 12";
    EXPECT_EQ(zoomed.pixel(60 + 5, 20), qRgb(255, 255, 255)) << "4 * 2 rows";

    // A zoom beyond the bound paints and measures at the bound alike.
    const float far = 1.25f * 1.25f * 1.25f * 1.25f * 1.25f * 1.25f * 1.25f * 1.25f * 1.25f *
                      1.25f * 1.25f; // eleven zoom-ins
    QImage big(200, 200, QImage::Format_RGB32);
    big.fill(Qt::white);
    {
        QPainter p(&big);
        p.translate(60, 0);
        d.DrawPageDib(p, far, 1.0f, 0, 10, -1, 1.0f, 1);
    }
    int w = 0, h = 0;
    d.GetPageExtent(0, 10, far, 1.0f, w, h);
    EXPECT_EQ(w, 8 * 10);
    EXPECT_EQ(h, 6 * 10 + 4 * 10);
    EXPECT_NE(big.pixel(60 + w - 1, 5), qRgb(255, 255, 255));
    EXPECT_EQ(big.pixel(60 + w, 5), qRgb(255, 255, 255));
    EXPECT_EQ(d.GetPageSize(0, 10, far, 1.0f), QSize(w, h));
    EXPECT_EQ(d.HitTestItem(0, 10, 60 + 5, h - 1, far), 1);
    EXPECT_EQ(d.HitTestItem(0, 10, 60 + 5, h, far), -1);
    EXPECT_EQ(d.GetItemRect(1, 0, 10, far, 1), (PageRect{0, 60, w, h}));
}

TEST(UnWrapData, StripsAlonePaintNoLabelsAndReturnTheNextIndex)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(makeStrip(1000, 8, 6));
    d.InsertImage(makeStrip(1100, 8, 6, 4));
    d.InsertImage(makeStrip(1200, 8, 6));
    QImage img(100, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.translate(60, 0);
        EXPECT_EQ(d.DrawPageStrips(p, 2.0f, 1.5f, 0, 2), 2);
    }
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(img.pixel(x, y), qRgb(255, 255, 255)) << "no label at " << x << "," << y;
    EXPECT_NE(img.pixel(60 + 23, 19), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(60 + 24, 19), qRgb(255, 255, 255)) << "8 * 2 * 1.5 columns";
    EXPECT_EQ(img.pixel(60 + 5, 20), qRgb(255, 255, 255)) << "12 + 4 * 2 rows";
    QPainter p(&img);
    EXPECT_EQ(d.DrawPageStrips(p, 1.0f, 1.0f, 1, 2), 3);
    EXPECT_EQ(d.DrawPageStrips(p, 1.0f, 1.0f, 2, 2), 0) << "no such page";
}

// --- files ---------------------------------------------------------------------

TEST(SfaFile, FreshDataSetSaves91BytesAndReloads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.sfa");
    CUnWrapData d(path, dir.path());
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_EQ(readFile(path).size(), 91);
    EXPECT_EQ(d.header().version, 1);

    CUnWrapData back(path, dir.path());
    ASSERT_TRUE(back.LoadSfa());
    EXPECT_EQ(back.header().version, 1);
    EXPECT_EQ(back.header().collarCoordinates, degreeTemplate());
    EXPECT_EQ(back.GetItemCount(), 0);
}

TEST(SfaFile, StripsAndShapesRoundTripAndOnlyModifiedStripsAreWritten)
{
    CaptureFormat jpeg(0);
    QTemporaryDir dir;
    const QString path = dir.filePath("survey.sfa");
    {
        CUnWrapData d(path, dir.path());
        d.header().tester = QStringLiteral("李四");
        d.InsertImage(makeStrip(1000, 16, 8));
        d.InsertImage(makeStrip(1200, 16, 8, 5));
        auto poly = std::make_unique<CAttitudePolyline>(0, 1, 2, 0x00FF00);
        for (int i = 0; i < 10; ++i)
            poly->AddPoint({0.5f * float(i), 1000.0f + float(i)});
        poly->UpdateAttitude(70, 0, 0, 0);
        d.AddShape(std::move(poly));
        ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
        EXPECT_FALSE(d.IsItemModified(0));
        EXPECT_EQ(d.header().savedItemCount, 2);
        EXPECT_EQ(d.header().savedShapeCount, 1);
    }
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("1000.jpg")));
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("1200.jpg")));

    // A strip file that differs from what the data set would write: a save
    // of the loaded set must leave it alone.
    const QByteArray jpg1200 = readFile(dir.filePath("1200.jpg"));
    CUnWrapData d(path, dir.path());
    NextShapeId();
    NextShapeId();
    ASSERT_TRUE(d.LoadSfa());
    EXPECT_EQ(NextShapeId(), 1) << "loaded shapes are numbered from 0; the next id follows";
    EXPECT_EQ(d.header().tester, QStringLiteral("李四"));
    ASSERT_EQ(d.GetItemCount(), 2);
    EXPECT_EQ(d.GetItem(1)->shownHeight, 5);
    ASSERT_EQ(d.GetShapeCount(), 1);
    EXPECT_EQ(d.GetShape(0)->GetId(), 0);
    EXPECT_EQ(d.LoadPageImages(0, 10), 0);
    EXPECT_EQ(d.GetItem(1)->rows, 8);
    EXPECT_EQ(d.GetItem(1)->shownHeight, 5);
    QFile::remove(dir.filePath("1000.jpg"));
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("1000.jpg"))) << "not modified: not rewritten";
    EXPECT_EQ(readFile(dir.filePath("1200.jpg")), jpg1200);

    d.OnItemKey(1, Qt::Key_Left, false);
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_NE(readFile(dir.filePath("1200.jpg")), jpg1200);
}

TEST(SfaFile, LiveStripsOfLeftPagesAreWrittenBySave)
{
    CaptureFormat jpeg(0);
    QTemporaryDir dir;
    const QString path = dir.filePath("live.sfa");
    const QString images = dir.filePath("strips");
    CUnWrapData d(path, images);
    // Live preview, two strips a page: page 0 is left without being saved.
    d.InsertImage(makeStrip(100, 16, 8));
    d.InsertImage(makeStrip(200, 16, 8));
    d.FreePageBits(0, 2);
    d.InsertImage(makeStrip(300, 16, 8));
    // While recording, page 1 is written when it is left; its folder is
    // missing, so the write fails and the strip must stay in memory.
    d.InsertImage(makeStrip(400, 16, 8));
    {
        test::ScriptedPrompter prompter;
        ErrorReport why;
        EXPECT_FALSE(d.SavePageImages(1, 2, &why));
        EXPECT_FALSE(why.text.isEmpty());
    }
    d.FreePageBits(1, 2);
    ASSERT_TRUE(QDir().mkpath(images));
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    for (const char* name : {"100.jpg", "200.jpg", "300.jpg", "400.jpg"})
        EXPECT_TRUE(QFileInfo::exists(images + "/" + name)) << name;

    // Written once, the pixels may go and come back from their files.
    d.FreePageBits(0, 2);
    EXPECT_FALSE(d.GetItem(0)->hasPixels());
    CUnWrapData back(path, images);
    ASSERT_TRUE(back.LoadSfa());
    EXPECT_EQ(back.LoadPageImages(0, 10), 0);
    EXPECT_NEAR(back.GetItem(3)->row(5)[0], 50, 4);
}

TEST(SfaFile, StripFilesInAFolderWithPercentSigns)
{
    CaptureFormat jpeg(0);
    QTemporaryDir root;
    const QString images = root.filePath("50%1 %2");
    ASSERT_TRUE(QDir().mkpath(images));
    CUnWrapData d(images + "/p.sfa", images);
    d.InsertImage(makeStrip(700, 16, 8));
    ASSERT_TRUE(d.SaveSfa(d.GetItemCount(), true));
    EXPECT_TRUE(QFileInfo::exists(images + "/700.jpg"));
    EXPECT_EQ(QDir(images).entryList(QDir::Files).size(), 2) << "no stray temporary file";
    d.GetItem(0)->freePixels();
    EXPECT_EQ(d.LoadPageImages(0, 10), 0);
}

TEST(SfaFile, StripsWhoseFileIsMissingAreReportedAndKept)
{
    CaptureFormat jpeg(0);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.sfa");
    {
        CUnWrapData d(path, dir.path());
        d.InsertImage(makeStrip(1000, 16, 8));
        d.InsertImage(makeStrip(1100, 16, 8, 6));
        d.InsertImage(makeStrip(1200, 16, 8));
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
    EXPECT_EQ(keys(back), (std::vector<int32_t>{1000, 1100, 1200}));
    EXPECT_EQ(back.GetItem(1)->shownHeight, 5);
    EXPECT_EQ(back.GetItem(1)->width, 16);
}

TEST(SfaFile, PageImagesFollowTheCaptureFormatAndIgnoreExtensionCase)
{
    QTemporaryDir dir;
    {
        CaptureFormat bmp(1);
        CUnWrapData d(dir.filePath("t.sfa"), dir.path());
        d.InsertImage(makeStrip(-300, 12, 4));
        EXPECT_TRUE(d.SavePageImages(0, 10));
        EXPECT_TRUE(QFileInfo::exists(dir.filePath("-300.bmp")));
        EXPECT_FALSE(d.IsItemModified(0));
        d.InsertImage(std::make_unique<CUnWrapImage>(600, uint16_t(0)), false);
        ErrorReport why;
        EXPECT_EQ(d.LoadPageImages(0, 10, &why), 1);
        EXPECT_TRUE(why.text.contains("600.bmp")) << "names the file of the capture format";
    }
    ASSERT_TRUE(QFile::rename(dir.filePath("-300.bmp"), dir.filePath("-300.BMP")));
    {
        CaptureFormat jpeg(0);
        CUnWrapData d(dir.filePath("t.sfa"), dir.path());
        auto empty = std::make_unique<CUnWrapImage>(-300, uint16_t(0));
        d.InsertImage(std::move(empty), false);
        auto missing = std::make_unique<CUnWrapImage>(500, uint16_t(0));
        d.InsertImage(std::move(missing), false);
        ErrorReport why;
        EXPECT_EQ(d.LoadPageImages(0, 10, &why), 1);
        EXPECT_TRUE(why.text.contains("500"));
        ASSERT_TRUE(d.GetItem(0)->hasPixels()) << "the BMP is found after the JPEG";
        EXPECT_EQ(d.GetItem(0)->width, 12);
        EXPECT_EQ(d.GetItem(0)->row(3)[0], 30);
    }
}

TEST(SfaFile, FailedSavesKeepTheOldFileAndReport)
{
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.sfa");
    CUnWrapData first(path, dir.path());
    ASSERT_TRUE(first.SaveSfa(0, false));
    const QByteArray old = readFile(path);

    // Strip files cannot be written into a missing folder.
    CUnWrapData d(path, dir.filePath("no/such/folder"));
    d.InsertImage(makeStrip(10));
    d.header().tester = "x";
    EXPECT_FALSE(d.SaveSfa(d.GetItemCount(), true));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("保存SFA文件失败"));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
    EXPECT_EQ(readFile(path), old);
    EXPECT_TRUE(d.IsItemModified(0));

    // The file itself cannot be written.
    CUnWrapData nowhere(dir.filePath("missing/x.sfa"), dir.path());
    ErrorReport why;
    EXPECT_FALSE(nowhere.SaveSfa(0, false, &why));
    EXPECT_EQ(why.text, QStringLiteral("保存SFA文件失败"));
    EXPECT_EQ(prompter.boxes.size(), 1u) << "a caller's report is not shown";
}

TEST(SfaFile, LoadFailuresKeepNothing)
{
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;

    CUnWrapData missing(dir.filePath("none.sfa"), dir.path());
    EXPECT_FALSE(missing.LoadSfa());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("无法打开文件: '%1'").arg(dir.filePath("none.sfa")));

    const QString notSfa = dir.filePath("x.sfa");
    QFile f(notSfa);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("JFIF and more");
    f.close();
    CUnWrapData wrong(notSfa, dir.path());
    ErrorReport why;
    EXPECT_FALSE(wrong.LoadSfa(&why));
    EXPECT_EQ(why.text, QStringLiteral("请选择\nSFA文件!"));

    // A newer version is refused, so a later save cannot destroy it.
    const QString newer = dir.filePath("v2.sfa");
    {
        CUnWrapData d(newer, dir.path());
        d.InsertImage(makeStrip(5), false);
        ASSERT_TRUE(d.SaveSfa(1, false));
    }
    QByteArray bytes = readFile(newer);
    bytes[4] = 2;
    QFile out(newer);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    CUnWrapData v2(newer, dir.path());
    EXPECT_FALSE(v2.LoadSfa(&why));
    EXPECT_TRUE(why.text.contains(newer));
    EXPECT_EQ(v2.GetItemCount(), 0);
    EXPECT_EQ(v2.header().version, 0);

    // A damaged file: the strip count promises more than there is.
    bytes[4] = 1;
    bytes.chop(3);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    CUnWrapData cut(newer, dir.path());
    EXPECT_FALSE(cut.LoadSfa(&why));
    EXPECT_EQ(cut.GetItemCount(), 0);

    // A device that never ends is not read.
    CUnWrapData endless("/dev/zero", dir.path());
    EXPECT_FALSE(endless.LoadSfa(&why));
    EXPECT_TRUE(why.text.contains("/dev/zero"));
}

TEST(SfaFile, ReadOnlyFilesOpen)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ro.sfa");
    {
        CUnWrapData d(path, dir.path());
        d.InsertImage(makeStrip(42), false);
        ASSERT_TRUE(d.SaveSfa(1, false));
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    CUnWrapData d(path, dir.path());
    ErrorReport why;
    EXPECT_TRUE(d.LoadSfa(&why)) << why.text.toStdString();
    EXPECT_EQ(keys(d), (std::vector<int32_t>{42}));
}

TEST(UnWrapData, DamagedRecordSizesNeitherOverflowNorHang)
{
    // Records as a damaged file may give them: huge widths and heights.
    CUnWrapData d("/x/a.sfa", "/x");
    for (int i = 0; i < 10; ++i) {
        auto item = std::make_unique<CUnWrapImage>(i * 100, uint16_t(0));
        item->width = INT32_MAX;
        item->shownHeight = INT32_MAX - i;
        d.InsertImage(std::move(item), false);
    }
    d.InsertImage(makeStrip(5000), false);
    const QSize size = d.GetPageSize(0, 11, 1.0f, 1.0f);
    EXPECT_GT(size.height(), 0);
    EXPECT_EQ(d.HitTestItem(0, 11, 100, 10, 1.0f), 0);
    EXPECT_EQ(d.GetItemRect(1, 0, 11, 1.0f, 10).top, INT32_MAX);
    int top = 0, bottom = 0;
    float pxPerMm = 0;
    EXPECT_EQ(d.GetPageDepthScale(0, 11, 1.0f, top, bottom, pxPerMm), 1);
    EXPECT_GT(d.GetPageHeight(0, 11, 11).y(), 0);
    QImage img(100, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    d.DrawPageDib(p, 2.0f, 1.0f, 0, 11, 10, pxPerMm, 0);
    d.DrawPage(p, 0, 11, 10, pxPerMm, 1);
}
