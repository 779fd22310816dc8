// Picking attitudes on a page of a synthetic borehole with known planes, and
// the dialog that asks for their descriptions.

#include "analysis/input_string_dlg.h"
#include "analysis/pick_rubber_band.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;
using bc::test::Fracture;

namespace {

// A wall 754 pixels round at 0.5 mm a row: a hole of 120 mm. The page's last
// strip is 2 rows (1 mm) high, so its depth scale is exactly 2 pixels a mm.
constexpr int kRound = 754;
const QPoint kOrigin(60, 50);

struct PickPage : QObject {
    QTemporaryDir dir;
    CSurveyParams settings;
    test::SyntheticBorehole wall{kRound, 402, 7, 4};
    std::unique_ptr<CUnWrapView> view;
    CShapeGrid list;
    test::ScriptedPrompter prompts;
    QStringList answers, prompted;
    QRegion painted;
    StringAsker previous =
        setStringAsker([this](QWidget*, const QString& prompt, const QString&, QString& text) {
            prompted << prompt;
            return !answers.isEmpty() && (text = answers.takeFirst(), true);
        });

    explicit PickPage(const std::vector<Fracture>& planes, float declination = 0,
                      const char* inclination = "0")
    {
        for (const Fracture& f : planes)
            wall.addFracture(f);
        CUnWrapData data(dir.filePath("wall.sfa"), dir.path());
        for (int top = 0; top < 402; top += 100)
            data.InsertImage(std::make_unique<CUnWrapImage>(
                wall.strip(10000 + top / 2, top, top < 400 ? 100 : 2)));
        data.header().openingDiameter = 120;
        data.header().holeInclination = inclination;
        EXPECT_TRUE(data.SaveSfa(data.GetItemCount(), true));
        settings.declination = declination;
        settings.aspectAutoFit = 0;
        view = std::make_unique<CUnWrapView>(WorkspaceContext{&settings, {}, {}, {}, {}});
        list.Setup();
        list.setDataSource([this] { return view->GetData(); });
        view->setShapeList(&list);
        reopen();
        view->resize(1000, 600);
        view->show();
        view->viewport()->installEventFilter(this);
    }
    ~PickPage() override { setStringAsker(previous); }
    void reopen()
    {
        prompts.fileAnswers.push_back(dir.filePath("wall.sfa"));
        view->OnFileOpen();
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
    void click(QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent e(QEvent::MouseMove, p + kOrigin, view->viewport()->mapToGlobal(p + kOrigin),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &e);
        if (b != Qt::NoButton)
            QTest::mouseClick(view->viewport(), b, m, p + kOrigin);
    }
    // The page point of a plane's trace at an azimuth (degrees from the strip's left edge).
    QPoint trace(const Fracture& f, double azimuth) const
    {
        const int x = int(std::lround(std::fmod(azimuth, 360.0) / 360.0 * kRound));
        return {x, int(std::lround(wall.fractureRow(f, x)))};
    }
    CUnWrapData& data() const { return *view->GetData(); }
    std::vector<int> selected() const
    {
        std::vector<int> out;
        for (int i = 0; i < data().GetShapeCount(); ++i)
            if (data().GetShape(i)->GetState() == CAttitudeShape::StateSelected)
                out.push_back(i);
        return out;
    }
    bool idle() const
    {
        auto* band = view->viewport()->findChild<CPickRubberBand*>();
        return !QWidget::mouseGrabber() && (!band || band->isHidden());
    }
};

} // namespace

TEST(StripViewPicking, LinesAndPolylinesGiveTheAttitudeOfThePlaneAndKeepItInTheFile)
{
    const struct {
        Fracture plane;
        float declination;
        const char *inclination, *dipDirection, *dipAngle;
    } rows[] = {
        {{200, 120.5, 30.5}, 0, "0", "120°", "30°"},
        {{200, 120.5, 30.5}, 10, "0", "110°", "30°"},
        {{200, 300.5, 45.5}, 350, "5", "310°", "40°"},
    };
    const QString longText(300, QChar(0x5CA9)); // kept: 124 characters, 248 GBK bytes
    for (const auto& r : rows) {
        PickPage page({r.plane}, r.declination, r.inclination);
        page.answers = QStringList{longText, "裂隙"};
        page.view->SetPickMode(1);
        page.click(page.trace(r.plane, r.plane.dipDirectionDeg));
        EXPECT_FALSE(page.idle());
        page.click(QPoint(300, 300), Qt::NoButton);
        page.click(page.trace(r.plane, r.plane.dipDirectionDeg + 180));
        page.view->SetPickMode(2);
        for (int k = 0; k <= 10; ++k) // the eleventh vertex is not taken
            page.click(page.trace(r.plane, r.plane.dipDirectionDeg + 30 * k));
        page.click(QPoint(10, 10), Qt::RightButton);
        EXPECT_EQ(page.prompted, QStringList(2, "请输入产状描述"));
        EXPECT_TRUE(page.idle());
        ASSERT_EQ(page.data().GetShapeCount(), 2);
        EXPECT_EQ(static_cast<CAttitudePolyline*>(page.data().GetShape(1))->points().size(), 10u);
        page.view->OnFileSave();
        page.reopen();
        ASSERT_EQ(page.data().GetShapeCount(), 2);
        for (int i = 0; i < 2; ++i) {
            const CAttitudeShape* shape = page.data().GetShape(i);
            EXPECT_EQ(std::tuple(shape->GetText(TextDipDirection), shape->GetText(TextDipAngle),
                                 shape->GetText(TextDepthRange), shape->GetText(TextDescription)),
                      std::tuple(r.dipDirection, r.dipAngle,
                                 page.data().GetShape(0)->GetText(TextDepthRange),
                                 i ? "裂隙" : longText.left(124)))
                << r.declination;
            for (int c = 0; c < 5; ++c)
                EXPECT_EQ(page.list.GetItemText(i + 1, c), shape->GetText(ShapeText(c)));
        }
    }
}

TEST(StripViewPicking, SelectionDeleteAndUnfinishedPicks)
{
    PickPage page({});
    page.answers = QStringList{"a", "b", "c"};
    page.view->SetPickMode(1);
    // Two level lines, and one drawn upward and leftward.
    for (QPoint p : {QPoint(100, 60), QPoint(300, 60), QPoint(100, 300), QPoint(300, 300),
                     QPoint(400, 250), QPoint(250, 120)})
        page.click(p);
    ASSERT_EQ(page.data().GetShapeCount(), 3);
    const int kept = page.data().GetShape(1)->GetId();
    page.view->SetPickMode(0);
    const struct {
        QPoint at;
        Qt::KeyboardModifiers mods;
        std::vector<int> selected;
        int strip;
    } steps[] = {
        {{200, 60}, {}, {0}, -1},    {{200, 300}, Qt::ShiftModifier, {0, 1}, -1},
        {{200, 60}, {}, {0, 1}, -1}, {{70, 150}, {}, {}, 1},
        {{10, 350}, {}, {}, 3},      {{800, 150}, {}, {}, 3},
        {{325, 185}, {}, {2}, 3},
    };
    for (const auto& s : steps) {
        page.click(s.at, Qt::NoButton);
        EXPECT_EQ(page.view->viewport()->cursor().shape(),
                  s.selected.empty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
        page.click(s.at, Qt::LeftButton, s.mods);
        EXPECT_EQ(page.selected(), s.selected) << s.at.x() << "," << s.at.y();
        EXPECT_EQ(page.view->pageState().selectedItem, s.strip);
    }
    EXPECT_EQ(page.list.SelectionRange(), CGridCellRange(3, 0, 3, 4));
    QApplication::processEvents();
    page.painted = QRegion();
    QTest::keyClick(page.view.get(), Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(std::tuple(page.data().GetShapeCount(), page.data().GetShape(1)->GetId(),
                         page.list.GetRowCount(), page.list.GetItemText(2, 0).toInt()),
              std::tuple(2, kept, 3, kept));
    EXPECT_TRUE(page.painted.contains(QRect(250, 120, 151, 131).translated(kOrigin)))
        << "the whole line is repainted";

    // Unfinished picks, and any in layout 1, make nothing.
    const struct {
        int frameMode, pickMode, clicks;
        bool escape;
    } unfinished[] = {
        {0, 1, 1, true}, {0, 2, 1, true},  {0, 2, 1, false}, {0, 1, 1, false},
        {0, 2, 3, true}, {1, 0, 2, false}, {1, 1, 2, false}, {1, 2, 3, false},
    };
    page.answers = QStringList(8, "x");
    for (const auto& r : unfinished) {
        page.view->SetFrameMode(r.frameMode);
        page.view->SetPickMode(r.pickMode);
        for (int i = 0; i < r.clicks; ++i)
            page.click(QPoint(70 + 50 * i, 150 + 30 * i));
        if (r.escape)
            QTest::keyClick(page.view.get(), Qt::Key_Escape);
        else
            page.click(QPoint(300, 300), Qt::RightButton);
        EXPECT_EQ(page.data().GetShapeCount(), 2) << r.frameMode << r.pickMode << r.clicks;
        EXPECT_TRUE(page.idle());
    }
    EXPECT_EQ(page.prompted.size(), 3);
    EXPECT_EQ(page.view->pageState().selectedItem, 3) << "layout 1 selects no strip";
}

TEST(InputStringDlg, AsksWithPromptAndTitleAndReturnsTheTypedText)
{
    const struct {
        QString title, initial, button, shownTitle, result;
    } rows[] = {{"", "旧", "确定", "输入字符串", "x1"},
                {"产状", "", "确定", "产状", "x1"},
                {"产状", "旧", "取消", "产状", "旧"}};
    for (const auto& r : rows) {
        QStringList seen; // title, prompt, initial text, focus on the edit
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CInputStringDlg*>(QApplication::activeModalWidget());
            auto* edit = static_cast<QLineEdit*>(dlg->control(CInputStringDlg::IDC_TEXT));
            seen << dlg->windowTitle()
                 << static_cast<QLabel*>(dlg->control(CInputStringDlg::IDC_PROMPT))->text()
                 << edit->text() << QString::number(dlg->focusWidget() == edit);
            QTest::keyClicks(edit, "x1"); // replaces the selected initial text
            for (QPushButton* b : dlg->findChildren<QPushButton*>())
                if (b->text() == r.button)
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        QString text = r.initial;
        EXPECT_EQ(askString(nullptr, "请输入产状描述", r.title, text), r.button == "确定");
        EXPECT_EQ(text, r.result);
        EXPECT_EQ(seen, QStringList({r.shownTitle, "请输入产状描述", r.initial, "1"}));
    }
}
