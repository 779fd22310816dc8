#include "platform/prompter.h"

#include "platform/file_dialogs.h"
#include "platform/window_placement.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <vector>

namespace bc {

Prompter::~Prompter() = default;

void Prompter::withdrawBox(QWidget*, const QString&) {}

namespace {

std::vector<int> buttonsOf(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

class SilentPrompter : public Prompter {
public:
    int messageBox(QWidget*, const QString&, const QString&, unsigned style) override
    {
        return defaultAnswer(style);
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QStringList openFileNames(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString folderName(QWidget*, const QString&, const QString&) override { return {}; }
};

// Room a window manager's title bar takes besides the title: the window's
// icon and its minimise, maximise and close buttons, with their margins.
constexpr int kTitleBarDecorations = 150;

// Makes a box at least as wide as its title bar needs, so that a short text
// under a longer caption does not leave the caption cut to "...". Qt sizes a
// box by its text and buttons; a spacer in its layout adds the title's claim.
void fitTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true); // title bars commonly draw bold
    int wanted =
        QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarDecorations;
    if (const QScreen* screen = box.screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

SilentPrompter g_silent;
std::atomic<Prompter*> g_current{&g_silent};

} // namespace

int defaultAnswer(unsigned style)
{
    const std::vector<int> buttons = buttonsOf(style);
    const size_t index = (style & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0];
}

Prompter& prompter()
{
    return *g_current.load();
}

Prompter* setPrompter(Prompter* p)
{
    Prompter* old = g_current.exchange(p ? p : &g_silent);
    return old == &g_silent ? nullptr : old;
}

int messageBox(const QString& text, const QString& caption, unsigned style, QWidget* parent)
{
    return prompter().messageBox(parent, text, caption, style);
}

QString programTitle()
{
    return QStringLiteral("澜石视界2011");
}

int QtPrompter::messageBox(QWidget* parent, const QString& text, const QString& caption,
                           unsigned style)
{
    // A box belongs to a window: the caller's, or else the window the user
    // is working in. Qt centres a dialog on the window of its parent.
    QWidget* owner = parent ? parent->window() : QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    QMessageBox box(owner);
    box.setWindowTitle(caption.isEmpty() ? programTitle() : caption);
    box.setText(text);
    switch (style & MB_ICONMASK) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    fitTitle(box); // after the icon, which lays the box out anew
    struct Entry {
        int answer;
        QMessageBox::StandardButton button;
    };
    static const Entry table[] = {
        {IDOK, QMessageBox::Ok},       {IDCANCEL, QMessageBox::Cancel},
        {IDABORT, QMessageBox::Abort}, {IDRETRY, QMessageBox::Retry},
        {IDIGNORE, QMessageBox::Ignore}, {IDYES, QMessageBox::Yes},
        {IDNO, QMessageBox::No},
    };
    const int def = defaultAnswer(style);
    for (int answer : buttonsOf(style)) {
        for (const Entry& e : table) {
            if (e.answer != answer)
                continue;
            QPushButton* b = box.addButton(e.button);
            if (answer == def)
                box.setDefaultButton(b);
        }
    }
    // Placed at its size before it is shown, where it stays.
    centreOnOwner(&box);
    open_.push_back({&box, parent, text});
    box.exec();
    open_.pop_back();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const Entry& e : table) {
        if (e.button == pressed)
            return e.answer;
    }
    // Closed with the window's close box: the way out of the box.
    const std::vector<int> buttons = buttonsOf(style);
    for (int answer : buttons) {
        if (answer == IDCANCEL || answer == IDNO)
            return answer;
    }
    return buttons.front();
}

void QtPrompter::withdrawBox(QWidget* parent, const QString& text)
{
    for (const OpenBox& o : open_) {
        // Closed without a button: the box answers with its way out.
        if (o.box && o.parent == parent && o.text == text)
            o.box->done(0);
    }
}

QString QtPrompter::openFileName(QWidget* parent, const QString& title, const QString& dir,
                                 const QString& filter)
{
    return runFileDialog(FileDialogKind::Open, parent, title, dir, filter).value(0);
}

QStringList QtPrompter::openFileNames(QWidget* parent, const QString& title, const QString& dir,
                                      const QString& filter)
{
    return runFileDialog(FileDialogKind::OpenMany, parent, title, dir, filter);
}

QString QtPrompter::saveFileName(QWidget* parent, const QString& title, const QString& dir,
                                 const QString& filter)
{
    return runFileDialog(FileDialogKind::Save, parent, title, dir, filter).value(0);
}

QString QtPrompter::folderName(QWidget* parent, const QString& title, const QString& dir)
{
    return runFileDialog(FileDialogKind::Folder, parent, title, dir, QString()).value(0);
}

} // namespace bc
