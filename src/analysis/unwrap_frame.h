#pragma once
// The top-level window of the analysis workspace, in one of three layouts:
//   0  "拼接窗口": the strip view alone, with the menu, the page tool bar and
//      the dockable attitude list (the station's stitch-window button);
//   1  "展开拼接窗口": the raw-frame view above the strip view, with the page
//      tool bar (live acquisition);
//   2  "展开拼接窗口": the raw-frame view alone, no bars (playback).
// It builds the views and bars, routes the page and zoom commands and tells
// its owner when it closes. The live layouts ignore a close request: the
// window that opened them closes them.

#include "analysis/workspace_context.h"

#include <QMainWindow>
#include <QPointer>

#include <map>

class QAction;
class QDockWidget;
class QSplitter;

namespace bc {

class COpenView;
class CPageToolBar;
class CShapeGrid;
class CUnWrapData;
class CUnWrapView;

class CUnWrapFrame : public QMainWindow {
    Q_OBJECT
  public:
    enum Layout : int { StandAlone = 0, Live = 1, LivePlayback = 2 };

    // The strip view's pane id and the heights of the two live panes.
    static constexpr int kStripPaneId = 59648;
    static constexpr int kOpenPaneHeight = 300;
    static constexpr int kStripPaneHeight = 450;

    // A window of `owner`'s family (owned by it); build it with Create().
    CUnWrapFrame(int mode, QWidget* owner, const WorkspaceContext& ctx);
    ~CUnWrapFrame() override;

    // Builds the views, the bars and the commands of the layout. False when
    // one could not be made; the opener then deletes the frame.
    bool Create();

    int mode() const { return mode_; }
    CUnWrapView* GetUnWrapView() const;
    COpenView* GetOpenView() const;
    // The attitude list (stand-alone layout; null in the others).
    CShapeGrid* GetShapeGrid() const;
    // A new unwrap centre for the raw-frame view, when there is one.
    void SetOpenViewParams(int x, int y);
    void SetPageCount(int count);
    // The drawing attributes of a new shape, from the page tool bar.
    ShapeDrawAttributes GetDrawAttributes() const;
    CUnWrapData* GetData() const;
    int GetPageCount() const;
    // Stand-alone layout only.
    void GoToPage(int page);
    void SetPickMode(int mode);

    CPageToolBar* pageToolBar() const { return pageToolBar_; }
    QDockWidget* attitudeBar() const { return attitudeBar_; }
    QSplitter* splitter() const { return splitter_; }
    // The action of a command id of the menu or the tool bar; null if none.
    QAction* commandAction(int id) const;

  signals:
    // The stand-alone frame closed (its report to the owner).
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool OnCreateClient();
    bool OnCreate();
    void buildCommands();
    QAction* makeCommand(int id);
    void buildMenu();
    bool buildPageToolBar();
    void buildAttitudeBar();
    void updateCommands();
    void releaseStripSink();

    // Commands of the frame itself.
    void OnZoomIn();
    void OnZoomOut();
    void OnDrawShape();
    void OnShowShapeList();
    void OnCylinder();
    void OnPageRequested(int page);

    int mode_;
    WorkspaceContext ctx_;
    QPointer<COpenView> openView_;
    QPointer<CUnWrapView> unwrapView_;
    QSplitter* splitter_ = nullptr;
    CPageToolBar* pageToolBar_ = nullptr;
    QDockWidget* attitudeBar_ = nullptr;
    QPointer<CShapeGrid> shapeGrid_;
    std::map<int, QAction*> commands_;
    bool closeReported_ = false;
};

// The stand-alone frame (layout 0) of `owner`, built and ready to show; null
// when it could not be made.
CUnWrapFrame* OpenStitchFrame(QWidget* owner, const WorkspaceContext& ctx);
// A live frame (layout 1, or 2 in playback) of `owner`, built, with its strip
// view registered as the receiver of live strips (none in layout 2) for as
// long as the frame is open; null when it could not be made.
CUnWrapFrame* OpenLiveFrame(QWidget* owner, int layout, const WorkspaceContext& ctx);

} // namespace bc
