// The page box of the analysis frame's tool bar shows the strip view's page,
// whoever moved the view.

#include "analysis/page_tool_bar.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

#include <functional>

#include <gtest/gtest.h>

namespace bc {
namespace {

struct PageBoxCase {
    const char* mover;
    int layout;
    // Moves the frame's view; the page it then shows.
    std::function<void(CUnWrapFrame&, test::ScriptedPrompter&, const QString&)> move;
    int page;
};

// Twelve strips, five a page: three pages. Stand-alone frames open them as
// files named by depth, the live frame takes them as they come.
void addTwelveStrips(CUnWrapFrame& frame, test::ScriptedPrompter& prompter, const QString& dir)
{
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        auto strip = test::rowStrip(1000 + 100 * i, 40, 12);
        if (frame.mode() != CUnWrapFrame::StandAlone) {
            frame.GetUnWrapView()->AddCapturedImage(std::move(strip));
            continue;
        }
        EXPECT_TRUE(strip->SaveJpg(dir));
        files << strip->jpgPath(dir);
    }
    if (!files.isEmpty()) {
        prompter.multiFileAnswers.push_back(files);
        frame.commandAction(ID_OPEN_JPG)->trigger();
    }
}

void clickCommand(CUnWrapFrame& frame, int id)
{
    QWidget* button = frame.pageToolBar()->widgetForAction(frame.commandAction(id));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(PageBox, ShowsTheViewsPageWhoeverMovedIt)
{
    const PageBoxCase cases[] = {
        {"GoToPage", 0, [](CUnWrapFrame& f, auto&, auto&) { f.GetUnWrapView()->GoToPage(1); }, 1},
        {"export of all pages", 0,
         [](CUnWrapFrame& f, test::ScriptedPrompter& p, const QString& dir) {
             p.fileAnswers.push_back(dir);
             f.commandAction(ID_EXPORT_ALL_PAGES)->trigger();
         },
         2},
        {"live strips", 1, [](CUnWrapFrame&, auto&, auto&) {}, 2},
        {"reload", 0,
         [](CUnWrapFrame& f, test::ScriptedPrompter& p, const QString& dir) {
             clickCommand(f, ID_LAST_PAGE);
             f.commandAction(ID_FILE_SAVE)->trigger();
             p.fileAnswers.push_back(dir + QStringLiteral("/temp.sfa"));
             f.commandAction(ID_FILE_OPEN)->trigger();
         },
         0},
    };
    for (const PageBoxCase& c : cases) {
        SCOPED_TRACE(c.mover);
        test::ScriptedPrompter prompter;
        QTemporaryDir dir;
        CSurveyParams settings;
        settings.itemsPerPage = 5;
        const int formMode = c.layout == 0 ? 0 : 1;
        const WorkspaceContext ctx{&settings, [formMode] { return formMode; }, {}, {}};
        std::unique_ptr<CUnWrapFrame> frame(c.layout == 0 ? OpenStitchFrame(nullptr, ctx)
                                                          : OpenLiveFrame(nullptr, 1, ctx));
        ASSERT_TRUE(frame);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        addTwelveStrips(*frame, prompter, dir.path());
        c.move(*frame, prompter, dir.path());

        CUnWrapView* view = frame->GetUnWrapView();
        QLineEdit* box = frame->pageToolBar()->pageBox();
        EXPECT_EQ(std::tuple(view->currentPage(), view->GetPageCount(), box->text()),
                  std::tuple(c.page, 3, PageBoxText(c.page, 3)));
        if (c.layout != 0)
            continue;
        // "下一页" goes on from the page shown.
        clickCommand(*frame, ID_NEXT_PAGE);
        const int next = std::min(c.page + 1, 2);
        EXPECT_EQ(std::tuple(view->currentPage(), box->text()),
                  std::tuple(next, PageBoxText(next, 3)));
    }
}

} // namespace
} // namespace bc
