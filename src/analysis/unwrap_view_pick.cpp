// Picking and editing attitudes in the strip view: select mode with its strip
// selection, lines of two clicks, polylines of up to ten clicks ended by the
// right button, the description of a new attitude, Escape and Delete.
#include "analysis/unwrap_view.h"

#include "analysis/attitude_shape.h"
#include "analysis/input_string_dlg.h"
#include "analysis/page_geometry.h"
#include "analysis/pick_mapping.h"
#include "analysis/pick_rubber_band.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "core/survey_params.h"
#include "platform/gbk_cut.h"

#include <QMouseEvent>
#include <QScrollBar>

namespace bc {

namespace {

// The cursor shown over a shape in select mode.
const Qt::CursorShape kShapeCursor = Qt::PointingHandCursor;
constexpr int kCursorOverShape = 3;

} // namespace

void CUnWrapView::SetPickMode(int mode)
{
    // A pick in progress ends with the mode it was started in.
    endPick();
    pickMode_ = mode;
    pointCount_ = 0;
    cursorState_ = 0;
    viewport()->unsetCursor();
}

bool CUnWrapView::picking() const
{
    return data_ && state_.frameMode != 1 && state_.pageWidth > 0 && state_.pxPerMm > 0.0f;
}

void CUnWrapView::endPick()
{
    if (rubberBand_)
        rubberBand_->clearSegment();
    polyline_.reset();
    pointCount_ = 0;
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void CUnWrapView::startPick(const QPoint& p)
{
    pointCount_ = 1;
    lastPoint_ = rubberEnd_ = p;
    viewport()->grabMouse();
    showRubberBand();
}

void CUnWrapView::showRubberBand()
{
    if (!rubberBand_)
        rubberBand_ = new CPickRubberBand(viewport());
    const QPoint toView(kPageLeftMargin - horizontalScrollBar()->value(),
                        kPageTopMargin - verticalScrollBar()->value());
    rubberBand_->setSegment(lastPoint_ + toView, rubberEnd_ + toView);
}

void CUnWrapView::pickMousePress(QMouseEvent* event)
{
    if (!picking()) {
        endPick();
        return;
    }
    const QPoint p = viewToPage(event->position().toPoint());
    // A plane is marked on the wall: a click above or below the page's
    // strips adds no point, or the attitude would lie where no page shows it.
    const float depth = PickToWall(p, state_).y;
    if (pickMode_ != 0 &&
        (depth < float(state_.pageTopDepth) || depth > float(state_.pageBottomDepth)))
        return;
    switch (pickMode_) {
    case 0:
        pickSelect(p, event->modifiers().testFlag(Qt::ShiftModifier));
        break;
    case 1:
        pickLinePoint(p);
        break;
    case 2:
        pickPolylinePoint(p);
        break;
    default:
        break;
    }
}

void CUnWrapView::pickSelect(const QPoint& p, bool shift)
{
    const PickScale s = PickScaleOf(state_);
    const int hit = data_->SelectShapeAt(s.topDepth, s.bottomDepth, s.pxPerRadian, s.pxPerMm,
                                         shift ? CUnWrapData::kShiftFlag : 0u, p.x(), p.y(),
                                         [this](const PageRect& r) { invalidatePageRect(r); });
    if (hit) {
        if (shapeList_ && data_->GetSelectedCount() > 0) {
            for (int i = 0; i < data_->GetSelectedCount(); ++i)
                shapeList_->SelectRowByNumber(data_->GetSelectedShape(i)->GetId());
            shapeList_->Refresh();
        }
        return;
    }
    // A strip is hit where it is drawn: across the page's width (stretched
    // by the aspect rule), over its rows. The data set's hit test counts x
    // from the label column's left edge, 60 pixels left of the strips.
    const int item = p.x() >= 0 && p.x() < state_.pageWidth
                         ? data_->HitTestItem(state_.currentPage, state_.perPage, kLabelColumn,
                                              p.y(), state_.zoom)
                         : -1;
    if (item < 0 || item == state_.selectedItem)
        return;
    const int old = state_.selectedItem;
    state_.selectedItem = item;
    // The red marker in the label cell moves from the old strip to the new.
    for (int index : {old, item})
        if (index >= 0)
            invalidatePageRect(
                data_->GetItemRect(0, state_.currentPage, state_.perPage, state_.zoom, index));
}

void CUnWrapView::pickLinePoint(const QPoint& p)
{
    if (pointCount_ == 0) {
        startPick(p);
        return;
    }
    const QPoint first = lastPoint_;
    endPick();
    QString text;
    if (!askString(this, QStringLiteral("请输入产状描述"), QString(), text)) {
        viewport()->update();
        return;
    }
    const ShapeDrawAttributes a = drawAttributes_ ? drawAttributes_() : ShapeDrawAttributes();
    addPickedShape(std::make_unique<CAttitudeLine>(NextShapeId(), PickToWall(first, state_),
                                                   PickToWall(p, state_), a.penStyle, a.penWidth,
                                                   a.penColor),
                   text);
}

void CUnWrapView::pickPolylinePoint(const QPoint& p)
{
    if (pointCount_ == 0 || !polyline_) {
        const ShapeDrawAttributes a = drawAttributes_ ? drawAttributes_() : ShapeDrawAttributes();
        startPick(p);
        polyline_ =
            std::make_unique<CAttitudePolyline>(NextShapeId(), a.penStyle, a.penWidth, a.penColor);
    } else {
        ++pointCount_;
        lastPoint_ = rubberEnd_ = p;
        showRubberBand();
    }
    // Beyond the tenth vertex a click adds none.
    polyline_->AddPoint(PickToWall(p, state_));
    viewport()->update();
}

void CUnWrapView::addPickedShape(std::unique_ptr<CAttitudeShape> shape, const QString& description)
{
    CAttitudeShape* added = shape.get();
    data_->AddShape(std::move(shape));
    const AttitudeInputs in =
        AttitudeInputsOf(*data_, ctx_.settings ? ctx_.settings->declination : 0.0f);
    added->UpdateAttitude(in.openingDiameter, in.holeInclination, in.inclinedHoleDipDirection,
                          in.declination);
    // The analysis file keeps at most 249 GBK bytes of a description.
    added->SetDescription(cutToGbkBytes(description, kShapeTextMaxGbkBytes));
    if (shapeList_) {
        QString texts[5];
        for (int t = 0; t < 5; ++t)
            texts[t] = added->GetText(ShapeText(t));
        shapeList_->AppendRow(texts);
    }
    viewport()->update();
}

void CUnWrapView::pickRightPress(QMouseEvent*)
{
    if (!picking()) {
        endPick();
        return;
    }
    rightPressed_ = pointCount_ > 0;
}

void CUnWrapView::pickRightButton(QMouseEvent*)
{
    if (!picking()) {
        endPick();
        return;
    }
    if (pointCount_ == 0)
        return;
    if (pickMode_ == 2 && polyline_ && polyline_->points().size() >= 2) {
        std::unique_ptr<CAttitudePolyline> polyline = std::move(polyline_);
        endPick();
        QString text;
        if (askString(this, QStringLiteral("请输入产状描述"), QString(), text))
            addPickedShape(std::move(polyline), text);
        else
            viewport()->update();
        return;
    }
    // A line's first point or a polyline of one vertex: nothing is made.
    endPick();
}

void CUnWrapView::pickMouseMove(QMouseEvent* event)
{
    if (!picking()) {
        if (pointCount_ > 0)
            endPick();
        return;
    }
    const QPoint p = viewToPage(event->position().toPoint());
    if (pickMode_ == 0) {
        const PickScale s = PickScaleOf(state_);
        const bool over = data_->HitTestShapes(p.x(), p.y(), float(s.topDepth), s.bottomDepth,
                                               s.pxPerRadian, s.pxPerMm) != 0;
        if (over != (cursorState_ == kCursorOverShape)) {
            cursorState_ = over ? kCursorOverShape : 0;
            if (over)
                viewport()->setCursor(kShapeCursor);
            else
                viewport()->unsetCursor();
        }
        return;
    }
    if (pointCount_ > 0 && p != rubberEnd_) {
        rubberEnd_ = p;
        showRubberBand();
    }
}

void CUnWrapView::pickCancel()
{
    if (pointCount_ == 0)
        return;
    if (pickMode_ == 2 && polyline_ && polyline_->points().size() >= 2 && data_) {
        const PickScale s = PickScaleOf(state_);
        invalidatePageRect(polyline_->GetBoundRect(s.topDepth, s.pxPerRadian, s.pxPerMm));
    }
    endPick();
}

void CUnWrapView::pickDelete()
{
    if (!data_ || data_->GetSelectedCount() == 0)
        return;
    // The list loses the rows of exactly the attitudes the data set loses.
    if (shapeList_) {
        for (int i = 0; i < data_->GetSelectedCount(); ++i)
            shapeList_->DeleteRowByNumber(data_->GetSelectedShape(i)->GetId());
        shapeList_->Refresh();
    }
    const PickScale s = PickScaleOf(state_);
    // Each shape's label right of the strips goes with it.
    data_->DeleteSelectedShapes(s.topDepth, s.pxPerRadian, s.pxPerMm, [this](const PageRect& r) {
        invalidatePageRect(r);
        invalidatePageRect(ShapeLabelArea(r.normalized(), state_.pageWidth));
    });
}

void CUnWrapView::setShapeList(CShapeGrid* grid)
{
    if (shapeList_)
        disconnect(shapeList_, &CShapeGrid::shapeEdited, this, nullptr);
    shapeList_ = grid;
    if (!grid)
        return;
    // The label right of the strips shows the attitude's texts.
    connect(grid, &CShapeGrid::shapeEdited, this, [this](int index) {
        const CAttitudeShape* shape = data_ ? data_->GetShape(index) : nullptr;
        if (!shape || state_.currentPage < 0)
            return;
        const PickScale s = PickScaleOf(state_);
        const PageRect bound =
            shape->GetBoundRect(s.topDepth, s.pxPerRadian, s.pxPerMm).normalized();
        invalidatePageRect(ShapeLabelArea(bound, state_.pageWidth));
    });
}

void CUnWrapView::rebuildShapeList()
{
    if (shapeList_ && state_.frameMode == 0)
        shapeList_->FillFromData();
}

} // namespace bc
