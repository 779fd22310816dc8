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

#include <set>

#include <gtest/gtest.h>

namespace bc {
namespace {

const std::set<int> kStandAloneOnly = {ID_ZOOM_IN,    ID_ZOOM_OUT,  ID_SHOW_SHAPE_LIST,
                                       ID_FIRST_PAGE, ID_PREV_PAGE, ID_NEXT_PAGE,
                                       ID_LAST_PAGE};

class FrameTest : public ::testing::Test {
  protected:
    WorkspaceContext context(int formMode)
    {
        WorkspaceContext ctx;
        ctx.settings = &settings;
        ctx.formMode = [formMode] { return formMode; };
        return ctx;
    }
    // Twelve overlapping strips of one wall, as JPEG files named by depth.
    QStringList writeStrips()
    {
        test::SyntheticBorehole wall(400, 2000, 7, 4);
        QStringList files;
        for (int i = 0; i < 12; ++i) {
            CUnWrapImage strip = wall.strip(1000 + 100 * i, 30 * i, 60);
            EXPECT_TRUE(strip.SaveJpg(dir.path()));
            files << dir.filePath(QStringLiteral("%1.jpg").arg(1000 + 100 * i));
        }
        return files;
    }
    std::unique_ptr<CUnWrapFrame> standAloneWithStrips()
    {
        std::unique_ptr<CUnWrapFrame> frame(OpenStitchFrame(nullptr, context(0)));
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        prompter.multiFileAnswers.push_back(writeStrips());
        frame->commandAction(ID_OPEN_JPG)->trigger();
        return frame;
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

TEST_F(FrameTest, EachLayoutHasItsTitleSizeViewsBarsAndCommands)
{
    const struct {
        int mode;
        const char16_t* title;
        QSize size;
        bool strips, raw, menu, pageBar, attitudeBar;
    } rows[] = {
        {0, u"拼接窗口", {700, 750}, true, false, true, true, true},
        {1, u"展开拼接窗口", {860, 750}, true, true, false, true, false},
        {2, u"展开拼接窗口", {860, 750}, false, true, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        QPointer<CUnWrapFrame> frame = row.mode == 0 ? OpenStitchFrame(nullptr, context(0))
                                                     : OpenLiveFrame(nullptr, row.mode, context(1));
        ASSERT_TRUE(frame);
        EXPECT_EQ(std::tuple(frame->windowTitle(), frame->size(),
                             frame->windowState().testFlag(Qt::WindowMaximized)),
                  std::tuple(QString::fromUtf16(row.title), row.size, row.mode == 0));
        frame->show();
        EXPECT_EQ(std::tuple(frame->GetUnWrapView() != nullptr, frame->GetOpenView() != nullptr,
                             frame->menuWidget() != nullptr, frame->pageToolBar() != nullptr,
                             frame->attitudeBar() != nullptr, frame->GetShapeGrid() != nullptr,
                             frame->findChildren<QToolBar*>().isEmpty()),
                  std::tuple(row.strips, row.raw, row.menu, row.pageBar, row.attitudeBar,
                             row.attitudeBar, !row.pageBar));
        if (row.strips) {
            EXPECT_EQ(frame->GetUnWrapView()->frameMode(), row.mode);
        }
        if (row.mode == 1) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
            EXPECT_EQ(frame->GetOpenView()->height(), CUnWrapFrame::kOpenPaneHeight);
        }
        if (CPageToolBar* bar = frame->pageToolBar()) { // the live bar is disabled
            EXPECT_EQ(std::tuple(bar->pageBox()->isEnabled(), bar->shapeTypeCombo()->isEnabled()),
                      std::tuple(row.mode == 0, row.mode == 0));
        }
        const QList<QAction*> commands = frame->findChildren<QAction*>(Qt::FindDirectChildrenOnly);
        EXPECT_EQ(commands.size(), row.mode == 2 ? 0 : 19);
        for (QAction* action : commands) {
            const int id = action->data().toInt();
            EXPECT_EQ(action->isEnabled(), row.mode == 0 || !kStandAloneOnly.count(id)) << id;
        }
        // Live strips go to the live strip view only.
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

TEST_F(FrameTest, StitchSettingsRefuseBadCountsResizeTheBuffersAndRepageOnlyStandAlone)
{
    auto frame = standAloneWithStrips();
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
    test::SyntheticBorehole wall(400, 2000, 7, 4);
    for (int i = 0; i < 12; ++i)
        live->GetUnWrapView()->AddCapturedImage(
            std::make_unique<CUnWrapImage>(wall.strip(1000 + 100 * i, 30 * i, 60)));
    const int pages = live->GetPageCount();
    const int page = live->GetUnWrapView()->currentPage();
    const QString text = live->pageToolBar()->pageBox()->text();
    stitchSettings(*live, 0, {QStringLiteral("3")});
    EXPECT_EQ(std::tuple(live->GetPageCount(), live->GetUnWrapView()->currentPage(),
                         live->pageToolBar()->pageBox()->text(),
                         live->GetUnWrapView()->templateSize()),
              std::tuple(pages, page, text, 32));
}

// Records the bar of every progress window that opens.
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
};

TEST_F(FrameTest, AutoAlignAdvancesForEveryStripOfThePageAndMarksItReStitched)
{
    auto frame = standAloneWithStrips();
    CUnWrapData* data = frame->GetData();
    ProgressWatch watch;
    qApp->installEventFilter(&watch);
    frame->commandAction(ID_AUTO_ALIGN)->trigger();
    qApp->removeEventFilter(&watch);
    EXPECT_EQ(std::tuple(watch.maximum, watch.values),
              std::tuple(10, std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(data->GetItem(0)->shownHeight, 60); // nothing above the first
    for (int i = 1; i < 10; ++i)
        EXPECT_LT(data->GetItem(i)->shownHeight, 60) << i;
    // Leaving a re-stitched page shows its strips whole again.
    frame->commandAction(ID_NEXT_PAGE)->trigger();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(data->GetItem(i)->shownHeight, 60) << i;
}

} // namespace
} // namespace bc
