#include "support/modal_watchdog.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>

namespace bc::test {
namespace {

std::atomic<int> deadline{60000};

class Watchdog : public QObject {
  public:
    Watchdog()
    {
        connect(&timer_, &QTimer::timeout, this, &Watchdog::check);
        timer_.start(100);
    }

  private:
    void check()
    {
        QWidget* open = QApplication::activePopupWidget();
        if (!open)
            open = QApplication::activeModalWidget();
        if (open != watched_ || !open) {
            watched_ = open;
            since_.start();
            return;
        }
        if (since_.elapsed() < deadline.load())
            return;
        closeIfStillOpen(open, "a modal window was left open: the test would hang");
        watched_ = nullptr;
    }

    QTimer timer_;
    QPointer<QWidget> watched_;
    QElapsedTimer since_;
};

} // namespace

void startModalWatchdog(int deadlineMs)
{
    static Watchdog* watchdog = nullptr;
    deadline.store(deadlineMs);
    if (!watchdog)
        watchdog = new Watchdog; // lives as long as the program
}

int setModalWatchdogDeadline(int deadlineMs)
{
    return deadline.exchange(deadlineMs);
}

QString describeWindow(const QWidget* w)
{
    if (!w)
        return QStringLiteral("(none)");
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle());
}

void closeIfStillOpen(QWidget* dialog, const char* why)
{
    if (!dialog || !dialog->isVisible())
        return;
    ADD_FAILURE() << why << ": " << describeWindow(dialog).toStdString();
    if (auto* d = qobject_cast<QDialog*>(dialog))
        d->reject();
    else
        dialog->close();
}

ModalGuard::ModalGuard(QWidget* dialog) : dialog_(dialog) {}

ModalGuard::~ModalGuard()
{
    closeIfStillOpen(dialog_, "the dialog's driver ended and left it open");
}

} // namespace bc::test
