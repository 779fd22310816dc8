// The cylinder window as the strip view opens it: what it draws, its buttons,
// its keys, its export and its life beside the strip view.

#include "analysis/d3d_frame.h"
#include "analysis/d3d_view.h"
#include "analysis/unwrap_view.h"
#include "app/key_router.h"
#include "core/survey_params.h"
#include "core/unwrap_image.h"
#include "platform/window_placement.h"
#include "support/scripted_prompter.h"
#include "ui/flat_tool_bar.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <set>

namespace bc {
namespace {

// Mesa unloads its driver when the last display connection closes, before the
// leak check at exit, which then reports what the driver kept for the process
// as leaked from an unknown module: the OpenGL tests keep the driver loaded.
struct KeepGlDriverLoaded : ::testing::Environment {
    void SetUp() override
    {
        if (!CD3DView::glAvailable())
            return;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void*) {
                if (std::strstr(info->dlpi_name, "/dri/") ||
                    std::strstr(info->dlpi_name, "gallium"))
                    dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                return 0;
            },
            nullptr);
    }
};

const auto* const kKeepGlDriverLoaded = ::testing::AddGlobalTestEnvironment(new KeepGlDriverLoaded);

enum Hue { White, Red, Blue, Green, Black, Other };

Hue hueAt(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    const int h = c.hsvHue(), saturated = c.hsvSaturation() > 150;
    return c.value() < 80                        ? Black
           : c.hsvSaturation() < 40              ? (c.value() > 220 ? White : Other)
           : saturated && (h < 20 || h > 340)    ? Red
           : saturated && std::abs(h - 120) < 20 ? Green
           : saturated && std::abs(h - 240) < 20 ? Blue
                                                 : Other;
}

QRect nonWhiteBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            box |= hueAt(image, x, y) != White ? QRect(x, y, 1, 1) : QRect();
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

// The cylinder window as the strip view opens it, with a page whose left half
// is red, right half blue, under a green band. Where no OpenGL context can be
// made the window holds no view and stays blank; the rest of it still works.
class D3DFrameTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ctx.settings = &settings;
        strip = std::make_unique<CUnWrapView>(ctx);
        QImage page(200, 100, QImage::Format_RGB888);
        page.fill(Qt::blue);
        QPainter painter(&page);
        painter.fillRect(0, 0, 100, 100, Qt::red);
        painter.fillRect(0, 0, 200, 12, Qt::green);
        painter.end();
        strip->showCylinder(input(page, "first.bmp", {12.5f, 12.55f, 12.6f, 12.65f}));
        ASSERT_TRUE(frame() && QTest::qWaitForWindowExposed(frame()));
        view = frame()->view();
        if (view)
            view->setFixedSize(400, 300);
    }
    CylinderInput input(const QImage& page, const QString& name, std::vector<float> labels)
    {
        page.save(dir.filePath(name), "BMP");
        return {
            dir.filePath(name), 200.0f / (2.0f * float(M_PI)), 100.0f, std::move(labels), 20, {}};
    }
    CD3DFrame* frame() const
    {
        const QList<CD3DFrame*> frames = strip->findChildren<CD3DFrame*>();
        return frames.size() == 1 ? frames.front() : nullptr;
    }
    void click(int command)
    {
        QTest::mouseClick(frame()->toolBar()->widgetForAction(frame()->action(command)),
                          Qt::LeftButton);
    }
    QImage shot() const { return view->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    QTemporaryDir dir;
    CSurveyParams settings;
    WorkspaceContext ctx;
    std::unique_ptr<CUnWrapView> strip;
    CD3DView* view = nullptr;
};

#define NEEDS_GL()                                                                                 \
    if (!view)                                                                                     \
    GTEST_SKIP() << "no OpenGL context can be made on this display (platform "                     \
                 << QGuiApplication::platformName().toStdString() << ")"

// The export is a 24-bit BMP of what the view shows.
TEST_F(D3DFrameTest, TheCylinderShowsThePageUnmirroredWithLabelsOnItsRightAndExportsIt)
{
    NEEDS_GL();
    const QImage image = shot();
    ASSERT_EQ(image.size(), QSize(400, 300));
    for (const QPoint c : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
        EXPECT_EQ(hueAt(image, c.x(), c.y()), White);
    // The top of the cylinder is the green band; the front is the page's left half.
    int top = 0;
    while (top < 150 && hueAt(image, 200, top) == White)
        ++top;
    EXPECT_EQ(hueAt(image, 200, top + 2), Green);
    EXPECT_EQ(huesNearCentre(image), std::set<Hue>{Red});
    // Black label text right of the cylinder above its middle, none left of it.
    const int row = nonWhiteBox(image).center().y();
    int right = 399, left = 0, blackRight = 0, blackLeft = 0;
    while (right > 0 && hueAt(image, right, row) != Red)
        --right;
    while (left < 399 && hueAt(image, left, row) != Red)
        ++left;
    for (int y = 0; y < row; ++y)
        for (int x = 0; x < 400; ++x)
            if ((x > right || x < left) && hueAt(image, x, y) == Black)
                ++(x > right ? blackRight : blackLeft);
    EXPECT_GT(blackRight, 5);
    EXPECT_EQ(blackLeft, 0);

    test::ScriptedPrompter prompter;
    prompter.fileAnswers = {dir.filePath("shot"), QString()};
    click(CD3DFrame::ID_EXPORT_BMP);
    click(CD3DFrame::ID_EXPORT_BMP); // cancelled: nothing more
    EXPECT_EQ(prompter.dialogTitles.size(), 2);
    EXPECT_TRUE(prompter.boxes.empty());
    QFile file(dir.filePath("shot.BMP"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(uint8_t(file.read(54).at(28)), 24); // bits per pixel
    const QImage exported(file.fileName());
    EXPECT_EQ(exported.size(), QSize(400, 300));
    EXPECT_EQ(huesNearCentre(exported.convertToFormat(QImage::Format_RGB32)), std::set<Hue>{Red});
    file.close();

    // "shot" again names the file written: asked before it is replaced;
    // "否" opens the dialog again (cancelled here), "是" replaces it.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
    file.close();
    for (int answer : {IDNO, IDYES}) {
        prompter.boxes.clear();
        prompter.fileAnswers = {dir.filePath("shot"), QString()};
        prompter.boxAnswers = {answer};
        click(CD3DFrame::ID_EXPORT_BMP);
        ASSERT_EQ(prompter.boxes.size(), 1u) << answer;
        EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("shot.BMP 已存在。\n您想要替换它吗？"));
        EXPECT_EQ(QImage(file.fileName()).isNull(), answer == IDNO) << answer;
    }
    // A file that cannot be written is told, with the reason.
    prompter.boxes.clear();
    prompter.fileAnswers = {dir.filePath("no/shot")};
    click(CD3DFrame::ID_EXPORT_BMP);
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("无法写入图像文件: %1\n文件或目录不存在")
                              .arg(dir.filePath("no/shot.BMP"))});
}

TEST_F(D3DFrameTest, TurningAQuarterShowsTheRedBlueBoundaryAndZoomingGrowsThePicture)
{
    NEEDS_GL();
    for (int command : {CD3DScene::ModeForward, CD3DScene::ModeBackward}) {
        view->DoViewCommand(CD3DScene::ModeNone);
        view->setStep(90);
        view->DoViewCommand(command);
        const std::set<Hue> hues = huesNearCentre(shot());
        EXPECT_TRUE(hues.count(Red) && hues.count(Blue)) << command;
    }
    view->DoViewCommand(CD3DScene::ModeNone);
    const QRect before = nonWhiteBox(shot());
    click(CD3DFrame::ID_ZOOM_IN);
    const QRect after = nonWhiteBox(shot());
    EXPECT_TRUE(after.contains(before) && after.width() > before.width());
    // A click in the zoom mode is shown at once.
    QSignalSpy swapped(view, &QOpenGLWidget::frameSwapped);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_TRUE(swapped.wait(2000));
}

// The auto buttons check only alone and the timer turns the view; plus and
// minus in the window reach neither it nor the form.
TEST_F(D3DFrameTest, TheAutoButtonsTheTimerAndTheKeys)
{
    auto* timer = frame()->findChild<QTimer*>(QStringLiteral("timer10000"));
    ASSERT_TRUE(timer && timer->interval() == 1000);
    timer->stop(); // no tick while the buttons are pressed
    using D = CD3DFrame;
    const std::tuple<int, bool, bool, float> rows[] = {
        // command, forward checked, backward checked, yaw
        {D::ID_AUTO_FORWARD, true, false, 30},    {D::ID_AUTO_BACKWARD, false, false, 0},
        {D::ID_AUTO_FORWARD, false, true, 30},    {D::ID_STEP_BACKWARD, false, true, -15},
        {D::ID_AUTO_BACKWARD, false, false, -45}, {D::ID_AUTO_FORWARD, true, false, -15}};
    for (const auto& [command, forward, backward, yaw] : rows) {
        click(command);
        EXPECT_EQ(std::tuple(frame()->action(D::ID_AUTO_FORWARD)->isChecked(),
                             frame()->action(D::ID_AUTO_BACKWARD)->isChecked(),
                             view ? view->scene().yaw() : yaw),
                  std::tuple(forward, backward, yaw))
            << command;
    }

    std::vector<int> routed, seen;
    CKeyRouter router([&](int key, bool) { routed.push_back(key); }, [](int) {});
    qApp->installEventFilter(&router);
    QApplication::setActiveWindow(frame());
    struct Seen : QObject {
        std::vector<int>* keys;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress)
                keys->push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } filter;
    filter.keys = &seen;
    frame()->centralWidget()->installEventFilter(&filter);
    for (int key : {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Equal, Qt::Key_A})
        QTest::keyClick(frame()->centralWidget(), Qt::Key(key));
    EXPECT_EQ(routed, std::vector<int>{Qt::Key_A});
    EXPECT_EQ(seen, std::vector<int>{Qt::Key_A});
    qApp->removeEventFilter(&router);

    NEEDS_GL();
    timer->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->scene().yaw() == 15.0f; }, 2500));
}

// A second cylinder goes to the open window, which keeps its own copy; once
// closed, the next asks for a new one, placed on the screen. The strip view's command marks every
// strip of its page.
TEST_F(D3DFrameTest, ASecondCylinderGoesToTheOpenWindowAndAClosedOneIsReplaced)
{
    CD3DFrame* first = frame();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("柱面图"));
    QImage blue(64, 64, QImage::Format_RGB888);
    blue.fill(Qt::blue);
    strip->showCylinder(input(blue, "second.bmp", {7.5f})); // gone before the next paint
    ASSERT_EQ(frame(), first);
    EXPECT_EQ(first->input().labels, std::vector<float>{7.5f});
    if (view) {
        EXPECT_EQ(huesNearCentre(shot()), std::set<Hue>{Blue});
    }
    // The texture handed is shown, not the file of its name another copy may have rewritten.
    QImage green(64, 64, QImage::Format_RGB888), red(64, 64, QImage::Format_RGB888);
    green.fill(Qt::green);
    red.fill(Qt::red);
    CylinderInput handed = input(green, "rewritten.bmp", {7.5f});
    handed.texture = red;
    strip->showCylinder(handed);
    ASSERT_EQ(frame(), first);
    if (view) {
        EXPECT_EQ(huesNearCentre(shot()), std::set<Hue>{Red});
    }
    first->close(); // deleted later
    // The next opens centred over the strip view, here near the screen's
    // bottom right, as far as the screen's available area allows.
    strip->resize(400, 300);
    strip->show();
    const QRect area = availableAreaFor(strip.get());
    strip->move(area.right() - 350, area.bottom() - 250);
    strip->showCylinder(input(blue, "third.bmp", {}));
    // (QTRY_ macros report to QTest, not here: a wait that fails must be checked.)
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame() && frame() != first; }));
    ASSERT_TRUE(frame() && QTest::qWaitForWindowExposed(frame()));
    QRect over(QPoint(), frame()->frameGeometry().size());
    over.moveCenter(strip->frameGeometry().center());
    EXPECT_EQ(frame()->frameGeometry(), placedWithin(over, area));
    EXPECT_TRUE(area.contains(frame()->frameGeometry()));

    test::ScriptedPrompter prompter;
    QStringList files;
    for (int key = 1000; key < 1900; key += 100) { // nine strips on a page of ten
        CUnWrapImage item(key, uint16_t(0));
        item.width = item.shownHeight = 8;
        item.adoptPixels(std::unique_ptr<uint8_t[]>(new uint8_t[8 * 24]()), 8, 24);
        ASSERT_TRUE(item.SaveBmp(dir.path()));
        files << item.bmpPath(dir.path());
    }
    prompter.multiFileAnswers = {files};
    strip->OnOpenJpg();
    strip->CreateCylinderImage();
    strip->CreateCylinderImage();
    ASSERT_TRUE(frame());
    EXPECT_EQ(frame()->input().markCount, 9); // not five a label
    EXPECT_EQ(frame()->input().labels, (std::vector<float>{1.0f, 1.5f}));
}

} // namespace
} // namespace bc
