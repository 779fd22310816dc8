#pragma once
// The one place through which the program asks the user anything: message
// boxes, questions, file and folder dialogs. The program installs the Qt
// implementation at start-up; tests install a scripted one. Core code never
// shows anything itself: it returns an error text and its caller asks here.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QMessageBox;

namespace bc {

// Message box styles and answers, with the values of the original dialogs so
// that callers can combine them the familiar way (MB_YESNO | MB_ICONQUESTION).
enum MessageStyle : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_TYPEMASK = 0xF,
    MB_ICONSTOP = 0x10,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_ICONMASK = 0xF0,
    MB_DEFBUTTON1 = 0x000,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
    MB_DEFMASK = 0xF00,
};

enum MessageAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

class Prompter {
public:
    virtual ~Prompter();

    // A message box. `caption` empty means the program title. Returns one of
    // MessageAnswer.
    virtual int messageBox(QWidget* parent, const QString& text, const QString& caption,
                           unsigned style) = 0;

    // File dialogs; an empty result (or list) means the user cancelled.
    // `filter` uses Qt's syntax: "JPEG (*.jpg);;All (*)".
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& dir,
                                 const QString& filter) = 0;
    virtual QStringList openFileNames(QWidget* parent, const QString& title, const QString& dir,
                                      const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString folderName(QWidget* parent, const QString& title, const QString& dir) = 0;

    // Withdraws a message box still open whose answer is no longer wanted (a
    // recording that ended while the user was asked whether to stop it): the
    // box showing `text` for `parent` closes as through its way out (Cancel
    // or No), which its messageBox call then returns. Does nothing when no
    // such box is open.
    virtual void withdrawBox(QWidget* parent, const QString& text);
};

// The installed prompter. Never null: before anything is installed a prompter
// that answers every question with its default button and cancels every dialog
// is in place, so nothing blocks on an invisible box.
Prompter& prompter();

// Installs `p` (not owned) and returns the previous one. nullptr restores the
// silent default.
Prompter* setPrompter(Prompter* p);

// Shorthands for the common calls.
int messageBox(const QString& text, const QString& caption = QString(), unsigned style = MB_OK,
               QWidget* parent = nullptr);

// The program title used where a box has no caption of its own.
QString programTitle();

// The prompter built on Qt's own dialogs. A message box opens centred on the
// window it belongs to: its parent's window, or without a parent the active
// modal window or else the active window.
class QtPrompter : public Prompter {
public:
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& dir,
                         const QString& filter) override;
    QStringList openFileNames(QWidget* parent, const QString& title, const QString& dir,
                              const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& dir,
                         const QString& filter) override;
    QString folderName(QWidget* parent, const QString& title, const QString& dir) override;
    void withdrawBox(QWidget* parent, const QString& text) override;

private:
    struct OpenBox {
        QPointer<QMessageBox> box;
        QPointer<QWidget> parent;
        QString text;
    };
    std::vector<OpenBox> open_; // innermost last
};

// The answer a box gives when nobody is there to press a button: its default
// button (MB_DEFBUTTONn picks among the style's buttons).
int defaultAnswer(unsigned style);

} // namespace bc
