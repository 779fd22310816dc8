// The program as main() runs it, on scripted graphs and a profile whose
// serial slots lead nowhere (so a box comes up at start-up).

#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "acquisition/settings_groups.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "ui/bmp_button.h"
#include "ui/transparent_controls.h"

#include <QComboBox>
#include <QDir>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

// Notes, at every box, a form behind it that is not yet set up.
class FormBehindEveryBox : public test::ScriptedPrompter {
  public:
    QStringList unready;
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        CAcquisitionDlg* f = CAcquisitionDlg::mainForm();
        const auto* group = f ? f->findChild<CControlParamsGroup*>() : nullptr;
        if (!group || !f->isVisible() || group->stepField()->edit()->text().isEmpty() ||
            group->declinationEdit()->text().isEmpty())
            unready << text;
        for (int id : {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE})
            if (f && f->control(id)->isEnabled())
                unready << text;
        return ScriptedPrompter::messageBox(parent, text, caption, style);
    }
};

// The form as the user sees it: every Chinese text on it has its glyphs in
// the form's font or Qt's fallbacks, and the picture, kept as
// acquisition_form.png to be looked at, has many colours.
void expectFormPicture(CAcquisitionDlg& form)
{
    QString all = form.windowTitle();
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<CTransparentLabel*>(w))
            all += l->text();
        else if (auto* b = qobject_cast<CBmpButton*>(w))
            all += b->text();
        else if (auto* q = qobject_cast<QLabel*>(w))
            all += q->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            all += g->title();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            all += e->text();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                all += c->itemText(i);
    }
    // The labels, titles, entries and the status line: over a hundred
    // characters.
    EXPECT_GT(std::count_if(all.begin(), all.end(), [](QChar c) { return c.unicode() >= 0x3000; }),
              100);
    QTextLayout layout(all, form.font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns())
        EXPECT_FALSE(run.glyphIndexes().contains(0)) << "a character drawn as a box";
    const QImage shot = form.grab().toImage();
    EXPECT_GE(shot.width(), 900);
    EXPECT_TRUE(shot.save(QDir::current().filePath(QStringLiteral("acquisition_form.png"))));
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 50);
}

TEST(CSurveyApp, TheProgramLivesExactlyAsLongAsItsForm)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    FormBehindEveryBox prompter;
    test::ScriptedGraphFactory graphs;
    CSurveyApp app;
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("2011 PELK  Corporation"));
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        ASSERT_TRUE(form);
        EXPECT_TRUE(form->isVisible());
        expectFormPicture(*form);
        // Keys reach the form's handlers: plus during live acquisition moves
        // the depth.
        form->OnStartAcquisition();
        const int depth = form->counter().depth();
        QTest::keyClick(form, Qt::Key_Equal);
        // Its release acts once no repeat of the key can follow.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->counter().depth() > depth; }));
        form->OnStopRecord();
        form->reject();
    });
    EXPECT_FALSE(app.InitInstance(&graphs, &profile.settings()));
    EXPECT_FALSE(prompter.boxes.empty());
    EXPECT_TRUE(prompter.unready.isEmpty()) << prompter.unready.join(' ').toStdString();
    EXPECT_EQ(CAcquisitionDlg::mainForm(), nullptr);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_EQ(app.ExitInstance(), 0);
    // The profile was written on the way out.
    EXPECT_TRUE(profile.reopen()->contains(QStringLiteral("坐标参数/X")));
}

} // namespace
} // namespace bc
