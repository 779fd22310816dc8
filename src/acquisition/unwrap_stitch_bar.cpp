#include "acquisition/unwrap_stitch_bar.h"

#include "core/program_values.h"
#include "platform/window_placement.h"
#include "platform/prompter.h"
#include "res/resource_bitmaps.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

namespace bc {

namespace {
constexpr int kPlaybackMode = 3;
} // namespace

CUnwrapStitchBar::CUnwrapStitchBar(OpenWindow open, std::function<int()> formMode, QWidget* parent)
    : QWidget(parent), open_(std::move(open)), formMode_(std::move(formMode))
{
    button_ = new QPushButton(QStringLiteral("展开拼接"), this);
    button_->setObjectName(QString::number(IDC_UNWRAP_STITCH));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(button_);
    layout->addStretch();
    connect(button_, &QPushButton::clicked, this, &CUnwrapStitchBar::OnUnwrapStitch);
}

CUnwrapStitchBar::~CUnwrapStitchBar()
{
    continuousRequest.store(false);
    if (window_) {
        disconnect(window_, nullptr, this, nullptr);
        delete window_.data();
    }
}

void CUnwrapStitchBar::OnInitDialog()
{
    button_->setEnabled(currentLensType.load() != 0);
    OnUnwrapStitch();
}

void CUnwrapStitchBar::OnUnwrapStitch()
{
    if (window_ || !open_)
        return;
    const int layout = formMode_ && formMode_() == kPlaybackMode ? 2 : 1;
    LiveUnwrapWindow opened = open_(this, layout);
    if (!opened.window) {
        messageBox(QStringLiteral("创建展开拼接窗口失败"), QStringLiteral("出错"),
                   MB_OK | MB_ICONSTOP, this);
        return;
    }
    window_ = opened.window;
    setCentre_ = std::move(opened.setCentre);
    // However the window goes, the request goes with it.
    connect(window_, &QObject::destroyed, this, &CUnwrapStitchBar::onWindowGone);
    window_->setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_VIDEO))));
    // 860 x 750 at the origin: a smaller screen gets it cut to its own size.
    keepOnScreenWhenShown(window_);
    window_->show();
    continuousRequest.store(true);
}

void CUnwrapStitchBar::SetUnwrapCenter(int x, int y)
{
    if (currentLensType.load() != 0 && window_ && setCentre_)
        setCentre_(x, y);
}

void CUnwrapStitchBar::onWindowGone()
{
    continuousRequest.store(false);
    window_ = nullptr;
    setCentre_ = nullptr;
}

} // namespace bc
