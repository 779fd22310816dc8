#pragma once
// An analysis frame built the way the station opens it, shown, with twelve
// strips of known rows in it: a stand-alone frame opens them as files named
// by their depth, a live frame takes them as the raw-frame view hands them on.

#include "analysis/page_tool_bar.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QAction>
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

    // Strips `width` columns wide and `rows` rows high at 1.00 m, 1.10 m, ...
    CUnWrapFrame& open(int layout, int width = 40, int rows = 12)
    {
        const int formMode = layout == CUnWrapFrame::StandAlone ? 0 : 1;
        const WorkspaceContext ctx{&settings, [formMode] { return formMode; }, {}, {}};
        frame.reset(layout == CUnWrapFrame::StandAlone ? OpenStitchFrame(nullptr, ctx)
                                                       : OpenLiveFrame(nullptr, layout, ctx));
        EXPECT_TRUE(frame);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
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

} // namespace bc::test
