// The page box of the analysis frame's tool bar shows the strip view's page,
// whoever moved the view.

#include "stitch_frame_fixture.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>

#include <functional>

namespace bc {
namespace {

// The page box shows the view's page whoever moved it; "下一页" goes on from
// there. A page the user turns to, or a new document, opens at its top-left
// corner however far the last one was scrolled; the live window follows its
// newest strip, on the third page.
TEST(PageBox, ShowsTheViewsPageWhoeverMovedIt)
{
    auto typed = [](test::StitchFrame& f) {
        QLineEdit* box = f.frame->pageToolBar()->pageBox();
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("3"));
        QTest::keyClick(box, Qt::Key_Return);
    };
    const struct {
        const char* mover;
        int layout;
        std::function<void(test::StitchFrame&)> move;
        int page; // the page the view then shows
    } cases[] = {
        {"GoToPage", 0, [](test::StitchFrame& f) { f.view().GoToPage(1); }, 1},
        {"export of all pages", 0,
         [](test::StitchFrame& f) {
             f.prompter.fileAnswers.push_back(f.dir.path());
             f.frame->commandAction(ID_EXPORT_ALL_PAGES)->trigger();
         },
         2},
        {"live strips", 1, [](test::StitchFrame&) {}, 2},
        {"reload", 0,
         [](test::StitchFrame& f) {
             f.clickCommand(ID_LAST_PAGE);
             f.frame->commandAction(ID_FILE_SAVE)->trigger();
             f.prompter.fileAnswers.push_back(f.dir.filePath(QStringLiteral("temp.sfa")));
             f.frame->commandAction(ID_FILE_OPEN)->trigger();
         },
         0},
        {"下一页", 0, [](test::StitchFrame& f) { f.clickCommand(ID_NEXT_PAGE); }, 1},
        {"typed page", 0, typed, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mover);
        test::StitchFrame f;
        f.settings.itemsPerPage = 5; // twelve strips: three pages
        f.settings.aspectAutoFit = 0;
        f.open(c.layout, 900, 200); // pages far larger than the window
        QScrollBar* down = f.view().verticalScrollBar();
        QScrollBar* across = f.view().horizontalScrollBar();
        const bool live = c.layout != CUnWrapFrame::StandAlone;
        if (!live) {
            test::dragThumb(down, down->height());
            test::dragThumb(across, across->width());
            ASSERT_GT(std::min(down->value(), across->value()), 0);
        }
        c.move(f);
        QLineEdit* box = f.frame->pageToolBar()->pageBox();
        EXPECT_EQ(
            std::tuple(f.view().currentPage(), box->text(), across->value(), down->value() > 0),
            std::tuple(c.page, PageBoxText(c.page, 3), 0, live));
        if (live)
            continue;
        f.clickCommand(ID_NEXT_PAGE);
        const int next = std::min(c.page + 1, 2);
        EXPECT_EQ(std::tuple(f.view().currentPage(), box->text()),
                  std::tuple(next, PageBoxText(next, 3)));
    }
}

// Closing or destroying the window takes the focus from the box with a page
// typed in it: no page is asked for while the window goes.
TEST(PageBox, AWindowThatGoesAsksForNoPage)
{
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy);
        test::StitchFrame f;
        f.open(CUnWrapFrame::StandAlone);
        CPageToolBar* bar = f.frame->pageToolBar();
        QSignalSpy requested(bar, &CPageToolBar::pageRequested);
        QLineEdit* box = bar->pageBox();
        QTest::mouseClick(box, Qt::LeftButton);
        ASSERT_TRUE(box->hasFocus());
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("2"));
        if (destroy)
            f.frame.reset();
        else
            f.frame->close();
        EXPECT_EQ(requested.size(), 0);
    }
}

} // namespace
} // namespace bc
