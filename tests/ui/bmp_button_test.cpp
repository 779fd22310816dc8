#include "ui/bmp_button.h"

#include "res/resource_bitmaps.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace bc {
namespace {

struct ButtonOnForm {
    ButtonOnForm()
    {
        form.resize(200, 100);
        form.setAutoFillBackground(true);
        QPalette pal = form.palette();
        pal.setColor(QPalette::Window, QColor(255, 0, 0));
        form.setPalette(pal);
        focusHolder = new QLineEdit(&form);
        focusHolder->setGeometry(0, 80, 50, 20);
        button = new CBmpButton(1005, &form);
        button->setGeometry(10, 10, 60, 60);
        other = new CBmpButton(1011, &form);
        other->setGeometry(100, 10, 60, 60);
        form.show();
        QApplication::setActiveWindow(&form);
        focusHolder->setFocus();
    }
    void enter(QWidget* w)
    {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(w, &e);
    }
    void leave(QWidget* w)
    {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    }
    QWidget form;
    QLineEdit* focusHolder;
    CBmpButton* button;
    CBmpButton* other;
};

QRgb centre(const QImage& img)
{
    return img.pixel(img.width() / 2, img.height() / 2);
}

TEST(CBmpButton, LoadBitmapsNeedsTheNormalPictureAndEveryNamedOne)
{
    CBmpButton b;
    EXPECT_TRUE(b.LoadBitmaps(IDB_LIVE, IDB_LIVE_HOT, IDB_LIVE_DISABLED));
    EXPECT_TRUE(b.hasBitmaps());
    EXPECT_FALSE(b.LoadBitmaps(9999, IDB_LIVE_HOT, IDB_LIVE_DISABLED));
    EXPECT_FALSE(b.hasBitmaps()); // the earlier pictures were released
    EXPECT_FALSE(b.LoadBitmaps(IDB_LIVE, 9999, 0));
    EXPECT_FALSE(b.hasBitmaps());
    EXPECT_TRUE(b.LoadBitmaps(IDB_LIVE, 0, 0)); // hot and disabled are optional
}

TEST(CBmpButton, HoverRaisesAndLeavingRestoresTheOwnersFrame)
{
    ButtonOnForm f;
    f.button->SetFrameState(CBmpButton::FrameNone);
    f.enter(f.button);
    EXPECT_TRUE(f.button->isHovered());
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameRaised);
    f.leave(f.button);
    EXPECT_FALSE(f.button->isHovered());
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameNone);

    f.button->SetFrameState(CBmpButton::FrameSunken); // a switch that is on
    f.enter(f.button);
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameRaised);
    f.leave(f.button);
    EXPECT_EQ(f.button->frameState(), CBmpButton::FrameSunken);
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
    const QImage normalArt = loadResourceBitmap(IDB_RECORD);
    const QImage disabledArt = loadResourceBitmap(IDB_RECORD_DISABLED);
    EXPECT_EQ(centre(f.button->grab().toImage()), centre(normalArt.convertToFormat(QImage::Format_RGB32)));
    f.button->setEnabled(false);
    const QImage shown = f.button->grab().toImage();
    EXPECT_EQ(centre(shown), centre(disabledArt.convertToFormat(QImage::Format_RGB32)));
    EXPECT_NE(centre(shown), centre(normalArt.convertToFormat(QImage::Format_RGB32)));
    QSignalSpy spy(f.button, &CBmpButton::clicked);
    QTest::mouseClick(f.button, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(spy.count(), 0);
}

TEST(CBmpButton, PaintsFrameOverTheParentsBackgroundAndHotPictureWhileHovered)
{
    ButtonOnForm f;
    ASSERT_TRUE(f.button->LoadBitmaps(IDB_STOP, IDB_STOP_HOT, IDB_STOP_DISABLED));
    f.button->SetFrameState(CBmpButton::FrameNone);
    QImage img = f.form.grab(f.button->geometry()).toImage();
    // No frame: the form's red shows at the corners and around the picture.
    EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(img.pixel(59, 59)), QColor(255, 0, 0));

    f.button->SetFrameState(CBmpButton::FrameSunken);
    img = f.form.grab(f.button->geometry()).toImage();
    const QRgb dark = f.button->palette().color(QPalette::Dark).rgb();
    const QRgb light = f.button->palette().color(QPalette::Light).rgb();
    EXPECT_EQ(img.pixel(0, 0), dark);
    EXPECT_EQ(img.pixel(59, 59), light);

    f.enter(f.button);
    img = f.form.grab(f.button->geometry()).toImage();
    EXPECT_EQ(img.pixel(0, 0), light); // raised
    EXPECT_EQ(img.pixel(59, 59), dark);
    const QImage hotArt = loadResourceBitmap(IDB_STOP_HOT).convertToFormat(QImage::Format_RGB32);
    // The picture is centred: the hot art's corner region sits at (6, 6).
    EXPECT_EQ(img.pixel(6 + 10, 6 + 10), hotArt.pixel(10, 10));
}

TEST(CBmpButton, CaptionTurnsBlueWhileHovered)
{
    ButtonOnForm f;
    f.button->setText(QStringLiteral("播放"));
    auto countBlue = [&] {
        const QImage img = f.form.grab(f.button->geometry()).toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qBlue(img.pixel(x, y)) > 150 && qRed(img.pixel(x, y)) < 90 &&
                    qGreen(img.pixel(x, y)) < 90)
                    ++n;
        return n;
    };
    EXPECT_EQ(countBlue(), 0);
    f.enter(f.button);
    EXPECT_GT(countBlue(), 5);
}

} // namespace
} // namespace bc
