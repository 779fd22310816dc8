#pragma once
// A modal dialog, message box or pop-up menu that a test opens runs its own
// event loop until something closes it. When the code under test misbehaves
// (the dialog does not close on OK) or a test's driver gives up half-way (a
// failed assertion returns from it), nothing would, and the test program would
// hang until it is killed. The watchdog, started by the test main, closes a
// modal window that has stayed the active one for too long and fails the
// running test, naming the window; a driver can also close its dialog at once.

#include <QPointer>
#include <QString>
#include <QWidget>

namespace bc::test {

// Starts watching (once per program). A window left open for `deadlineMs`
// fails the test.
void startModalWatchdog(int deadlineMs = 60000);
// The deadline in force; changed for the watchdog's own test.
int setModalWatchdogDeadline(int deadlineMs);

// What a test sees of a modal window: its class and title.
QString describeWindow(const QWidget* w);

// Closes `dialog` (rejected, or a menu or other window closed) if it is still
// open, failing the running test with `why`. For a driver's last line, or a
// guard's destructor: "the driver ended and left it open".
void closeIfStillOpen(QWidget* dialog, const char* why);

// Closes the dialog when it goes out of scope, failing the test if it had to.
class ModalGuard {
  public:
    explicit ModalGuard(QWidget* dialog);
    ~ModalGuard();
    ModalGuard(const ModalGuard&) = delete;
    ModalGuard& operator=(const ModalGuard&) = delete;

  private:
    QPointer<QWidget> dialog_;
};

} // namespace bc::test
