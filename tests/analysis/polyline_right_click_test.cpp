// A polyline finished with the right button: the description dialog that
// opens takes none of the button's gesture. The window system sends the
// release and the menu request to whatever is under the pointer, and the
// dialog may open right there; no edit menu pops up in it, and the typed
// description becomes the attitude's.

#include "stitch_frame_fixture.h"

#include "analysis/input_string_dlg.h"
#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"
#include "support/modal_dialog.h"

#include <QContextMenuEvent>
#include <QLineEdit>

namespace bc {
namespace {

TEST(PolylineRightClick, TheDescriptionDialogTakesNoneOfTheGesture)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone, 200, 60);
    CUnWrapFrame& frame = *f.frame;
    CUnWrapView& view = f.view();
    auto toViewport = [&](QPoint page) {
        return page + QPoint(kPageLeftMargin - view.horizontalScrollBar()->value(),
                             kPageTopMargin - view.verticalScrollBar()->value());
    };
    view.SetPickMode(2);
    for (const QPoint p : {QPoint(20, 30), QPoint(100, 60)}) {
        QTest::mouseMove(view.viewport(), toViewport(p));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, toViewport(p));
    }
    const QPoint global = view.viewport()->mapToGlobal(toViewport({160, 40}));
    QTest::mouseMove(view.viewport(), toViewport({160, 40}));

    // The rest of the right button's gesture, sent where the window system
    // sends it: to the window under the pointer, the dialog if it is there.
    bool gestureDone = false;
    auto finishGesture = [&] {
        gestureDone = true;
        auto* dlg = qobject_cast<CInputStringDlg*>(QApplication::activeModalWidget());
        QWidget* top = dlg && dlg->geometry().contains(global) ? static_cast<QWidget*>(dlg)
                                                               : static_cast<QWidget*>(&frame);
        QTest::mouseRelease(top->windowHandle(), Qt::RightButton, {}, top->mapFromGlobal(global));
        QWidget* under = top->childAt(top->mapFromGlobal(global));
        if (!under)
            under = top;
        QContextMenuEvent menu(QContextMenuEvent::Mouse, under->mapFromGlobal(global), global);
        QApplication::sendEvent(under, &menu);
    };
    bool menuInDialog = false;
    test::withModal<CInputStringDlg>(
        [&] {
            QTest::mousePress(frame.windowHandle(), Qt::RightButton, {},
                              frame.mapFromGlobal(global));
            if (!gestureDone)
                finishGesture();
        },
        [&](CInputStringDlg& dlg) {
            // Opened right under the pointer, its edit there.
            auto* edit = dlg.findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            dlg.move(dlg.pos() + global - edit->mapToGlobal(edit->rect().center()));
            ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.geometry().contains(global); }));
            if (!gestureDone)
                finishGesture();
            QApplication::processEvents();
            if (QWidget* popup = QApplication::activePopupWidget()) {
                menuInDialog =
                    dlg.isAncestorOf(popup->parentWidget()) || popup->parentWidget() == &dlg;
                popup->close();
            }
            test::typeKeys(&dlg, QStringLiteral("b-1"));
            QTest::keyClick(dlg.windowHandle(), Qt::Key_Return);
        });
    EXPECT_FALSE(menuInDialog) << "an edit menu popped up in the description dialog";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    ASSERT_EQ(view.GetData()->GetShapeCount(), 1);
    const CAttitudeShape* shape = view.GetData()->GetShape(0);
    EXPECT_EQ(shape->GetType(), int(CAttitudeShape::TypePolyline));
    EXPECT_EQ(shape->GetText(TextDescription), QStringLiteral("b-1"));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

} // namespace
} // namespace bc
