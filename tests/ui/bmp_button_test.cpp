#include "ui/bmp_button.h"

#include "fixed_look.h"
#include "res/resource_bitmaps.h"

#include <QEnterEvent>
#include <QLineEdit>
#include <QSignalSpy>

namespace bc {
namespace {

// A button on a red form, with the focus on an edit beside it.
class BmpButtonTest : public ::testing::Test {
  protected:
    BmpButtonTest()
    {
        form.resize(200, 100);
        test::paintBackground(form, Qt::red);
        auto* focusHolder = new QLineEdit(&form);
        focusHolder->setGeometry(0, 80, 50, 20);
        button = new CBmpButton(1005, &form);
        button->setGeometry(10, 10, 60, 60);
        form.show();
        QApplication::setActiveWindow(&form);
        focusHolder->setFocus();
    }
    void enter()
    {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(button, &e);
    }
    QImage shown()
    {
        return form.grab(button->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QWidget form;
    CBmpButton* button;
};

QRgb centre(const QImage& img)
{
    return img.convertToFormat(QImage::Format_RGB32).pixel(img.width() / 2, img.height() / 2);
}

TEST_F(BmpButtonTest, LoadBitmapsNeedsTheNormalPictureAndEveryNamedOne)
{
    EXPECT_TRUE(button->LoadBitmaps(IDB_LIVE, 0, 0)); // hot and disabled are optional
    EXPECT_FALSE(button->LoadBitmaps(9999, IDB_LIVE_HOT, IDB_LIVE_DISABLED));
    EXPECT_FALSE(button->hasBitmaps()); // the earlier pictures were released
    EXPECT_FALSE(button->LoadBitmaps(IDB_LIVE, 9999, 0));
    EXPECT_FALSE(button->hasBitmaps());
}

TEST_F(BmpButtonTest, HoverRaisesOverTheParentsBackgroundAndLeavingRestoresTheOwnersFrame)
{
    ASSERT_TRUE(button->LoadBitmaps(IDB_STOP, IDB_STOP_HOT, IDB_STOP_DISABLED));
    const QRgb dark = button->palette().color(QPalette::Dark).rgb();
    const QRgb light = button->palette().color(QPalette::Light).rgb();
    const QRgb red = qRgb(255, 0, 0);
    // No frame: the form's red shows at the corners; a switch that is on is
    // sunken. Either way the hover raises it and shows the hot picture,
    // centred (its corner region at (6, 6)), and the caption turns blue.
    const QImage hotArt = loadResourceBitmap(IDB_STOP_HOT).convertToFormat(QImage::Format_RGB32);
    for (auto [state, topLeft, bottomRight] : {std::tuple{CBmpButton::FrameNone, red, red},
                                               std::tuple{CBmpButton::FrameSunken, dark, light}}) {
        button->SetFrameState(state);
        QImage img = shown();
        EXPECT_EQ(img.pixel(0, 0), topLeft) << state;
        EXPECT_EQ(img.pixel(59, 59), bottomRight) << state;
        enter();
        EXPECT_EQ(button->frameState(), CBmpButton::FrameRaised);
        img = shown();
        EXPECT_EQ(img.pixel(0, 0), light);
        EXPECT_EQ(img.pixel(59, 59), dark);
        EXPECT_EQ(img.pixel(6 + 10, 6 + 10), hotArt.pixel(10, 10));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        EXPECT_EQ(button->frameState(), state);
    }
}

TEST_F(BmpButtonTest, CaptionTurnsBlueWhileHovered)
{
    QFont bold = button->font();
    bold.setPixelSize(30);
    bold.setBold(true);
    button->setFont(bold); // strokes thick enough to show their colour unblended
    button->setText(QStringLiteral("播放"));
    EXPECT_EQ(test::countColour(shown(), Qt::blue), 0);
    enter();
    EXPECT_GT(test::countColour(shown(), Qt::blue), 100);
}

TEST_F(BmpButtonTest, PressSinksAndOnlyAReleaseInsideAnEnabledButtonSendsTheCommand)
{
    button->SetFrameState(CBmpButton::FrameRaised);
    QSignalSpy spy(button, &CBmpButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(button->frameState(), CBmpButton::FrameSunken);
    EXPECT_TRUE(button->hasFocus());
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 30));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1005);
    EXPECT_EQ(button->frameState(), CBmpButton::FrameRaised);

    // Dragged off before release: no command.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 30));
    EXPECT_EQ(spy.count(), 1);

    // Disabled: its own picture, and no command.
    ASSERT_TRUE(button->LoadBitmaps(IDB_RECORD, IDB_RECORD_HOT, IDB_RECORD_DISABLED));
    button->setEnabled(false);
    EXPECT_EQ(centre(button->grab().toImage()), centre(loadResourceBitmap(IDB_RECORD_DISABLED)));
    EXPECT_NE(centre(loadResourceBitmap(IDB_RECORD_DISABLED)),
              centre(loadResourceBitmap(IDB_RECORD)));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
} // namespace bc
