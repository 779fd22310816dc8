#include "analysis/progress_dlg.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace bc {

namespace {
// 202 x 36 dialog units of the dialog font.
constexpr int kWidth = 303;
constexpr int kHeight = 58;
} // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint)
{
    setWindowModality(Qt::WindowModal);
    setFixedSize(kWidth, kHeight);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
}

void CProgressDlg::SetRange(int lo, int hi)
{
    bar_->setRange(lo, hi);
    bar_->setValue(lo);
    repaintNow();
}

void CProgressDlg::Advance(int n)
{
    bar_->setValue(std::clamp(bar_->value() + n, bar_->minimum(), bar_->maximum()));
    repaintNow();
}

void CProgressDlg::reject() {}

void CProgressDlg::repaintNow()
{
    if (!isVisible())
        return;
    // The step runs on this thread: let the window appear and draw, but take
    // no input while it runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

} // namespace bc
