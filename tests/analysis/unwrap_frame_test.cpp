// The analysis frame in its three layouts, its page tool bar, the stitch
// settings and the auto-align progress.

#include "analysis/unwrap_frame.h"

#include "analysis/open_view.h"
#include "analysis/page_tool_bar.h"
#include "analysis/progress_dlg.h"
#include "analysis/shape_type_combo.h"
#include "analysis/stitch_settings_dlg.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"
#include "ui/flat_combo_box.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <climits>
#include <set>

#include <gtest/gtest.h>

namespace bc {
namespace {

class FrameTest : public ::testing::Test {
  protected:
    WorkspaceContext context(int formMode)
    {
        return {&settings, [formMode] { return formMode; }, {}, {}, {}};
    }
    std::unique_ptr<CUnWrapFrame> standAlone()
    {
        std::unique_ptr<CUnWrapFrame> frame(OpenStitchFrame(nullptr, context(0)));
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->show();
        return frame;
    }
    // Twelve overlapping strips of one wall: live ones handed to the strip
    // view, stand-alone ones opened as JPEG files named by depth.
    void addStrips(CUnWrapFrame& frame)
    {
        const test::SyntheticBorehole wall(400, 2000, 7, 4);
        QStringList files;
        for (int i = 0; i < 12; ++i) {
            auto strip = std::make_unique<CUnWrapImage>(wall.strip(1000 + 100 * i, 30 * i, 60));
            if (frame.mode() == CUnWrapFrame::StandAlone) {
                EXPECT_TRUE(strip->SaveJpg(dir.path()));
                files << strip->jpgPath(dir.path());
            } else {
                frame.GetUnWrapView()->AddCapturedImage(std::move(strip));
            }
        }
        if (!files.isEmpty()) {
            prompter.multiFileAnswers.push_back(files);
            frame.commandAction(ID_OPEN_JPG)->trigger();
        }
    }
    // Runs "拼接设置" on `frame`, typing each per page in turn and pressing OK.
    void stitchSettings(CUnWrapFrame& frame, int templateIndex, const QStringList& perPages)
    {
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CStitchSettingsDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            while (dlg->templateCombo()->currentIndex() < templateIndex)
                QTest::keyClick(dlg->templateCombo(), Qt::Key_Down);
            QPushButton* ok = dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            for (const QString& perPage : perPages) {
                dlg->perPageEdit()->selectAll();
                QTest::keyClicks(dlg->perPageEdit(), perPage);
                QTest::mouseClick(ok, Qt::LeftButton);
            }
        });
        frame.commandAction(ID_STITCH_SETTINGS)->trigger();
    }

    CSurveyParams settings;
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
};

TEST_F(FrameTest, EachLayoutHasItsViewsBarsAndCommands)
{
    const std::set<int> standAloneOnly = {ID_ZOOM_IN,    ID_ZOOM_OUT,  ID_SHOW_SHAPE_LIST,
                                          ID_FIRST_PAGE, ID_PREV_PAGE, ID_NEXT_PAGE,
                                          ID_LAST_PAGE};
    const struct {
        int mode;
        bool strips, raw, menu, pageBar, attitudeBar;
    } rows[] = {
        {0, true, false, true, true, true},
        {1, true, true, false, true, false},
        {2, false, true, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        QPointer<CUnWrapFrame> frame = row.mode == 0 ? OpenStitchFrame(nullptr, context(0))
                                                     : OpenLiveFrame(nullptr, row.mode, context(1));
        ASSERT_TRUE(frame);
        frame->show();
        EXPECT_EQ(std::tuple(frame->GetUnWrapView() != nullptr, frame->GetOpenView() != nullptr,
                             frame->menuWidget() != nullptr, frame->pageToolBar() != nullptr,
                             frame->attitudeBar() != nullptr, frame->GetShapeGrid() != nullptr),
                  std::tuple(row.strips, row.raw, row.menu, row.pageBar, row.attitudeBar,
                             row.attitudeBar));
        if (row.strips) {
            EXPECT_EQ(frame->GetUnWrapView()->frameMode(), row.mode);
        }
        if (CPageToolBar* bar = frame->pageToolBar()) { // the live bar is disabled
            EXPECT_EQ(std::tuple(bar->pageBox()->isEnabled(), bar->shapeTypeCombo()->isEnabled()),
                      std::tuple(row.mode == 0, row.mode == 0));
        }
        const QList<QAction*> commands = frame->findChildren<QAction*>(Qt::FindDirectChildrenOnly);
        EXPECT_EQ(commands.size(), row.mode == 2 ? 0 : 19);
        for (QAction* action : commands) {
            const int id = action->data().toInt();
            EXPECT_EQ(action->isEnabled(), row.mode == 0 || !standAloneOnly.count(id)) << id;
        }
        // Live strips go to the live strip view only; only the stand-alone
        // frame closes, and says so once.
        EXPECT_EQ(registeredStripSink(),
                  row.mode == 1 ? static_cast<IStripSink*>(frame->GetUnWrapView()) : nullptr);
        QSignalSpy closed(frame.data(), &CUnWrapFrame::closed);
        EXPECT_EQ(frame->close(), row.mode == 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(std::tuple(closed.size(), frame.isNull()),
                  std::tuple(row.mode == 0 ? 1 : 0, row.mode == 0));
        delete frame.data();
        EXPECT_EQ(registeredStripSink(), nullptr);
    }
}

// Auto-align advances its window-modal progress for every strip of the page
// and its heights stay when the page is left; the stitch settings refuse bad
// counts, resize the buffers and repage only the stand-alone frame.
TEST_F(FrameTest, AutoAlignAndStitchSettings)
{
    struct ProgressWatch : QObject {
        std::vector<int> values;
        int maximum = -1;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (auto* dlg = qobject_cast<CProgressDlg*>(o); dlg && e->type() == QEvent::Show) {
                EXPECT_EQ(dlg->windowModality(), Qt::WindowModal);
                maximum = dlg->bar()->maximum();
                connect(dlg->bar(), &QProgressBar::valueChanged, this,
                        [this](int v) { values.push_back(v); });
            }
            return false;
        }
    } watch;
    auto frame = standAlone();
    addStrips(*frame);
    CUnWrapData* data = frame->GetData();
    qApp->installEventFilter(&watch);
    frame->commandAction(ID_AUTO_ALIGN)->trigger();
    qApp->removeEventFilter(&watch);
    EXPECT_EQ(std::tuple(watch.maximum, watch.values),
              std::tuple(10, std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::vector<int> aligned;
    for (int i = 0; i < 10; ++i)
        aligned.push_back(data->GetItem(i)->shownHeight);
    EXPECT_EQ(aligned[0], 60); // nothing above the first
    for (int i = 1; i < 10; ++i)
        EXPECT_LT(aligned[size_t(i)], 60) << i;
    // Leaving the page keeps the align.
    frame->commandAction(ID_NEXT_PAGE)->trigger();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(data->GetItem(i)->shownHeight, aligned[size_t(i)]) << i;

    stitchSettings(*frame, 2, {QStringLiteral("0"), QStringLiteral("801"), QStringLiteral("5")});
    EXPECT_EQ(prompter.boxTexts(),
              QStringList(2, QStringLiteral("请输入一个介于 1 和 800 之间的整数。")));
    CUnWrapView* view = frame->GetUnWrapView();
    EXPECT_EQ(std::tuple(view->stitchWork().template1.size(), view->stitchWork().template2.size(),
                         view->templateSize(), settings.templateSizeIndex, view->GetPageCount(),
                         view->currentPage(), frame->pageToolBar()->pageBox()->text()),
              std::tuple(3072u, 3072u, 32, 2u, 3, 0, QStringLiteral("第1页/共3页")));

    // Live: later strips follow the new count; the pages stay as they are.
    std::unique_ptr<CUnWrapFrame> live(OpenLiveFrame(nullptr, 1, context(1)));
    addStrips(*live);
    auto paging = [&] {
        return std::tuple(live->GetPageCount(), live->GetUnWrapView()->currentPage(),
                          live->pageToolBar()->pageBox()->text());
    };
    const auto before = paging();
    stitchSettings(*live, 0, {QStringLiteral("3")});
    EXPECT_EQ(paging(), before);
    EXPECT_EQ(live->GetUnWrapView()->templateSize(), 32);
}

TEST(ParseSignedInt, TakesTheFirstNumberOfATextAndSaturates)
{
    const std::pair<const char16_t*, int> rows[] = {{u"第3页/共9页", 3},
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
    for (const auto& [text, value] : rows)
        EXPECT_EQ(ParseSignedInt(QString::fromUtf16(text)), value)
            << QString::fromUtf16(text).toStdString();
}

// A typed page is kept within the pages when Enter is pressed or the focus
// leaves; the arrows stay within them and always tell the frame.
TEST_F(FrameTest, PageToolBar)
{
    auto frame = standAlone();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    CPageToolBar* bar = frame->pageToolBar();
    QLineEdit* box = bar->pageBox();
    QSignalSpy requested(bar, &CPageToolBar::pageRequested);
    bar->SetPageCount(0);
    EXPECT_EQ(box->text(), QStringLiteral("第1页/共0页"));
    bar->NextPage();
    bar->LastPage();
    bar->OnPageBoxKillFocus();
    EXPECT_TRUE(requested.isEmpty());

    bar->SetPageCount(12);
    EXPECT_TRUE(requested.isEmpty()); // a new count is not told
    const std::tuple<const char*, bool, int> typed[] = {{"0", true, 0},
                                                        {"-4", false, 0},
                                                        {"99", true, 11},
                                                        {"abc", false, 0},
                                                        {"5", false, 4},
                                                        {"12345678901234567890", true, 11},
                                                        {"-12345678901234567890", false, 0}};
    for (const auto& [text, enter, page] : typed) {
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(text));
        if (enter)
            QTest::keyClick(box, Qt::Key_Return);
        frame->GetUnWrapView()->setFocus(); // the box loses the focus
        ASSERT_FALSE(requested.isEmpty());
        EXPECT_EQ(std::tuple(bar->currentPage(), box->text(), requested.last().at(0).toInt()),
                  std::tuple(page, PageBoxText(page, 12), page))
            << text;
    }

    bar->SetPageCount(3);
    using Step = void (CPageToolBar::*)();
    const std::pair<Step, int> steps[] = {
        {&CPageToolBar::PrevPage, 0}, {&CPageToolBar::NextPage, 1},  {&CPageToolBar::NextPage, 2},
        {&CPageToolBar::NextPage, 2}, {&CPageToolBar::FirstPage, 0}, {&CPageToolBar::LastPage, 2},
    };
    for (const auto& [step, page] : steps) {
        const qsizetype before = requested.size();
        (bar->*step)();
        ASSERT_EQ(requested.size(), before + 1);
        EXPECT_EQ(std::tuple(requested.last().at(0).toInt(), box->text()),
                  std::tuple(page, PageBoxText(page, 3)));
    }

    // A chosen shape type is told with its value; a style reaches the width samples.
    QSignalSpy chosen(bar, &CPageToolBar::shapeTypeChosen);
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
    choose(bar->shapeTypeCombo(), 1);
    EXPECT_EQ(bar->shapeTypeCombo()->currentText(), QStringLiteral("直线"));
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.last().at(0).toInt(), 1);
    choose(bar->lineStyleCombo(), PS_DOT);
    EXPECT_EQ(bar->lineWidthCombo()->LineStyle(), PS_DOT);
}

} // namespace
} // namespace bc
