// Keys typed in the program as main() runs it: every character typed into a
// text field of the stitch window reaches it, whatever the key routing does
// with the depth keys, and the depth keys still step the depth where no text
// field has the focus.

#include "running_program.h"

#include "analysis/attitude_shape.h"
#include "analysis/input_string_dlg.h"
#include "analysis/page_painter.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "app/key_router.h"
#include "support/saved_survey.h"

#include <QAction>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>

namespace bc {
namespace {

enum Target {
    ListCell,          // the attitude list's in-place editor, typed
    ListCellByImeOnly, // the same, the text committed by the input method
    Description,       // the description dialog of a picked line
    StripView,         // the stitch window, no text field focused
    FormButton,        // the form, a button focused
    FormField,         // the form, its file field focused
    FormStartDepth,    // the form, "起始深度" typed over the whole of "-12.345"
};

// Starts editing the description of the first attitude in the list.
QLineEdit* editDescription(CShapeGrid& grid)
{
    GridRect r;
    grid.CellRect(1, 4, &r);
    const QPoint at = r.toQRect().center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at);
    return qobject_cast<QLineEdit*>(grid.activeEditor());
}

void clickPage(CUnWrapView& view, QPoint page)
{
    const QPoint at = page + QPoint(kPageLeftMargin - view.horizontalScrollBar()->value(),
                                    kPageTopMargin - view.verticalScrollBar()->value());
    QTest::mouseMove(view.viewport(), at);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
}

TEST(ProgramKeys, TextFieldsGetEveryCharacterAndTheDepthKeysStillStep)
{
    const struct {
        Target target;
        const char* typed;
        const char* text; // what the field holds afterwards
        int depthSign;    // how the counter moves: +1 up, -1 down, 0 not at all
    } rows[] = {
        {ListCell, "a-b+c=d_e", "a-b+c=d_e", 0},
        {ListCell, "0.85-1.06", "0.85-1.06", 0},
        {ListCellByImeOnly, "0.85-1.06张开", "0.85-1.06张开", 0},
        {Description, "a-b+c=d_e", "a-b+c=d_e", 0},
        {StripView, "+", "", 0},
        {FormButton, "+", "", 1},
        {FormButton, "-", "", -1},
        {FormField, "x-1", "x-1", 0},
        {FormStartDepth, "-1.5", "-1.5", 0},
    };
    QTemporaryDir dir;
    const QString sfa = test::SavedSurvey{12, 120, true}.write(dir.path(), QStringLiteral("k.sfa"));
    test::RunningProgram program;
    program.run([&](CAcquisitionDlg& form) {
        form.OnStartAcquisition();
        CUnWrapFrame* frame = test::RunningProgram::openStitchWindow(form);
        ASSERT_NE(frame, nullptr);
        program.prompter.fileAnswers.push_back(sfa);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        CUnWrapView& view = *frame->GetUnWrapView();
        CShapeGrid& grid = *frame->GetShapeGrid();
        ASSERT_EQ(frame->GetData()->GetShapeCount(), 1);
        auto* fileField = static_cast<QLineEdit*>(form.control(IDC_FILE));
        auto* startDepth = static_cast<QLineEdit*>(form.control(IDC_START_DEPTH));
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.target << ' ' << row.typed);
            const int depth = form.counter().depth();
            const QString typed = QString::fromUtf8(row.typed);
            QString text;
            switch (row.target) {
            case ListCell:
            case ListCellByImeOnly: {
                frame->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
                QLineEdit* edit = editDescription(grid);
                ASSERT_NE(edit, nullptr);
                ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
                edit->clear();
                if (row.target == ListCell) {
                    test::typeKeys(frame, typed);
                } else {
                    QInputMethodEvent commit;
                    commit.setCommitString(typed);
                    QApplication::sendEvent(edit, &commit);
                }
                QTest::keyClick(frame->windowHandle(), Qt::Key_Return);
                text = frame->GetData()->GetShape(0)->GetText(ShapeText(4));
                EXPECT_EQ(grid.GetItemText(1, 4), text);
                break;
            }
            case Description:
                frame->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
                view.SetPickMode(1);
                clickPage(view, {20, 20});
                test::withModal<CInputStringDlg>(
                    [&] {
                        clickPage(view, {150, 40});
                    },
                    [&](CInputStringDlg& dlg) {
                        test::typeKeys(&dlg, typed);
                        QTest::keyClick(dlg.windowHandle(), Qt::Key_Return);
                    });
                view.SetPickMode(0);
                ASSERT_EQ(frame->GetData()->GetShapeCount(), 2);
                text = frame->GetData()->GetShape(1)->GetText(TextDescription);
                break;
            case StripView:
                frame->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
                view.setFocus();
                test::typeKeys(frame, typed);
                break;
            case FormButton:
            case FormField:
                form.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
                if (row.target == FormButton) {
                    form.control(IDC_STITCH)->setFocus();
                } else {
                    fileField->clear();
                    fileField->setFocus();
                }
                test::typeKeys(&form, typed);
                if (row.target == FormField)
                    text = fileField->text();
                break;
            case FormStartDepth:
                form.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
                startDepth->setText(QStringLiteral("-12.345"));
                startDepth->setFocus();
                QTest::keyClick(startDepth, Qt::Key_End);
                QTest::keyClick(startDepth, Qt::Key_Home, Qt::ShiftModifier);
                test::typeKeys(&form, typed);
                text = startDepth->text();
                break;
            }
            EXPECT_EQ(text.toStdString(), row.text);
            // A depth key acts at its release, once no repeat can follow.
            if (row.depthSign != 0) {
                EXPECT_TRUE(QTest::qWaitFor([&] { return form.counter().depth() != depth; }));
            } else {
                QTest::qWait(CKeyRouter::kRepeatWaitMs * 4);
            }
            const int moved = form.counter().depth() - depth;
            EXPECT_EQ((moved > 0) - (moved < 0), row.depthSign);
        }
        form.OnStopRecord();
        program.prompter.boxAnswers.push_back(IDNO); // the stitch window's changes
    });
}

} // namespace
} // namespace bc
