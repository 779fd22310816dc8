#include "ui/bmp_button.h"

#include "fixed_look.h"
#include "res/resource_bitmaps.h"

#include <QEnterEvent>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace bc {
namespace {

struct ButtonOnForm {
    ButtonOnForm()
    {
        form.resize(200, 100);
        test::paintBackground(form, Qt::red);
        focusHolder = new QLineEdit(&form);
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
    void leave()
    {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(button, &e);
    }
    QImage shown() { return form.grab(button->geometry()).toImage(); }
    QWidget form;
    QLineEdit* focusHolder;
    CBmpButton* button;
};

QRgb centre(const QImage& img)
{
    return img.convertToFormat(QImage::Format_RGB32).pixel(img.width() / 2, img.height() / 2);
}

TEST(CBmpButton, LoadBitmapsNeedsTheNormalPictureAndEveryNamedOne)
{
    CBmpButton b;
    EXPECT_TRUE(b.LoadBitmaps(IDB_LIVE, IDB_LIVE_HOT, IDB_LIVE_DISABLED));
    EXPECT_FALSE(b.LoadBitmaps(9999, IDB_LIVE_HOT, IDB_LIVE_DISABLED));
    EXPECT_FALSE(b.hasBitmaps()); // the earlier pictures were released
    EXPECT_FALSE(b.LoadBitmaps(IDB_LIVE, 9999, 0));
    EXPECT_FALSE(b.hasBitmaps());
    EXPECT_TRUE(b.LoadBitmaps(IDB_LIVE, 0, 0)); // hot and disabled are optional
}

TEST(CBmpButton, HoverRaisesOverTheParentsBackgroundAndLeavingRestoresTheOwnersFrame)
{
    ButtonOnForm f;
    ASSERT_TRUE(f.button->LoadBitmaps(IDB_STOP, IDB_STOP_HOT, IDB_STOP_DISABLED));
    const QRgb dark = f.button->palette().color(QPalette::Dark).rgb();
    const QRgb light = f.button->palette().color(QPalette::Light).rgb();
    const QRgb red = qRgb(255, 0, 0);
    // No frame: the form's red shows at the corners; a switch that is on is
    // sunken. Either way the hover raises it and shows the hot picture,
    // centred (its corner region at (6, 6)).
    const QImage hotArt = loadResourceBitmap(IDB_STOP_HOT).convertToFormat(QImage::Format_RGB32);
    for (auto [state, topLeft, bottomRight] : {std::tuple{CBmpButton::FrameNone, red, red},
                                               std::tuple{CBmpButton::FrameSunken, dark, light}}) {
        f.button->SetFrameState(state);
        QImage img = f.shown();
        EXPECT_EQ(img.pixel(0, 0), topLeft) << state;
        EXPECT_EQ(img.pixel(59, 59), bottomRight) << state;
        f.enter();
        EXPECT_TRUE(f.button->isHovered());
        EXPECT_EQ(f.button->frameState(), CBmpButton::FrameRaised);
        img = f.shown();
        EXPECT_EQ(img.pixel(0, 0), light);
        EXPECT_EQ(img.pixel(59, 59), dark);
        EXPECT_EQ(img.pixel(6 + 10, 6 + 10), hotArt.pixel(10, 10));
        f.leave();
        EXPECT_FALSE(f.button->isHovered());
        EXPECT_EQ(f.button->frameState(), state);
    }
}

TEST(CBmpButton, PressSinksAndReleaseInsideSendsTheCommandOnce)
{
    ButtonOnForm f;
    f.button->SetFrameState(CBmpButton::FrameRaised);
    QSignalSpy spy(f.button, &CBmpButton::clicked);
    QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameSunken);
    EXPECT_TRUE(f.button->hasFocus());
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(30, 30));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1005);
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameRaised);

    // Dragged off before release: no command.
    QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(150, 30));
    EXPECT_EQ(spy.count(), 1);
}

TEST(CBmpButton, DisabledButtonShowsItsDisabledPictureAndSendsNothing)
{
    ButtonOnForm f;
    ASSERT_TRUE(f.button->LoadBitmaps(IDB_RECORD, IDB_RECORD_HOT, IDB_RECORD_DISABLED));
    const QRgb normalArt = centre(loadResourceBitmap(IDB_RECORD));
    EXPECT_EQ(centre(f.button->grab().toImage()), normalArt);
    f.button->setEnabled(false);
    const QRgb shown = centre(f.button->grab().toImage());
    EXPECT_EQ(shown, centre(loadResourceBitmap(IDB_RECORD_DISABLED)));
    EXPECT_NE(shown, normalArt);
    QSignalSpy spy(f.button, &CBmpButton::clicked);
    QTest::mouseClick(f.button, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(spy.count(), 0);
}

TEST(CBmpButton, CaptionTurnsBlueWhileHovered)
{
    ButtonOnForm f;
    f.button->setText(QStringLiteral("播放"));
    auto blue = [&] {
        const QImage img = f.shown();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                n += qBlue(c) > 150 && qRed(c) < 90 && qGreen(c) < 90;
            }
        return n;
    };
    EXPECT_EQ(blue(), 0);
    f.enter();
    EXPECT_GT(blue(), 5);
}

} // namespace
} // namespace bc
