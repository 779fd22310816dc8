#include "analysis/unwrap_frame.h"

#include "analysis/open_view.h"
#include "analysis/page_tool_bar.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_frame_bitmaps.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "analysis/shape_bar.h"
#include "analysis/shape_grid.h"
#include "ui/key_ownership.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>

namespace bc {

namespace {

// A command of the frame: its menu text (empty for tool bar commands), its
// prompt ("status text\ntip") and the popup of menu 148 it sits in (-1: none).
struct CommandDef {
    int id;
    const char16_t* menuText;
    const char16_t* prompt;
    int popup;
    const char* shortcut;
};

const char16_t* const kPopups[] = {u"文件(&F)", u"拼接(&S)", u"视图(&V)"};

constexpr CommandDef kCommands[] = {
    {ID_FILE_NEW, u"新建(&N)\tCtrl+N", u"新建\n新建展开图", 0, "Ctrl+N"},
    {ID_FILE_OPEN, u"打开*.sfa文件(&O)...\tCtrl+O", u"打开一个现有的文件\n打开", 0, "Ctrl+O"},
    {ID_OPEN_JPG, u"打开JPG文件", u"", 0, nullptr},
    {ID_FILE_SAVE, u"保存(&S)\tCtrl+S", u"保存分析结果", 0, "Ctrl+S"},
    {ID_EXPORT_CURRENT_PAGE, u"导出当前页面", u"将当前页面导出到JPG文件", 0, nullptr},
    {ID_EXPORT_ALL_PAGES, u"导出所有页面", u"将所有页面导出到JPG文件", 0, nullptr},
    {ID_REPORT, u"输出报表", u"", 0, nullptr},
    {ID_STITCH_SETTINGS, u"拼接设置", u"拼接参数设置", 1, nullptr},
    {ID_AUTO_ALIGN, u"自动拼接对齐", u"根据上下相邻的两张图像自动拼接对齐", 1, nullptr},
    {ID_TEST_PARAMS, u"测试参数", u"设置测试参数(工地,孔号...)", 1, nullptr},
    {ID_CYLINDER, u"生成3D图", u"生成圆柱体", 2, nullptr},
    {ID_SHOW_SHAPE_LIST, u"显示产状列表", u"", 2, nullptr},
    {ID_ZOOM_IN, u"", u"放大", -1, nullptr},
    {ID_ZOOM_OUT, u"", u"缩小", -1, nullptr},
    {ID_DRAW_SHAPE, u"", u"画产状图", -1, nullptr},
    {ID_FIRST_PAGE, u"", u"跳到第一页", -1, nullptr},
    {ID_PREV_PAGE, u"", u"跳到前一页", -1, nullptr},
    {ID_NEXT_PAGE, u"", u"跳到下一页", -1, nullptr},
    {ID_LAST_PAGE, u"", u"跳到最后一页", -1, nullptr},
};

// Tool bar 159: its buttons and the places of the page tool bar's controls
// (0 is a separator).
constexpr int kToolBar[] = {
    ID_STITCH_SETTINGS,
    0,
    ID_ZOOM_IN,
    ID_ZOOM_OUT,
    0,
    ID_FIRST_PAGE,
    ID_PREV_PAGE,
    ID_PAGE_BOX,
    ID_NEXT_PAGE,
    ID_LAST_PAGE,
    0,
    ID_DRAW_SHAPE,
    ID_LINE_STYLE,
    ID_LINE_WIDTH,
    ID_LINE_COLOR,
    ID_SHAPE_TYPE,
};

// Commands enabled only in the stand-alone layout.
constexpr int kStandAloneOnly[] = {ID_ZOOM_IN,   ID_ZOOM_OUT,  ID_SHOW_SHAPE_LIST, ID_FIRST_PAGE,
                                   ID_PREV_PAGE, ID_NEXT_PAGE, ID_LAST_PAGE};

Qt::WindowFlags frameFlags(int mode)
{
    if (mode == CUnWrapFrame::StandAlone)
        return Qt::Window;
    // The live layouts are closed by their opener only: no close button.
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint;
}

} // namespace

CUnWrapFrame::CUnWrapFrame(int mode, QWidget* owner, const WorkspaceContext& ctx)
    : QMainWindow(owner, frameFlags(mode)), mode_(mode), ctx_(ctx)
{
    setProperty(kOwnsDepthKeysProperty, true);
    move(0, 0);
    if (mode_ == StandAlone) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("拼接窗口"));
        resize(700, 750);
        setWindowState(Qt::WindowMaximized);
    } else {
        setWindowTitle(QStringLiteral("展开拼接窗口"));
        resize(860, 750);
    }
}

CUnWrapFrame::~CUnWrapFrame()
{
    releaseStripSink();
}

bool CUnWrapFrame::Create()
{
    if (mode_ < StandAlone || mode_ > LivePlayback)
        return false;
    return OnCreateClient() && OnCreate();
}

bool CUnWrapFrame::OnCreateClient()
{
    const bool needsOpenView = mode_ != StandAlone;
    if (needsOpenView && !ctx_.settings)
        return false;
    switch (mode_) {
    case StandAlone:
        unwrapView_ = new CUnWrapView(ctx_, this);
        setCentralWidget(unwrapView_);
        break;
    case Live:
        splitter_ = new QSplitter(Qt::Vertical, this);
        openView_ = new COpenView(*ctx_.settings, splitter_);
        unwrapView_ = new CUnWrapView(ctx_, splitter_);
        unwrapView_->BindLiveSurvey();
        splitter_->addWidget(openView_);
        splitter_->addWidget(unwrapView_);
        // The raw-frame pane keeps its height; the strip pane takes the rest.
        splitter_->setStretchFactor(0, 0);
        splitter_->setStretchFactor(1, 1);
        splitter_->setSizes({kOpenPaneHeight, kStripPaneHeight});
        setCentralWidget(splitter_);
        break;
    default:
        openView_ = new COpenView(*ctx_.settings, this);
        setCentralWidget(openView_);
        break;
    }
    if (unwrapView_) {
        unwrapView_->setObjectName(QString::number(kStripPaneId));
        unwrapView_->SetFrameMode(mode_);
        unwrapView_->setDrawAttributesSource([this] { return GetDrawAttributes(); });
        connect(unwrapView_, &CUnWrapView::pageCountChanged, this, &CUnWrapFrame::SetPageCount);
        unwrapView_->setFocus(); // the active view
    }
    return true;
}

bool CUnWrapFrame::OnCreate()
{
    if (mode_ == LivePlayback)
        return true;
    buildCommands();
    if (!buildPageToolBar())
        return false;
    if (mode_ == StandAlone) {
        buildMenu();
        buildAttitudeBar();
    }
    statusBar();
    if (unwrapView_) {
        unwrapView_->setShapeList(GetShapeGrid());
        SetPageCount(unwrapView_->GetPageCount());
        connect(unwrapView_, &CUnWrapView::pageShown, pageToolBar_, &CPageToolBar::ShowViewPage);
    }
    updateCommands();
    return true;
}

QAction* CUnWrapFrame::makeCommand(int id)
{
    for (const CommandDef& def : kCommands) {
        if (def.id != id)
            continue;
        const QString prompt = QString::fromUtf16(def.prompt);
        const QString status = prompt.section(QLatin1Char('\n'), 0, 0);
        const QString tip = prompt.section(QLatin1Char('\n'), 1);
        const QString menuText = QString::fromUtf16(def.menuText);
        auto* action = new QAction(menuText.isEmpty() ? status : menuText, this);
        action->setData(id);
        action->setStatusTip(status);
        action->setToolTip(tip.isEmpty() ? (menuText.isEmpty() ? status : menuText) : tip);
        if (def.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(def.shortcut)));
        commands_[id] = action;
        return action;
    }
    return nullptr;
}

void CUnWrapFrame::buildCommands()
{
    for (const CommandDef& def : kCommands)
        makeCommand(def.id);
    auto route = [this](int id, auto slot) {
        connect(commands_.at(id), &QAction::triggered, this, slot);
    };
    auto toView = [this](int id, void (CUnWrapView::*slot)()) {
        connect(commands_.at(id), &QAction::triggered, this, [this, slot] {
            if (unwrapView_)
                (unwrapView_.data()->*slot)();
        });
    };
    toView(ID_FILE_NEW, &CUnWrapView::OnFileNew);
    toView(ID_FILE_OPEN, &CUnWrapView::OnFileOpen);
    toView(ID_OPEN_JPG, &CUnWrapView::OnOpenJpg);
    toView(ID_FILE_SAVE, &CUnWrapView::OnFileSave);
    toView(ID_EXPORT_CURRENT_PAGE, &CUnWrapView::OnExportCurrentPage);
    toView(ID_EXPORT_ALL_PAGES, &CUnWrapView::OnExportAllPages);
    toView(ID_REPORT, &CUnWrapView::OnReport);
    toView(ID_STITCH_SETTINGS, &CUnWrapView::OnStitchSettings);
    toView(ID_TEST_PARAMS, &CUnWrapView::OnTestParams);
    toView(ID_AUTO_ALIGN, &CUnWrapView::OnAutoAlign);
    route(ID_CYLINDER, &CUnWrapFrame::OnCylinder);
    route(ID_SHOW_SHAPE_LIST, &CUnWrapFrame::OnShowShapeList);
    route(ID_ZOOM_IN, &CUnWrapFrame::OnZoomIn);
    route(ID_ZOOM_OUT, &CUnWrapFrame::OnZoomOut);
    route(ID_DRAW_SHAPE, &CUnWrapFrame::OnDrawShape);
}

void CUnWrapFrame::buildMenu()
{
    QMenu* popups[std::size(kPopups)];
    for (size_t i = 0; i < std::size(kPopups); ++i)
        popups[i] = menuBar()->addMenu(QString::fromUtf16(kPopups[i]));
    for (const CommandDef& def : kCommands) {
        if (def.popup < 0)
            continue;
        if (def.id == ID_EXPORT_CURRENT_PAGE)
            popups[def.popup]->addSeparator();
        popups[def.popup]->addAction(commands_.at(def.id));
    }
}

bool CUnWrapFrame::buildPageToolBar()
{
    pageToolBar_ = new CPageToolBar(mode_ != StandAlone, this);
    pageToolBar_->setObjectName(QStringLiteral("AFX_IDW_TOOLBAR"));
    pageToolBar_->setIconSize(QSize(kToolImageSize, kToolImageSize));
    const QColor mask(192, 192, 192);
    const QList<QIcon> images =
        cutImageList(frameToolBarBitmap(ToolLook::Normal), kToolImageSize, mask);
    const QList<int>& pictured = frameToolBarButtons();
    for (int id : kToolBar) {
        if (id == 0) {
            pageToolBar_->addSeparator();
        } else if (auto found = commands_.find(id); found != commands_.end()) {
            const qsizetype image = pictured.indexOf(id);
            if (image >= 0 && image < images.size())
                found->second->setIcon(images.at(image));
            pageToolBar_->addAction(found->second);
        } else {
            pageToolBar_->addCommand(id); // the place of a control
        }
    }
    if (!pageToolBar_->CreateControls())
        return false;
    pageToolBar_->SetHotImageList(frameToolBarBitmap(ToolLook::Hot), kToolImageSize);
    // The greyed pictures of disabled buttons join the ones the bar has made.
    const QList<QIcon> greyed =
        cutImageList(frameToolBarBitmap(ToolLook::Disabled), kToolImageSize, mask);
    for (qsizetype i = 0; i < pictured.size() && i < greyed.size(); ++i) {
        QAction* action = commands_.at(pictured.at(i));
        QIcon icon = action->icon();
        icon.addPixmap(greyed.at(i).pixmap(kToolImageSize), QIcon::Disabled);
        action->setIcon(icon);
    }
    addToolBar(Qt::TopToolBarArea, pageToolBar_);

    connect(commands_.at(ID_FIRST_PAGE), &QAction::triggered, pageToolBar_,
            &CPageToolBar::FirstPage);
    connect(commands_.at(ID_PREV_PAGE), &QAction::triggered, pageToolBar_, &CPageToolBar::PrevPage);
    connect(commands_.at(ID_NEXT_PAGE), &QAction::triggered, pageToolBar_, &CPageToolBar::NextPage);
    connect(commands_.at(ID_LAST_PAGE), &QAction::triggered, pageToolBar_, &CPageToolBar::LastPage);
    connect(pageToolBar_, &CPageToolBar::pageRequested, this, &CUnWrapFrame::OnPageRequested);
    connect(pageToolBar_, &CPageToolBar::shapeTypeChosen, this, &CUnWrapFrame::SetPickMode);
    return true;
}

// The attitude list's bar, docked right ("产状工具箱").
void CUnWrapFrame::buildAttitudeBar()
{
    auto* bar = new CShapeBar(
        QStringLiteral("产状工具箱"), [this] { return GetData(); }, this);
    shapeGrid_ = bar->grid();
    bar->setObjectName(QString::number(ID_SHAPE_BAR));
    bar->SetBtnImageList(
        cutImageList(attitudeBarButtonBitmap(), kCaptionImageSize, QColor(0, 255, 0)));
    bar->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, bar);
    attitudeBar_ = bar;
}

void CUnWrapFrame::updateCommands()
{
    for (int id : kStandAloneOnly)
        if (QAction* action = commandAction(id))
            action->setEnabled(mode_ == StandAlone);
}

QAction* CUnWrapFrame::commandAction(int id) const
{
    const auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : found->second;
}

CUnWrapView* CUnWrapFrame::GetUnWrapView() const
{
    return unwrapView_;
}

COpenView* CUnWrapFrame::GetOpenView() const
{
    return openView_;
}

CShapeGrid* CUnWrapFrame::GetShapeGrid() const
{
    return shapeGrid_;
}

void CUnWrapFrame::SetOpenViewParams(int x, int y)
{
    if (openView_)
        openView_->SetUnwrapCenter(x, y);
}

void CUnWrapFrame::SetPageCount(int count)
{
    if (pageToolBar_)
        pageToolBar_->SetPageCount(count);
}

ShapeDrawAttributes CUnWrapFrame::GetDrawAttributes() const
{
    ShapeDrawAttributes attributes;
    if (pageToolBar_) {
        COLORREF colour = attributes.penColor;
        pageToolBar_->GetDrawSettings(&attributes.penStyle, &attributes.penWidth, &colour);
        attributes.penColor = colour;
    }
    return attributes;
}

CUnWrapData* CUnWrapFrame::GetData() const
{
    return unwrapView_ ? unwrapView_->GetData() : nullptr;
}

int CUnWrapFrame::GetPageCount() const
{
    return unwrapView_ ? unwrapView_->GetPageCount() : 0;
}

void CUnWrapFrame::GoToPage(int page)
{
    if (mode_ == StandAlone && unwrapView_)
        unwrapView_->GoToPage(page);
}

void CUnWrapFrame::SetPickMode(int mode)
{
    if (unwrapView_)
        unwrapView_->SetPickMode(mode);
}

void CUnWrapFrame::OnZoomIn()
{
    if (openView_)
        openView_->ZoomIn();
    if (unwrapView_)
        unwrapView_->ZoomIn();
}

void CUnWrapFrame::OnZoomOut()
{
    if (openView_)
        openView_->ZoomOut();
    if (unwrapView_)
        unwrapView_->ZoomOut();
}

void CUnWrapFrame::OnDrawShape()
{
    SetPickMode(1);
}

void CUnWrapFrame::OnShowShapeList()
{
    if (!attitudeBar_)
        return;
    if (attitudeBar_->isVisible()) {
        attitudeBar_->hide();
        return;
    }
    if (attitudeBar_->isFloating())
        attitudeBar_->setFloating(false);
    addDockWidget(Qt::RightDockWidgetArea, attitudeBar_);
    attitudeBar_->show();
}

void CUnWrapFrame::OnCylinder()
{
    if (unwrapView_)
        unwrapView_->CreateCylinderImage();
}

void CUnWrapFrame::OnPageRequested(int page)
{
    GoToPage(page);
}

void CUnWrapFrame::releaseStripSink()
{
    if (unwrapView_)
        unregisterStripSink(unwrapView_);
}

void CUnWrapFrame::closeEvent(QCloseEvent* event)
{
    if (mode_ != StandAlone || (unwrapView_ && !unwrapView_->SaveModified())) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    releaseStripSink();
    if (!closeReported_) {
        closeReported_ = true;
        emit closed();
    }
}

} // namespace bc
