// The strip view's page-picture and test-parameter commands on a survey of
// three pages opened from its strip files, through the prompter.

#include "analysis/test_param_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;

namespace {

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
        settings.declination = 200.0f;
        QStringList files;
        for (int i = 0; i < 5; ++i) {
            CUnWrapImage strip(1000 + 100 * i, 0);
            const int stride = int(JpegFile::paddedStride(20));
            std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride * 4)]());
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 20; ++x)
                    bits[size_t(y * stride + x * 3 + (x == 0 ? 2 : 1))] = 255;
            strip.width = 20;
            strip.shownHeight = 4;
            strip.adoptPixels(std::move(bits), 4, stride);
            EXPECT_TRUE(strip.SaveBmp(dir.path()));
            files << strip.bmpPath(dir.path());
        }
        WorkspaceContext ctx;
        ctx.settings = &settings;
        view = std::make_unique<CUnWrapView>(ctx);
        prompter.multiFileAnswers.push_back(files);
        view->OnOpenJpg();
    }
    ~Survey() { currentCaptureFormat = 0; }
};

} // namespace

TEST(UnwrapViewExport, AllPagesKeepAnUnsavedTurnAndEndOnTheLastPage)
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
    EXPECT_EQ(page1.pixel(60 + 19, 50), qRgb(255, 0, 0)) << "the turn as shown";
    EXPECT_EQ(page1.pixel(60 + 19, 54), qRgb(0, 255, 0)) << "the next strip as on disk";
    EXPECT_EQ(s.view->currentPage(), 2);

    s.view->OnFileSave();
    EXPECT_EQ(QImage(s.dir.filePath(QStringLiteral("1200.bmp"))).pixel(19, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(s.prompter.boxes.empty()) << s.prompter.boxTexts().join(u'|').toStdString();

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
    ASSERT_EQ(texture.size(), QSize(20, 4)) << "the last page's one strip";
    EXPECT_EQ(texture.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(texture.pixel(1, 3), qRgb(0, 255, 0));
}

TEST(UnwrapViewExport, TestParametersRecomputeWithTheStationDeclination)
{
    Survey s;
    auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
    line->UpdateAttitude(70, 0.0f, 0.0f, s.settings.declination);
    CAttitudeShape* shape = line.get();
    s.view->GetData()->AddShape(std::move(line));
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dlg);
        dlg->edit(1218)->selectAll();
        QTest::keyClicks(dlg->edit(1218), QStringLiteral("100"));
        QTest::mouseClick(dlg->control(1), Qt::LeftButton);
    });
    s.view->OnTestParams();
    EXPECT_EQ(shape->GetText(TextDipAngle), QStringLiteral("45°"));
    EXPECT_EQ(shape->GetText(TextDipDirection), QStringLiteral("340°"));
    EXPECT_EQ(s.view->GetData()->header().openingDiameter, 100);
    EXPECT_EQ(s.settings.openingDiameter, 70);
}
