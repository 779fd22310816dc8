// Renders the acquisition form offscreen at its real size, keeps the picture
// as a PNG and checks that every Chinese text on it has its glyphs.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "support/serial_slots.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "ui/bmp_button.h"
#include "ui/transparent_controls.h"

#include <QComboBox>
#include <QDir>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace bc {
namespace {

// The characters of `text` that `font` (with Qt's fallbacks) draws with no glyph.
QString missingGlyphs(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QString missing;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 index : run.glyphIndexes())
            if (index == 0)
                missing += QLatin1Char('?');
    }
    return missing;
}

bool hasChinese(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x3000)
            return true;
    return false;
}

TEST(FormScreenshot, EveryChineseTextHasItsGlyphsAndThePictureIsKept)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    graphs.script.devicePresent = false;
    CAcquisitionDlg form(graphs, profile.settings());
    form.setWaitFunction([](int) {});
    form.show();
    form.OnInitDialog();

    QStringList texts{form.windowTitle(), form.statusText()};
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<CTransparentLabel*>(w))
            texts << l->text();
        else if (auto* b = qobject_cast<CBmpButton*>(w))
            texts << b->text();
        else if (auto* q = qobject_cast<QLabel*>(w))
            texts << q->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->text();
    }
    int chinese = 0;
    for (const QString& t : texts) {
        if (!hasChinese(t))
            continue;
        ++chinese;
        EXPECT_TRUE(missingGlyphs(t, form.font()).isEmpty()) << t.toStdString();
    }
    EXPECT_GT(chinese, 40); // the labels, titles, entries and the status line

    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), form.size());
    EXPECT_GE(shot.width(), 900);
    const QString out = QDir::current().filePath(QStringLiteral("acquisition_form.png"));
    ASSERT_TRUE(shot.save(out));
    // Not blank: the background and the controls give many colours.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 50);
}

} // namespace
} // namespace bc
