#include "analysis/d3d_frame.h"

#include "analysis/d3d_scene.h"
#include "analysis/d3d_view.h"
#include "analysis/unwrap_frame_bitmaps.h"
#include "res/resource_bitmaps.h"
#include "ui/flat_tool_bar.h"
#include "ui/key_ownership.h"
#include "platform/window_placement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

namespace bc {

namespace {

// The main-row plus and minus keys.
bool isPlusOrMinus(const QKeyEvent& e)
{
    if (e.modifiers() & Qt::KeypadModifier)
        return false;
    switch (e.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return true;
    default:
        return false;
    }
}

} // namespace

CD3DFrame::CD3DFrame(const CylinderInput& input, QWidget* parent)
    : QMainWindow(parent, Qt::Window), input_(input)
{
    setWindowTitle(QStringLiteral("柱面图"));
    setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_VIDEO))));
    resize(812, 716);
    keepOnScreenWhenShown(this);
    setProperty(kOwnsDepthKeysProperty, true);

    toolBar_ = new CFlatToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolbar%1").arg(kToolBarId));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(kCylinderToolImageSize, kCylinderToolImageSize));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    // The pictures of tool bar 131, in the order of its commands; the texts
    // are the tips.
    const QList<QIcon> pictures = cutImageList(loadResourceBitmap(IDR_CYLINDER_TOOLBAR),
                                               kCylinderToolImageSize, kToolBarMask);
    const struct {
        int command;
        const char16_t* tip;
        bool checkable;
    } commands[kCylinderToolImages] = {
        {ID_ZOOM_IN, u"放大", false},          {ID_ZOOM_OUT, u"缩小", false},
        {ID_RESET, u"复位", false},            {ID_EXPORT_BMP, u"导出BMP文件", false},
        {ID_STEP_FORWARD, u"正转一步", false}, {ID_STEP_BACKWARD, u"反转一步", false},
        {ID_AUTO_FORWARD, u"自动正转", true},  {ID_AUTO_BACKWARD, u"自动反转", true},
    };
    for (int i = 0; i < kCylinderToolImages; ++i)
        addCommand(commands[i].command, QString::fromUtf16(commands[i].tip),
                   i < pictures.size() ? pictures.at(i) : QIcon(), commands[i].checkable);
    toolBar_->SetHotImageList(cylinderToolBarBitmap(true), kCylinderToolImageSize);

    // Never made where OpenGL cannot run: the window then stays blank.
    if (CD3DView::glAvailable()) {
        view_ = new CD3DView(this);
        view_->setInput(input_);
        setCentralWidget(view_);
        view_->setFocus();
    } else {
        setCentralWidget(new QWidget(this));
    }

    autoTimer_ = new QTimer(this);
    autoTimer_->setObjectName(QStringLiteral("timer%1").arg(kAutoRotateTimerId));
    autoTimer_->setInterval(kAutoRotateMs);
    connect(autoTimer_, &QTimer::timeout, this, &CD3DFrame::autoRotateTick);
    autoTimer_->start();

    qApp->installEventFilter(this);
}

CD3DFrame::~CD3DFrame()
{
    qApp->removeEventFilter(this);
    autoTimer_->stop();
}

void CD3DFrame::addCommand(int command, const QString& tip, const QIcon& picture, bool checkable)
{
    QAction* action = toolBar_->addAction(picture, tip);
    action->setToolTip(tip);
    action->setData(command);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
}

CD3DView* CD3DFrame::view() const
{
    return view_;
}

QAction* CD3DFrame::action(int command) const
{
    for (QAction* a : toolBar_->actions())
        if (a->data().toInt() == command)
            return a;
    return nullptr;
}

void CD3DFrame::setInput(const CylinderInput& input)
{
    input_ = input;
    if (view_)
        view_->setInput(input_);
}

void CD3DFrame::OnCommand(int command)
{
    auto view = [this](int viewCommand, int step) {
        if (!view_)
            return;
        if (step)
            view_->setStep(step);
        view_->DoViewCommand(viewCommand);
    };
    switch (command) {
    case ID_ZOOM_IN:
        view(CD3DScene::ModeZoomIn, 0);
        break;
    case ID_ZOOM_OUT:
        view(CD3DScene::ModeZoomOut, 0);
        break;
    case ID_RESET:
        view(CD3DScene::ModeNone, 0);
        break;
    case ID_EXPORT_BMP:
        if (view_)
            view_->OnExportBmp();
        break;
    case ID_STEP_FORWARD:
        view(CD3DScene::ModeForward, CD3DScene::kStepDegrees);
        break;
    case ID_STEP_BACKWARD:
        view(CD3DScene::ModeBackward, CD3DScene::kStepDegrees);
        break;
    case ID_AUTO_FORWARD:
        view(CD3DScene::ModeForward, CD3DScene::kAutoStepDegrees);
        autoForward_ = !autoForward_;
        break;
    case ID_AUTO_BACKWARD:
        view(CD3DScene::ModeBackward, CD3DScene::kAutoStepDegrees);
        autoBackward_ = !autoBackward_;
        break;
    default:
        return;
    }
    updateChecks();
}

void CD3DFrame::updateChecks()
{
    action(ID_AUTO_FORWARD)->setChecked(CD3DScene::forwardChecked(autoForward_, autoBackward_));
    action(ID_AUTO_BACKWARD)->setChecked(CD3DScene::backwardChecked(autoForward_, autoBackward_));
}

void CD3DFrame::autoRotateTick()
{
    if (view_)
        view_->autoRotate(autoForward_, autoBackward_);
}

bool CD3DFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Plus and minus pressed or released in this window go no further.
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    return isPlusOrMinus(*static_cast<QKeyEvent*>(event));
}

void CD3DFrame::closeEvent(QCloseEvent* event)
{
    autoTimer_->stop();
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && !closedSent_) {
        closedSent_ = true;
        emit closed();
    }
}

} // namespace bc
