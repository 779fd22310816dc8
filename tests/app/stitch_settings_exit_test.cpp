// The stitch settings chosen in the stitch window are in the profile after
// the program is left the usual way, with the window still open or closed
// before.

#include "running_program.h"

#include "analysis/stitch_settings_dlg.h"
#include "analysis/unwrap_frame_ids.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

namespace bc {
namespace {

TEST(StitchSettingsKept, PerPageAndAspectAreInTheProfileAfterExit)
{
    for (const bool closeWindowFirst : {false, true}) {
        SCOPED_TRACE(closeWindowFirst);
        test::RunningProgram program;
        program.run([&](CAcquisitionDlg& form) {
            CUnWrapFrame* frame = test::RunningProgram::openStitchWindow(form);
            ASSERT_NE(frame, nullptr);
            test::withModal<CStitchSettingsDlg>(
                [&] { frame->commandAction(ID_STITCH_SETTINGS)->trigger(); },
                [](CStitchSettingsDlg& dlg) {
                    QTest::mouseClick(dlg.perPageEdit(), Qt::LeftButton);
                    dlg.perPageEdit()->selectAll();
                    test::typeKeys(&dlg, QStringLiteral("5"));
                    QTest::mouseClick(dlg.aspectCheck(), Qt::LeftButton, {},
                                      QPoint(8, dlg.aspectCheck()->height() / 2));
                    QTest::mouseClick(
                        dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                        Qt::LeftButton);
                });
            if (closeWindowFirst) {
                QPointer<CUnWrapFrame> gone(frame);
                EXPECT_TRUE(frame->close());
                EXPECT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }));
            }
        });
        const auto profile = program.profile.reopen();
        EXPECT_EQ(profile->value(QStringLiteral("拼接/页面测点数")).toInt(), 5);
        EXPECT_EQ(profile->value(QStringLiteral("拼接/图像横纵比自适应")).toInt(), 0);
    }
}

} // namespace
} // namespace bc
