// The playback slider under the user's hand: while a recording plays, its
// handle can be dragged and held without the position timer pulling it back,
// and letting go moves the film there.

#include "acquisition/acquisition_dlg.h"

#include "acquisition/device_control.h"
#include "acquisition/mpeg_encoder.h"
#include "acquisition/track_file.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"
#include "support/file_bytes.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace bc {
namespace {

constexpr int kFrames = 250; // 10 s at 25 a second

// A recording as the station writes it: the MPEG film and its depth track,
// one record a frame, the depth rising 1 cm a record.
QString writeRecording(const QTemporaryDir& dir)
{
    const QString film = dir.filePath(QStringLiteral("回放.mpg"));
    EncoderProfile p;
    p.width = 352;
    p.height = 288;
    CMpegEncoder enc;
    EXPECT_TRUE(enc.open(film, p));
    std::vector<uint8_t> px(352 * 3 * 288);
    QByteArray track;
    for (int i = 0; i < kFrames; ++i) {
        std::fill(px.begin(), px.end(), static_cast<uint8_t>(i));
        enc.addFrame(px.data(), 352, 288, 352 * 3);
        uint8_t rec[kTrackRecordBytes];
        encodeTrackRecord(TrackRecord{i * 10, 90}, rec);
        track.append(reinterpret_cast<const char*>(rec), kTrackRecordBytes);
    }
    EXPECT_TRUE(enc.finish());
    EXPECT_TRUE(test::writeFileBytes(MakeTrackName(film), track));
    return film;
}

// Where the slider draws its handle now.
QRect handleRect(const QSlider& s)
{
    QStyleOptionSlider opt;
    opt.initFrom(&s);
    opt.orientation = s.orientation();
    opt.state |= QStyle::State_Horizontal;
    opt.minimum = s.minimum();
    opt.maximum = s.maximum();
    opt.tickPosition = s.tickPosition();
    opt.tickInterval = s.tickInterval();
    opt.upsideDown = s.invertedAppearance() != (s.layoutDirection() == Qt::RightToLeft);
    opt.direction = s.layoutDirection();
    opt.sliderPosition = s.sliderPosition();
    opt.sliderValue = s.value();
    opt.singleStep = s.singleStep();
    opt.pageStep = s.pageStep();
    opt.subControls = QStyle::SC_SliderHandle;
    return s.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &s);
}

void moveHeld(QSlider& s, QPoint at)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(s.mapToGlobal(at)), Qt::NoButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s, &e);
    QCoreApplication::processEvents();
}

TEST(PlaybackSlider, TheHandleStaysWhereItIsHeldWhilePlayingAndTheFilmFollowsOnRelease)
{
    QTemporaryDir dir;
    test::TempSettings profile, deviceValues;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    setCaptureSource(QStringLiteral("test:352x288@25"));
    publishDepthHeading(0, 0);
    const QString film = writeRecording(dir);
    CTrackFile track;
    auto graphs = makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
    AcquisitionHooks hooks;
    hooks.track = &track;
    CAcquisitionDlg form(*graphs, profile.settings(), hooks);
    form.setWaitFunction([](int) {});
    form.show();
    form.OnInitDialog();

    prompter.fileAnswers.push_back(film);
    form.OnOpenPlayback();
    ASSERT_EQ(form.GetUiMode(), ModePlayback);
    auto& slider = *static_cast<QSlider*>(form.control(IDC_POSITION));
    auto* depth = static_cast<QLineEdit*>(form.control(IDC_DEPTH));
    // Playing: the timer moves the handle.
    ASSERT_TRUE(test::waitUntil([&] { return slider.value() >= 3; })) << slider.value();

    // Pressed on the handle and dragged to the right, a few pixels a move.
    const QPoint grip = handleRect(slider).center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, grip);
    ASSERT_TRUE(slider.isSliderDown()) << "the press missed the handle";
    QPoint at = grip;
    while (slider.sliderPosition() < 60 && at.x() < slider.width()) {
        at.rx() += 7;
        moveHeld(slider, at);
    }
    const int held = slider.sliderPosition();
    ASSERT_GE(held, 60);

    // Held still while the film plays on: the timer ticks (the depth field
    // follows the film) and the handle stays under the pointer.
    for (int ticks = 0; ticks < 5; ++ticks) {
        const QString shown = depth->text();
        ASSERT_TRUE(test::waitUntil([&] { return depth->text() != shown; }))
            << "the film stopped playing";
        EXPECT_EQ(slider.sliderPosition(), held);
    }
    EXPECT_EQ(form.GetUiMode(), ModePlayback);
    // The film has not gone where the handle is held: it moves on release
    // only (it plays on from a few percent, far short of half the way).
    float whileHeld = 0;
    ASSERT_TRUE(form.graph() && form.graph()->GetPositionFraction(whileHeld));
    EXPECT_LT(whileHeld * 100, held / 2) << "the film followed the handle before it was let go";

    // Let go: the film, its track and the handle go where it was dropped.
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, at);
    EXPECT_FALSE(slider.isSliderDown());
    float fraction = 0;
    ASSERT_TRUE(form.graph() && form.graph()->GetPositionFraction(fraction));
    EXPECT_NEAR(fraction * 100, held, 3);
    const auto metres = [&] { return depth->text().chopped(1).toDouble(); }; // "%.3f米"
    EXPECT_TRUE(test::waitUntil([&] {
        return slider.value() >= held - 1 && metres() >= 0.025 * (held - 3);
    })) << slider.value() << " " << depth->text().toStdString();
    form.OnStopRecord();
    EXPECT_EQ(form.GetUiMode(), ModeIdle);
    setCaptureSource(QString());
}

} // namespace
} // namespace bc
