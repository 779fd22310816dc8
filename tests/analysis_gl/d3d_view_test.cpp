#include "analysis/d3d_frame.h"
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

enum class Hue { White, Red, Blue, Green, Black, Other };

Hue hueAt(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    const int r = c.red(), g = c.green(), b = c.blue();
    if (r > 220 && g > 220 && b > 220)
        return Hue::White;
    if (r < 80 && g < 80 && b < 80)
        return Hue::Black;
    if (r > 150 && g < 90 && b < 90)
        return Hue::Red;
    if (b > 150 && r < 90 && g < 90)
        return Hue::Blue;
    if (g > 150 && r < 90 && b < 90)
        return Hue::Green;
    return Hue::Other;
}

// Left half red, right half blue, a green band along the top.
QString writeTexture(const QTemporaryDir& dir, const QString& name, QColor left = Qt::red)
{
    QImage texture(200, 100, QImage::Format_RGB888);
    texture.fill(Qt::blue);
    for (int y = 0; y < texture.height(); ++y)
        for (int x = 0; x < texture.width(); ++x)
            if (y < 12)
                texture.setPixelColor(x, y, Qt::green);
            else if (x < texture.width() / 2)
                texture.setPixelColor(x, y, left);
    const QString path = dir.filePath(name);
    texture.save(path, "BMP");
    return path;
}

CylinderInput inputFor(const QString& texture)
{
    CylinderInput in;
    in.texturePath = texture;
    in.radius = 200.0f / (2.0f * float(M_PI));
    in.height = 100.0f;
    in.markCount = 20;
    in.labels = {12.5f, 12.55f, 12.6f, 12.65f};
    return in;
}

QRect nonWhiteBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (hueAt(image, x, y) != Hue::White)
                box |= QRect(x, y, 1, 1);
    return box;
}

class D3DViewGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CD3DView::glAvailable())
            GTEST_SKIP() << "no OpenGL context can be made on this display (platform "
                         << QGuiApplication::platformName().toStdString() << ")";
        ASSERT_TRUE(dir.isValid());
        view = std::make_unique<CD3DView>();
        view->resize(400, 300);
        view->setInput(inputFor(writeTexture(dir, "texture.bmp")));
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        ASSERT_TRUE(view->isReady());
    }

    QImage frame() { return view->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    // The hues along the middle row of the cylinder, `reach` pixels either
    // side of the centre.
    std::set<Hue> huesNearCentre(const QImage& image, int reach)
    {
        const QRect box = nonWhiteBox(image);
        std::set<Hue> hues;
        for (int x = 200 - reach; x <= 200 + reach; ++x)
            hues.insert(hueAt(image, x, box.center().y()));
        return hues;
    }

    QTemporaryDir dir;
    std::unique_ptr<CD3DView> view;
};

TEST_F(D3DViewGl, TheCylinderShowsThePageUnmirroredWithLabelsOnItsRight)
{
    const QImage shot = frame();
    ASSERT_EQ(shot.size(), QSize(400, 300));
    EXPECT_TRUE(view->hasTexture());
    for (const QPoint corner : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
        EXPECT_EQ(hueAt(shot, corner.x(), corner.y()), Hue::White);

    // The top of the cylinder is the texture's green band; below it, the
    // front shows the page's left (red) half.
    int top = 0;
    while (top < 300 && hueAt(shot, 200, top) == Hue::White)
        ++top;
    ASSERT_LT(top, 150);
    EXPECT_EQ(hueAt(shot, 200, top + 2), Hue::Green);
    EXPECT_EQ(huesNearCentre(shot, 15), std::set<Hue>{Hue::Red});

    // Black label text to the right of the cylinder's right edge, none left of
    // its left edge.
    const int row = nonWhiteBox(shot).center().y();
    int right = 399;
    while (right > 0 && hueAt(shot, right, row) == Hue::White)
        --right;
    int left = 0;
    while (left < 399 && hueAt(shot, left, row) == Hue::White)
        ++left;
    int blackRight = 0, blackLeft = 0;
    for (int y = 0; y < row; ++y) {
        for (int x = right + 1; x < 400; ++x)
            blackRight += hueAt(shot, x, y) == Hue::Black;
        for (int x = 0; x < left; ++x)
            blackLeft += hueAt(shot, x, y) == Hue::Black;
    }
    EXPECT_GT(blackRight, 5);
    EXPECT_EQ(blackLeft, 0);
}

TEST_F(D3DViewGl, TurningAQuarterBringsTheRedBlueBoundaryToTheFront)
{
    for (int command : {CD3DScene::ModeForward, CD3DScene::ModeBackward}) {
        view->DoViewCommand(CD3DScene::ModeNone);
        view->setStep(90);
        view->DoViewCommand(command);
        const std::set<Hue> hues = huesNearCentre(frame(), 15);
        EXPECT_TRUE(hues.count(Hue::Red) && hues.count(Hue::Blue)) << command;
    }
}

TEST_F(D3DViewGl, ZoomingInGrowsThePictureAndClicksAndDragsRepaint)
{
    const QRect before = nonWhiteBox(frame());
    view->DoViewCommand(CD3DScene::ModeZoomIn);
    const QRect after = nonWhiteBox(frame());
    EXPECT_GT(after.width() * after.height(), before.width() * before.height());
    EXPECT_TRUE(after.contains(before));

    // A click in the zoom mode and each step of a drag are shown at once.
    QSignalSpy swapped(view.get(), &QOpenGLWidget::frameSwapped);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_TRUE(swapped.wait(2000));
    view->DoViewCommand(CD3DScene::ModeNone);
    swapped.wait(2000);
    QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(view.get(), QPoint(240, 150));
    swapped.clear();
    EXPECT_TRUE(swapped.wait(2000));
    EXPECT_FLOAT_EQ(view->scene().yaw(), -40.0f);
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(240, 150));
}

TEST_F(D3DViewGl, ExportWritesTheViewAsA24BitBmp)
{
    test::ScriptedPrompter prompter;
    const QString chosen = dir.filePath("shot");
    prompter.fileAnswers = {chosen, QString()};
    view->OnExportBmp();
    view->OnExportBmp(); // cancelled: nothing more
    ASSERT_EQ(prompter.dialogTitles.size(), 2);
    EXPECT_TRUE(prompter.boxes.empty());

    QFile file(chosen + ".BMP");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(54);
    ASSERT_EQ(header.size(), 54);
    EXPECT_EQ(uint8_t(header[28]), 24); // bits per pixel
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(JpegFile::LoadBmpFile(file.fileName(), &w, &h));
    EXPECT_EQ(QSize(int(w), int(h)), view->size());
    const QImage saved(file.fileName());
    EXPECT_EQ(hueAt(saved, 0, 0), Hue::White);
    EXPECT_EQ(huesNearCentre(saved.convertToFormat(QImage::Format_RGB32), 15),
              std::set<Hue>{Hue::Red});
}

} // namespace
} // namespace bc
