#include "analysis/d3d_view.h"
#include "core/jpeg_file.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace bc {
namespace {

enum Hue { White, Red, Blue, Green, Black, Other };

Hue hueAt(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    const int r = c.red(), g = c.green(), b = c.blue();
    const auto high = [](int v) { return v > 150; };
    const auto low = [](int v) { return v < 90; };
    return r > 220 && g > 220 && b > 220 ? White
           : r < 80 && g < 80 && b < 80  ? Black
           : high(r) && low(g) && low(b) ? Red
           : high(b) && low(r) && low(g) ? Blue
           : high(g) && low(r) && low(b) ? Green
                                         : Other;
}

QRect nonWhiteBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (hueAt(image, x, y) != White)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The hues along the cylinder's middle row, 15 pixels either side of the centre.
std::set<Hue> huesNearCentre(const QImage& image)
{
    std::set<Hue> hues;
    for (int x = image.width() / 2 - 15; x <= image.width() / 2 + 15; ++x)
        hues.insert(hueAt(image, x, nonWhiteBox(image).center().y()));
    return hues;
}

class D3DViewGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CD3DView::glAvailable())
            GTEST_SKIP() << "no OpenGL context can be made on this display (platform "
                         << QGuiApplication::platformName().toStdString() << ")";
        // Left half red, right half blue, a green band along the top.
        QImage texture(200, 100, QImage::Format_RGB888);
        texture.fill(Qt::blue);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                if (y < 12 || x < 100)
                    texture.setPixelColor(x, y, y < 12 ? Qt::green : Qt::red);
        ASSERT_TRUE(texture.save(dir.filePath("texture.bmp"), "BMP"));
        CylinderInput in{dir.filePath("texture.bmp"), 200.0f / (2.0f * float(M_PI)), 100.0f,
                         {12.5f, 12.55f, 12.6f, 12.65f}, 20};
        view.resize(400, 300);
        view.setInput(in);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        ASSERT_TRUE(view.isReady());
    }

    QImage frame() { return view.grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    QTemporaryDir dir;
    CD3DView view;
};

TEST_F(D3DViewGl, TheCylinderShowsThePageUnmirroredWithLabelsOnItsRight)
{
    const QImage shot = frame();
    ASSERT_EQ(shot.size(), QSize(400, 300));
    for (const QPoint c : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
        EXPECT_EQ(hueAt(shot, c.x(), c.y()), White);
    // The top of the cylinder is the green band; the front is the page's left half.
    int top = 0;
    while (top < 150 && hueAt(shot, 200, top) == White)
        ++top;
    EXPECT_EQ(hueAt(shot, 200, top + 2), Green);
    EXPECT_EQ(huesNearCentre(shot), std::set<Hue>{Red});
    // Black label text right of the cylinder's right edge above its middle,
    // none left of its left edge.
    const int row = nonWhiteBox(shot).center().y();
    int right = 399, left = 0;
    while (right > 0 && hueAt(shot, right, row) == White)
        --right;
    while (left < 399 && hueAt(shot, left, row) == White)
        ++left;
    int blackRight = 0, blackLeft = 0;
    for (int y = 0; y < row; ++y)
        for (int x = 0; x < 400; ++x)
            if ((x > right || x < left) && hueAt(shot, x, y) == Black)
                ++(x > right ? blackRight : blackLeft);
    EXPECT_GT(blackRight, 5);
    EXPECT_EQ(blackLeft, 0);
}

TEST_F(D3DViewGl, TurningAQuarterEitherWayBringsTheRedBlueBoundaryToTheFront)
{
    for (int command : {CD3DScene::ModeForward, CD3DScene::ModeBackward}) {
        view.DoViewCommand(CD3DScene::ModeNone);
        view.setStep(90);
        view.DoViewCommand(command);
        const std::set<Hue> hues = huesNearCentre(frame());
        EXPECT_TRUE(hues.count(Red) && hues.count(Blue)) << command;
    }
}

TEST_F(D3DViewGl, ZoomingInGrowsThePictureAndClicksAndDragsRepaint)
{
    const QRect before = nonWhiteBox(frame());
    view.DoViewCommand(CD3DScene::ModeZoomIn);
    const QRect after = nonWhiteBox(frame());
    EXPECT_GT(after.width() * after.height(), before.width() * before.height());
    EXPECT_TRUE(after.contains(before));

    // A click in the zoom mode and a step of a drag are shown at once.
    QSignalSpy swapped(&view, &QOpenGLWidget::frameSwapped);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_TRUE(swapped.wait(2000));
    view.DoViewCommand(CD3DScene::ModeNone);
    swapped.wait(2000);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(&view, QPoint(240, 150));
    swapped.clear();
    EXPECT_TRUE(swapped.wait(2000));
    EXPECT_FLOAT_EQ(view.scene().yaw(), -40.0f);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(240, 150));
}

TEST_F(D3DViewGl, ExportWritesTheViewAsA24BitBmp)
{
    test::ScriptedPrompter prompter;
    prompter.fileAnswers = {dir.filePath("shot"), QString()};
    view.OnExportBmp();
    view.OnExportBmp(); // cancelled: nothing more
    EXPECT_EQ(prompter.dialogTitles.size(), 2);
    EXPECT_TRUE(prompter.boxes.empty());
    QFile file(dir.filePath("shot.BMP"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(uint8_t(file.read(54).at(28)), 24); // bits per pixel
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(JpegFile::LoadBmpFile(file.fileName(), &w, &h));
    EXPECT_EQ(QSize(int(w), int(h)), view.size());
    EXPECT_EQ(huesNearCentre(QImage(file.fileName()).convertToFormat(QImage::Format_RGB32)),
              std::set<Hue>{Red});
}

} // namespace
} // namespace bc
