#include "analysis/page_tool_bar.h"

#include "analysis/shape_type_combo.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "ui/flat_combo_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <climits>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(ParseSignedInt, TakesTheFirstNumberOfATextAndSaturates)
{
    const struct {
        const char16_t* text;
        int value;
    } rows[] = {{u"第3页/共9页", 3},
                {u"abc", 0},
                {u"", 0},
                {u"  -4", -4},
                {u"+7x", 7},
                {u"-x5", 0},
                {u"x-+5", 0},
                {u" \t12 34", 12},
                {u"2147483647", INT_MAX},
                {u"-2147483648", INT_MIN},
                {u"12345678901234567890", INT_MAX},
                {u"-12345678901234567890", INT_MIN}};
    for (const auto& row : rows)
        EXPECT_EQ(ParseSignedInt(QString::fromUtf16(row.text)), row.value)
            << QString::fromUtf16(row.text).toStdString();
}

// The page tool bar of a stand-alone frame, shown.
struct BarInWindow {
    BarInWindow() : window(CUnWrapFrame::StandAlone, nullptr, context())
    {
        created = window.Create();
        bar = window.pageToolBar();
        window.show();
    }
    WorkspaceContext context()
    {
        WorkspaceContext ctx;
        ctx.settings = &settings;
        return ctx;
    }
    CSurveyParams settings;
    test::ScriptedPrompter prompter;
    CUnWrapFrame window;
    CPageToolBar* bar = nullptr;
    bool created = false;
};

TEST(CPageToolBar, ATypedPageIsKeptWithinThePagesWhenEnterIsPressedOrTheFocusLeaves)
{
    BarInWindow w;
    ASSERT_TRUE(w.created);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    w.bar->SetPageCount(12);
    const struct {
        const char* typed;
        bool enter;
        int page;
    } rows[] = {{"0", true, 0},
                {"-4", false, 0},
                {"99", true, 11},
                {"abc", false, 0},
                {"5", false, 4},
                {"12345678901234567890", true, 11},
                {"-12345678901234567890", false, 0}};
    QSignalSpy requested(w.bar, &CPageToolBar::pageRequested);
    for (const auto& row : rows) {
        QLineEdit* box = w.bar->pageBox();
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(row.typed));
        if (row.enter)
            QTest::keyClick(box, Qt::Key_Return);
        w.window.GetUnWrapView()->setFocus(); // the box loses the focus
        ASSERT_FALSE(requested.isEmpty());
        EXPECT_EQ(std::tuple(w.bar->currentPage(), box->text(), requested.last().at(0).toInt()),
                  std::tuple(row.page, PageBoxText(row.page, 12), row.page))
            << row.typed;
    }
}

TEST(CPageToolBar, NavigationStaysWithinThePagesAndAlwaysTellsTheFrame)
{
    BarInWindow w;
    QSignalSpy requested(w.bar, &CPageToolBar::pageRequested);
    w.bar->SetPageCount(0);
    EXPECT_EQ(w.bar->pageBox()->text(), QStringLiteral("第1页/共0页"));
    w.bar->NextPage();
    w.bar->LastPage();
    w.bar->OnPageBoxKillFocus();
    EXPECT_TRUE(requested.isEmpty());

    w.bar->SetPageCount(3);
    EXPECT_TRUE(requested.isEmpty()); // a new count is not told
    using Step = void (CPageToolBar::*)();
    const struct {
        Step step;
        int page;
    } rows[] = {
        {&CPageToolBar::PrevPage, 0}, {&CPageToolBar::NextPage, 1},  {&CPageToolBar::NextPage, 2},
        {&CPageToolBar::NextPage, 2}, {&CPageToolBar::FirstPage, 0}, {&CPageToolBar::LastPage, 2},
    };
    for (const auto& row : rows) {
        const qsizetype before = requested.size();
        (w.bar->*row.step)();
        ASSERT_EQ(requested.size(), before + 1);
        EXPECT_EQ(std::tuple(requested.last().at(0).toInt(), w.bar->pageBox()->text()),
                  std::tuple(row.page, PageBoxText(row.page, 3)));
    }
}

TEST(CPageToolBar, ChoosingAShapeTypeTellsItsValueAndAStyleReachesTheWidthSamples)
{
    BarInWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QSignalSpy chosen(w.bar, &CPageToolBar::shapeTypeChosen);
    auto choose = [](QComboBox* combo, int row) {
        QTest::mouseClick(combo, Qt::LeftButton, {}, combo->rect().center());
        QAbstractItemView* list = combo->view();
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 2000));
        // The list ignores a release that comes straight after it opened.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QRect item = list->visualRect(list->model()->index(row, 0));
        QTest::mouseMove(list->viewport(), item.center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }, 2000));
    };
    choose(w.bar->shapeTypeCombo(), 1);
    EXPECT_EQ(w.bar->shapeTypeCombo()->currentText(), QStringLiteral("直线"));
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.last().at(0).toInt(), 1);

    choose(w.bar->lineStyleCombo(), PS_DOT);
    EXPECT_EQ(w.bar->lineWidthCombo()->LineStyle(), PS_DOT);
}

} // namespace
} // namespace bc
