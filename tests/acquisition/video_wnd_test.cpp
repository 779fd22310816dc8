// The video window: letterbox geometry, the centre pick, the menu, the closing
// report, swallowed keys and the painted frame.

#include "acquisition/video_wnd.h"

#include "acquisition/shared_frame.h"
#include "core/program_values.h"
#include "platform/window_placement.h"
#include "support/station_form.h"

#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

namespace bc {
namespace {

class RecordingVideoWnd : public CVideoWnd {
  public:
    using CVideoWnd::CVideoWnd;
    int menusShown = 0;
    QList<bool> lastMenuChecks;
    int keysSeen = 0;

  protected:
    void execViewMenu(QMenu& menu, const QPoint&) override
    {
        ++menusShown;
        lastMenuChecks.clear();
        for (QAction* a : menu.actions())
            lastMenuChecks << a->isChecked();
    }
    void keyPressEvent(QKeyEvent*) override { ++keysSeen; }
    void keyReleaseEvent(QKeyEvent*) override { ++keysSeen; }
};

class VideoWndTest : public ::testing::Test {
  protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
        FrameFormat::reset();
    }
};

TEST_F(VideoWndTest, SizesAndLetterboxGeometry)
{
    // client width and height, video width and height, picture shown
    const std::pair<std::array<int, 4>, QRect> rows[] = {
        {{1000, 616, 768, 576}, QRect(116, 0, 768, 576)}, // bands left and right
        {{768, 800, 768, 576}, QRect(0, 92, 768, 576)},   // bands above and below
        {{387, 328, 384, 288}, QRect(1, 0, 384, 288)},    // odd leftovers truncate
        {{768, 40, 768, 576}, QRect()},                   // no room above the bar, or no video
        {{768, 616, 0, 576}, QRect()},
    };
    for (const auto& [in, shown] : rows) {
        const QRect got = CVideoWnd::fitVideo(in[0], in[1], in[2], in[3]);
        EXPECT_EQ(got.isEmpty() ? QRect() : got, shown) << in[0] << "x" << in[1];
    }

    // The video above the 40-pixel bar, which always spans the whole width.
    CVideoWnd wnd(CVideoWnd::videoSizeForCode(2));
    wnd.onDoubleSize();
    EXPECT_EQ(wnd.videoRect(), QRect(0, 0, 1536, 1152));
    wnd.onNaturalSize();
    EXPECT_EQ(wnd.size(), QSize(768, 616));
    wnd.show();
    wnd.resize(1000, 616);
    EXPECT_EQ(wnd.bar()->geometry(), QRect(0, 576, 1000, 40));
    wnd.resize(300, 30);
    EXPECT_EQ(wnd.bar()->geometry(), QRect(0, -10, 300, 40));
}

// The large picture's window, dragged partly off the screen, through its
// menu's "两倍" (larger than the screen: cut to its available area) and back
// to "原始": each time it lies within the area.
TEST_F(VideoWndTest, DoubleAndNaturalSizeKeepTheWindowOnTheScreen)
{
    CVideoWnd wnd(CVideoWnd::videoSizeForCode(0));
    wnd.show();
    const QRect area = availableAreaFor(&wnd);
    wnd.move(area.right() - 100, area.bottom() - 100);
    const QSize frame = wnd.frameGeometry().size() - wnd.size();
    std::unique_ptr<QMenu> menu(wnd.createViewMenu(nullptr));
    // menu entry, frame size
    const std::pair<int, QSize> rows[] = {{1, QSize(1536, 1152 + CVideoWnd::kBarHeight) + frame},
                                          {0, QSize(768, 576 + CVideoWnd::kBarHeight) + frame}};
    for (const auto& [entry, size] : rows) {
        menu->actions().at(entry)->trigger();
        EXPECT_EQ(wnd.frameGeometry().size(), size.boundedTo(area.size())) << entry;
        EXPECT_TRUE(area.contains(wnd.frameGeometry())) << entry;
    }
}

TEST_F(VideoWndTest, CentrePickMapsThroughTheDisplayedPicture)
{
    RecordingVideoWnd wnd(QSize(768, 576));
    wnd.show();
    wnd.resize(1000, 616); // video at x 116..883 (wider than a small screen)
    QSignalSpy picked(&wnd, &CVideoWnd::centrePicked);
    wnd.onCentrePick();
    EXPECT_EQ(wnd.cursor().shape(), Qt::CrossCursor);
    QTest::mouseClick(&wnd, Qt::LeftButton, {}, QPoint(116 + 384, 288));
    EXPECT_EQ(picked.count(), 0); // before the first frame

    FrameFormat::publishSize(720, 576);
    {
        std::lock_guard<std::mutex> lock(frameLock());
        ASSERT_TRUE(sharedFrame().reserve(720 * 3 * 576));
        sharedFrame().setSize(720, 576);
    }
    // Within 50 pixels of the picture's corner, or in the black band: ignored.
    for (const QPoint at : {QPoint(116 + 384, 288), QPoint(116 + 49, 300), QPoint(500, 49),
                            QPoint(950, 300), QPoint(116 + 50, 50)})
        QTest::mouseClick(&wnd, Qt::LeftButton, {}, at);
    ASSERT_EQ(picked.count(), 2);
    EXPECT_EQ(picked.at(0), QVariantList({360, 288}));
    EXPECT_EQ(picked.at(1), QVariantList({46, 50})); // int(50 / 768 * 720)

    // The pick stays on until the right button ends it, without a menu.
    EXPECT_TRUE(wnd.centrePickMode());
    QTest::mouseClick(&wnd, Qt::RightButton, {}, QPoint(300, 300));
    EXPECT_FALSE(wnd.centrePickMode());
    EXPECT_EQ(wnd.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(wnd.menusShown, 0);
}

TEST_F(VideoWndTest, RightButtonOpensTheViewMenuWithTheCurrentSizeChecked)
{
    RecordingVideoWnd wnd(QSize(384, 288));
    wnd.show();
    for (const QList<bool>& checked :
         {QList<bool>{true, false, false, false}, QList<bool>{false, true, false, false}}) {
        QTest::mouseClick(&wnd, Qt::RightButton, {}, QPoint(100, 100));
        EXPECT_EQ(wnd.lastMenuChecks, checked);
        wnd.onDoubleSize();
    }
    EXPECT_EQ(wnd.menusShown, 2);
    std::unique_ptr<QMenu> menu(wnd.createViewMenu(nullptr));
    menu->actions().at(3)->trigger();
    EXPECT_TRUE(wnd.centrePickMode());
    menu->actions().at(0)->trigger();
    EXPECT_EQ(wnd.size(), QSize(384, 328));
}

TEST_F(VideoWndTest, ClosingOnlyReportsKeysAreSwallowedAndEveryOtherClickBringsTheFormForward)
{
    QWidget form;
    RecordingVideoWnd wnd(QSize(384, 288));
    wnd.setMainForm(&form);
    wnd.show();
    QSignalSpy closing(&wnd, &CVideoWnd::closeRequested);
    EXPECT_FALSE(wnd.close());
    EXPECT_EQ(closing.count(), 1);
    QTest::keyClick(&wnd, Qt::Key_Plus);
    QTest::keyClick(&wnd, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(wnd.keysSeen, 0);
    for (const bool shown : {true, false, true}) {
        form.hide();
        QTest::mouseClick(&wnd, Qt::LeftButton, {}, QPoint(100, 100));
        EXPECT_EQ(form.isVisible(), shown);
    }
}

TEST_F(VideoWndTest, PaintsTheLatestFrameLetterboxed)
{
    CVideoWnd wnd(QSize(384, 288));
    wnd.resize(500, 328); // picture at x 58..441
    wnd.show();
    // A frame 90 pixels wide (rows padded) from another thread, blue on top,
    // green below.
    const int w = 90, h = 60, stride = 272;
    std::vector<uchar> bgr(static_cast<std::size_t>(stride) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar* p = &bgr[static_cast<std::size_t>(y) * stride + x * 3];
            p[0] = y < h / 2 ? 255 : 0;
            p[1] = y < h / 2 ? 0 : 255;
            p[2] = 0;
        }
    std::thread streaming([&, slot = wnd.frameSlot()] { slot->present(bgr.data(), w, h, stride); });
    streaming.join();
    QCoreApplication::sendPostedEvents(&wnd);

    const QImage shot = wnd.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(250, 40)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(shot.pixel(250, 250)), QColor(0, 255, 0));
    // The band beside the picture is black, crossed by the red outline of
    // the ellipse.
    EXPECT_EQ(QColor(shot.pixel(20, 164)), QColor(Qt::black));
    int red = 0;
    for (int y = 0; y < 288; ++y)
        red += QColor(shot.pixel(20, y)) == QColor(255, 0, 0);
    EXPECT_GE(red, 2);
}

// The video window as the station opens it, over a form near the screen's
// bottom right: it opens centred on the form as far as the screen's available
// area allows, and "原始" and "两倍" keep it within that area; only a window
// larger than the screen is cut to it.
TEST_F(VideoWndTest, OpensAndResizesWithinTheScreenOverAFormInTheCorner)
{
    for (const int sizeCode : {1, 0}) { // 384 x 288, then 768 x 576
        SCOPED_TRACE(sizeCode);
        test::StationForm station("test:352x288@25");
        CAcquisitionDlg& form = *station.form;
        const QRect area = availableAreaFor(&form);
        form.move(area.right() - 300, area.bottom() - 200);
        FrameFormat::setVideoSizeCode(sizeCode);
        form.OnStartAcquisition();
        const auto windows = form.findChildren<CVideoWnd*>();
        ASSERT_EQ(windows.size(), 1);
        CVideoWnd* wnd = windows[0];
        const QSize natural(wnd->videoSize() + QSize(0, CVideoWnd::kBarHeight));
        const QSize frame = wnd->frameGeometry().size() - wnd->size();
        EXPECT_EQ(wnd->size(), natural.boundedTo(area.size() - frame));
        QRect over(QPoint(), wnd->frameGeometry().size());
        over.moveCenter(form.frameGeometry().center());
        EXPECT_EQ(wnd->frameGeometry(), placedWithin(over, area));
        for (const auto resize : {&CVideoWnd::onDoubleSize, &CVideoWnd::onNaturalSize}) {
            (wnd->*resize)();
            EXPECT_TRUE(area.contains(wnd->frameGeometry())) << wnd->frameGeometry().bottom();
        }
        form.OnStopRecord();
    }
}

} // namespace
} // namespace bc
