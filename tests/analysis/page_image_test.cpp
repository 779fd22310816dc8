// Page pictures, checked by their pixels in memory and in the files written:
// drawn without a window, and exported by the strip view's commands.

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace bc;

namespace {

const QRgb kBlue = qRgb(20, 60, 200), kGreen = qRgb(30, 180, 40), kRed = qRgb(255, 0, 0),
           kLime = qRgb(0, 255, 0);

// A strip `width` columns wide whose pixel (x, buffer row) is colour(x, row);
// buffer row 0 is drawn at the bottom.
template <typename Colour>
std::unique_ptr<CUnWrapImage> strip(int32_t key, int width, int rows, Colour colour)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int stride = (width * 3 + 3) & ~3;
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride * rows)]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            uint8_t* p = bits.get() + y * stride + x * 3;
            p[0] = uint8_t(qBlue(c)), p[1] = uint8_t(qGreen(c)), p[2] = uint8_t(qRed(c));
        }
    item->width = width;
    item->shownHeight = rows;
    item->adoptPixels(std::move(bits), rows, stride);
    return item;
}

// Strips at 12.50 m (10 rows) and 13.40 m (12 rows) and a red line on the first.
struct TwoStripPage {
    CUnWrapData data{QStringLiteral("/x/a.sfa"), QStringLiteral("/x")};
    PageViewState state;
    TwoStripPage()
    {
        data.InsertImage(strip(12500, 40, 10, [](int, int) { return kBlue; }), false);
        data.InsertImage(strip(13400, 40, 12, [](int, int y) { return y ? kGreen : kRed; }), false);
        data.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 12700.0f),
                                                      CShapePoint(2.5f, 12700.0f), 0, 3, 0xFF));
        state.currentPage = 0;
        state = PageStateFor(data, state, 0, false);
    }
};

// Offers back the path a save dialog proposes, and notes its filter.
struct Prompter : test::ScriptedPrompter {
    QString offered, filter;
    QString saveFileName(QWidget*, const QString&, const QString& dir, const QString& f) override
    {
        filter = f;
        return offered = dir;
    }
};

// Five BMP strips 20 x 4 at 1.00 m .. 1.40 m, two a page, column 0 red.
struct Survey {
    QTemporaryDir dir;
    CSurveyParams settings;
    Prompter prompter;
    std::unique_ptr<CUnWrapView> view;
    Survey()
    {
        currentCaptureFormat = 1;
        settings.itemsPerPage = 2;
        settings.aspectAutoFit = 0;
        QStringList files;
        for (int i = 0; i < 5; ++i) {
            auto item = strip(1000 + 100 * i, 20, 4, [](int x, int) { return x ? kLime : kRed; });
            EXPECT_TRUE(item->SaveBmp(dir.path()));
            files << item->bmpPath(dir.path());
        }
        WorkspaceContext ctx;
        ctx.settings = &settings;
        view = std::make_unique<CUnWrapView>(ctx);
        prompter.multiFileAnswers.push_back(files);
        view->OnOpenJpg();
    }
    ~Survey() { currentCaptureFormat = 0; }
};

int bmpBitsPerPixel(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(uint8_t(f.read(30).at(28))) : 0;
}

} // namespace

TEST(PageImage, PageAndTextureInMemoryAndInFiles)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    TwoStripPage page;
    EXPECT_EQ(PageImageName(page.data, 0, page.state.perPage), QStringLiteral("12.50-13.40"));
    QLocale::setDefault(before);

    QTemporaryDir dir;
    const QString jpg = dir.filePath("p.jpg"), bmp = dir.filePath("p.bmp");
    ASSERT_TRUE(SavePageImage(page.data, page.state, jpg, 0));
    ASSERT_TRUE(SavePageImage(page.data, page.state, bmp, 1));
    EXPECT_EQ(bmpBitsPerPixel(bmp), 24);
    for (const QImage& image : {RenderPageImage(page.data, page.state), QImage(bmp, "BMP")}) {
        ASSERT_EQ(image.size(), QSize(100, 72));
        EXPECT_EQ(image.pixel(65, 52), kBlue);
        EXPECT_EQ(image.pixel(65, 65), kGreen);
        EXPECT_EQ(image.pixel(65, 71), kRed) << "buffer row 0 at the bottom";
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

    // The cylinder texture: the strips alone.
    const QString path = dir.filePath(QStringLiteral("texture.bmp"));
    ASSERT_TRUE(SavePageTexture(page.data, page.state, path));
    EXPECT_EQ(bmpBitsPerPixel(path), 24);
    const QImage texture(path, "BMP");
    ASSERT_EQ(texture.size(), QSize(40, 22)) << "GetPageSize, no margins";
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(texture.pixel(x, y), y < 10 ? kBlue : y == 21 ? kRed : kGreen) << x << "," << y;

    const CylinderSize cylinder = CylinderSizeFor(texture.size());
    EXPECT_FLOAT_EQ(cylinder.height, 22.0f + 50.0f);
    EXPECT_NEAR(cylinder.radius, (40.0f + 70.0f) / (2.0f * 3.14159265f), 1e-4f);
    ErrorReport error;
    EXPECT_FALSE(SavePageTexture(page.data, page.state, dir.filePath("no/t.bmp"), &error));
    EXPECT_EQ(error.text, QStringLiteral("创建临时位图失败"));
}

TEST(PageImage, ViewExportsAllPagesKeepAnUnsavedTurnAndEndOnTheLastPage)
{
    Survey s;
    ASSERT_EQ(s.view->GetPageCount(), 3);
    s.view->GoToPage(1);
    s.view->GetData()->OnItemKey(2, Qt::Key_Left, false); // the red column goes round to 19

    s.prompter.fileAnswers.push_back(s.dir.path());
    s.view->OnExportAllPages();
    EXPECT_EQ(s.prompter.dialogTitles.last(), QStringLiteral("请选择一个保存路径:"));
    const QDir out(s.dir.filePath(QStringLiteral("拼接图")));
    EXPECT_EQ(out.entryList(QDir::Files),
              QStringList({"1.00-1.10.bmp", "1.20-1.30.bmp", "1.40-1.40.bmp"}));
    const QImage page1(out.filePath(QStringLiteral("1.20-1.30.bmp")));
    EXPECT_EQ(page1.pixel(60 + 19, 50), kRed) << "the turn as shown";
    EXPECT_EQ(page1.pixel(60 + 19, 54), kLime) << "the next strip as on disk";
    EXPECT_EQ(s.view->currentPage(), 2);

    s.view->OnFileSave();
    EXPECT_EQ(QImage(s.dir.filePath(QStringLiteral("1200.bmp"))).pixel(19, 0), kRed);

    for (int format : {0, 1}) {
        currentCaptureFormat = format;
        s.view->OnExportCurrentPage();
        const QString name = format == 0 ? "1.40-1.40.jpg" : "1.40-1.40.bmp";
        EXPECT_EQ(s.prompter.offered, s.dir.filePath(name));
        EXPECT_EQ(QImage(s.prompter.offered, format == 0 ? "JPG" : "BMP").size(), QSize(80, 54));
        EXPECT_TRUE(s.prompter.filter.contains(format == 0 ? "*.JPG *.jpg" : "*.BMP *.bmp"));
    }

    s.view->CreateCylinderImage();
    const QImage texture(s.view->texturePath(), "BMP");
    EXPECT_EQ(texture.size(), QSize(20, 4)) << "the last page's one strip";
}
