#pragma once
// The strip view of the analysis workspace: one page of stitched strips with
// the page header and compass ruler above and the depth labels to the left.
// It owns the current data set, pages through it, zooms, takes live strips
// from the raw-frame view, opens and saves documents and hosts the commands
// of the workspace (stitching, export, test parameters, reports, picking).

#include "analysis/page_painter.h"
#include "analysis/page_rect.h"
#include "analysis/strip_sink.h"
#include "analysis/workspace_context.h"
#include "core/error_report.h"
#include "core/folder_lock.h"
#include "core/unwrap_image.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

namespace bc {

class CShapeGrid;
class CSurveyParams;
class CUnWrapData;
class CAttitudePolyline;
class CAttitudeShape;
class CPickRubberBand;

class CUnWrapView : public QAbstractScrollArea, public IStripSink {
    Q_OBJECT

  public:
    explicit CUnWrapView(const WorkspaceContext& ctx, QWidget* parent = nullptr);
    ~CUnWrapView() override;

    // The live window's document, taken once at its building: during a
    // recording a data set on the form's recording files, which this view
    // then keeps up to date; in live acquisition one without files; in any
    // other form mode none. Other views never touch a recording's files.
    void BindLiveSurvey();

    // Layout of the frame: 0 stand-alone, 1 live (also the label mode).
    void SetFrameMode(int mode);
    int frameMode() const { return state_.frameMode; }

    CUnWrapData* GetData() const { return data_.get(); }
    int GetPageCount() const { return state_.pageCount; }
    int currentPage() const { return state_.currentPage; }
    int perPage() const { return state_.perPage; }
    // Ignored unless 0 <= p < page count and p is not the current page.
    void GoToPage(int p);

    void LoadCurrentPage();
    void RecalcPageGeometry();
    void ResetPaging();
    void CloseDocument();
    // Asks "是否保存对…的修改?" about a document with unsaved changes before
    // it is let go: true when it may go (saved, or its changes given up),
    // false when the user keeps it or it could not be saved. A document
    // without changes, and the live window's recording, go unasked.
    bool SaveModified();

    void ZoomIn();
    void ZoomOut();

    const PageViewState& pageState() const { return state_; }
    float zoom() const { return state_.zoom; }
    float aspect() const { return state_.aspect; }

    CSurveyParams* settings() const { return ctx_.settings; }
    const WorkspaceContext& context() const { return ctx_; }

    StitchWorkArea& stitchWork() { return stitchWork_; }
    int templateSize() const { return templateSize_; }
    int searchRange() const { return searchRange_; }

    // Moves the selection marker to the strip `index` (absolute, -1 none);
    // the arrow keys act on the selected strip.
    void setSelectedItem(int index);

    // "<writable temp folder>/texture.bmp".
    QString texturePath() const { return texturePath_; }

    // A live strip stamped with its depth and heading.
    void AddCapturedImage(std::unique_ptr<CUnWrapImage> item) override;

    // Hooks of the frame.
    // The attitude list of the frame; an attitude it edits is drawn again
    // with its new texts.
    void setShapeList(CShapeGrid* grid);
    void setDrawAttributesSource(std::function<ShapeDrawAttributes()> source)
    {
        drawAttributes_ = std::move(source);
    }

    // Opens the cylinder window once, or hands it the new input and raises it.
    void showCylinder(const CylinderInput& input);

  signals:
    void pageCountChanged(int count);
    // The page shown and the page count, after anything moved the view:
    // a page turn, an export, a live strip, a new document.
    void pageShown(int page, int count);
    void documentChanged();

  public slots:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnOpenJpg();
    // Stitching (unwrap_view_stitch.cpp).
    void OnStitchSettings();
    void OnAutoAlign();
    // Page images (unwrap_view_export.cpp, unwrap_view_test_params.cpp).
    void OnExportCurrentPage();
    void OnExportAllPages();
    void CreateCylinderImage();
    void OnTestParams();
    // Reports (unwrap_view_report.cpp).
    void OnReport();
    // Picking (unwrap_view_pick.cpp): 0 select, 1 line, 2 polyline.
    void SetPickMode(int mode);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // The scroll ranges for the current document (none without one).
    void updateScrollSizes();
    // A page the user turns to opens at its top-left corner.
    void scrollToPageTop();
    QSize contentSize() const;
    // Viewport point -> logical page point ((0, 0) the top-left corner of the
    // current page's strips), and a logical page rectangle -> viewport.
    QPoint viewToPage(const QPoint& viewportPoint) const;
    QRect pageToView(const PageRect& rect) const;
    void invalidatePageRect(const PageRect& rect);
    void setPageCount(int count);
    // Tells the page bar the page shown now.
    void tellPage();
    // A live survey climbing the hole (each strip lands above the others).
    bool upward() const;
    // This view takes the strips of the running recording: they are written
    // as they leave the current page.
    bool recording() const;
    // Writes (recording) or drops the modified strips of a page that is no
    // longer shown and frees its pixels.
    void releasePage(int page);
    void releaseLeftStrips();
    // The ".sfa" index of the strips whose files are written.
    bool writeSurveyIndex();
    void reportSaveFailure(const ErrorReport& error);
    // A file of the running recording's folder (its index, a strip) is
    // neither opened nor saved by another document: true, after saying why.
    bool refuseRecordingSurvey(const QString& file, bool saving);
    // Before the document's file is written by "保存": true when it may be.
    // Not into the running recording's folder; a file this document neither
    // read nor wrote last (rewritten by another window or program, or there
    // before an import) is replaced only when the user says so.
    bool mayReplaceFileOnDisk();
    // Before "保存" writes texts the file cannot hold as they are (their
    // characters GBK has no code for become '?'): true when there are none
    // or the user says so, asked once for all of them. A recording is not
    // asked: it writes its index as it goes.
    bool mayWriteUnfitTexts();

    WorkspaceContext ctx_;
    std::unique_ptr<CUnWrapData> data_;
    QString imageDirectory_;
    // The document is the running recording's, taken by BindLiveSurvey.
    bool recordsSurvey_ = false;
    // Marks the recording's folder while this view writes it, for the
    // stitch windows of this program and of any other copy of it.
    FolderLock recordingFolderLock_;
    PageViewState state_;
    int loadedPage_ = -1;
    int templateSize_ = 16;
    int searchRange_ = 10;
    bool aspectAdaptive_ = true;
    int lastInserted_ = -1;
    int pageHeight_ = 100;
    StitchWorkArea stitchWork_;
    QString texturePath_;
    bool saveFailureShown_ = false;
    bool closing_ = false;

    CShapeGrid* shapeList_ = nullptr;
    std::function<ShapeDrawAttributes()> drawAttributes_;

    // --- picking (unwrap_view_pick.cpp) -----------------------------------
    void pickMousePress(QMouseEvent* event);
    void pickMouseMove(QMouseEvent* event);
    // The right button ends a pick at its release, once its whole gesture
    // (press, menu request, release) is over: a description dialog opened
    // earlier would receive the rest of it.
    void pickRightPress(QMouseEvent* event);
    void pickRightButton(QMouseEvent* event);
    void pickCancel();
    void pickDelete();
    // Ends an edit still open in the attitude list, keeping what was typed.
    void commitListEdit();
    // Fills the attitude list from the data set, or empties it without one
    // (stand-alone layout).
    void rebuildShapeList();
    int pickMode_ = 0;
    int pointCount_ = 0;
    bool rightPressed_ = false; // pressed during a pick, not yet released
    QPoint lastPoint_;
    QPoint rubberEnd_;
    int cursorState_ = 0;
    std::unique_ptr<CAttitudePolyline> polyline_;
    // Mouse handlers act only with a document on a page, outside layout 1.
    bool picking() const;
    void startPick(const QPoint& p);
    // Drops the pick in progress: rubber band, polyline, mouse grab.
    void endPick();
    void showRubberBand();
    void pickSelect(const QPoint& p, bool shift);
    void pickLinePoint(const QPoint& p);
    void pickPolylinePoint(const QPoint& p);
    void addPickedShape(std::unique_ptr<CAttitudeShape> shape, const QString& description);
    QPointer<CPickRubberBand> rubberBand_;

    // --- cylinder window (unwrap_view_cylinder.cpp) -----------------------
    QPointer<QWidget> cylinderWindow_;
};

} // namespace bc
