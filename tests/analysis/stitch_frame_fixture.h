#pragma once
// An analysis frame built the way the station opens it, shown: with a survey
// file opened, or with twelve strips of known rows in it (a stand-alone frame
// opens them as files named by their depth, a live frame takes them as the
// raw-frame view hands them on).

#include "analysis/page_tool_bar.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QAction>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace bc::test {

struct StitchFrame {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    CSurveyParams settings;
    std::unique_ptr<CUnWrapFrame> frame;

    // The window of `layout`, shown at `size` when given.
    CUnWrapFrame& build(int layout, QSize size = {})
    {
        const int formMode = layout == CUnWrapFrame::StandAlone ? 0 : 1;
        const WorkspaceContext ctx{&settings, [formMode] { return formMode; }, {}, {}, {}};
        frame.reset(layout == CUnWrapFrame::StandAlone ? OpenStitchFrame(nullptr, ctx)
                                                       : OpenLiveFrame(nullptr, layout, ctx));
        EXPECT_TRUE(frame);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        if (size.isValid())
            frame->resize(size);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return *frame;
    }
    // The stand-alone window with `sfa` opened by "打开*.sfa文件".
    CUnWrapFrame& openSfa(const QString& sfa, QSize size = {})
    {
        build(CUnWrapFrame::StandAlone, size);
        prompter.fileAnswers.push_back(sfa);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        return *frame;
    }
    // Strips `width` columns wide and `rows` rows high at 1.00 m, 1.10 m, ...
    CUnWrapFrame& open(int layout, int width = 40, int rows = 12)
    {
        build(layout);
        QStringList files;
        for (int i = 0; i < 12; ++i) {
            auto strip = rowStrip(1000 + 100 * i, width, rows);
            if (layout != CUnWrapFrame::StandAlone) {
                view().AddCapturedImage(std::move(strip));
                continue;
            }
            EXPECT_TRUE(strip->SaveJpg(dir.path()));
            files << strip->jpgPath(dir.path());
        }
        if (!files.isEmpty()) {
            prompter.multiFileAnswers.push_back(files);
            frame->commandAction(ID_OPEN_JPG)->trigger();
        }
        QTest::qWait(20); // the scroll bars show
        return *frame;
    }
    CUnWrapView& view() const { return *frame->GetUnWrapView(); }
    // A click on the tool bar's button of command `id`.
    void clickCommand(int id) const
    {
        QWidget* button = frame->pageToolBar()->widgetForAction(frame->commandAction(id));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

// Presses on the thumb, moves it `distance` pixels along the bar in steps
// of 20 and lets go; the bar's value after each move.
inline std::vector<int> dragThumb(QScrollBar* bar, int distance)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.pageStep = bar->pageStep();
    const QPoint from =
        bar->style()
            ->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar)
            .center();
    const QPoint along = bar->orientation() == Qt::Horizontal ? QPoint(1, 0) : QPoint(0, 1);
    std::vector<int> values;
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    for (int moved = 20; moved < distance + 20; moved += 20) {
        QTest::mouseMove(bar, from + along * std::min(moved, distance));
        values.push_back(bar->value());
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, from + along * distance);
    return values;
}

// What the screen holds of the view's viewport now, as its partial repaints
// left it (a grab of the widget would repaint it whole).
inline QImage viewportOnScreen(const CUnWrapView& view)
{
    QWidget* window = view.window();
    const QPoint at = view.viewport()->mapTo(window, QPoint(0, 0));
    return window->screen()
        ->grabWindow(window->winId(), at.x(), at.y(), view.viewport()->width(),
                     view.viewport()->height())
        .toImage();
}

} // namespace bc::test
