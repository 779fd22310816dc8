#pragma once
// A small progress window without a title over the window that runs a long
// step. It blocks that window while it is up and cannot be cancelled, so no
// other command runs in the middle of the step.

#include <QDialog>

class QProgressBar;

namespace bc {

class CProgressDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_PROGRESS = 1182;

    explicit CProgressDlg(QWidget* parent = nullptr);

    // Range lo..hi, the bar at lo, and shows the change at once.
    void SetRange(int lo, int hi);
    // Moves the bar by n and shows the change at once.
    void Advance(int n);

    QProgressBar* bar() const { return bar_; }

  public slots:
    void reject() override; // Escape does not end it

  private:
    void repaintNow();

    QProgressBar* bar_;
};

} // namespace bc
