// Stitch settings and auto-align of the strip view.
#include "analysis/unwrap_view.h"

#include "analysis/progress_dlg.h"
#include "analysis/stitch_settings_dlg.h"
#include "analysis/unwrap_data.h"
#include "core/survey_params.h"

#include <QApplication>

namespace bc {

namespace {

// Both template buffers sized for t x t pixels of three bytes.
void allocateStitchBuffers(StitchWorkArea& work, int t)
{
    const size_t bytes = size_t(t) * size_t(t) * 3;
    work.template1.assign(bytes, 0);
    work.template2.assign(bytes, 0);
}

} // namespace

void CUnWrapView::OnStitchSettings()
{
    CSurveyParams* s = settings();
    CStitchSettingsDlg dlg(state_.perPage, s ? int(s->templateSizeIndex) : 1,
                           s ? s->searchRangeIndex : 1, s ? s->aspectAutoFit : 1, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // A list left without a selection keeps the value it had.
    if (s) {
        if (dlg.templateIndex() >= 0)
            s->templateSizeIndex = unsigned(dlg.templateIndex());
        if (dlg.rangeIndex() >= 0)
            s->searchRangeIndex = dlg.rangeIndex();
        s->aspectAutoFit = dlg.aspectFlag();
        // Kept at once, like the others: the program may save its settings
        // before this window is gone.
        s->itemsPerPage = dlg.perPage();
        templateSize_ = templateSizeFromIndex(s->templateSizeIndex);
        searchRange_ = searchRangeFromIndex(s->searchRangeIndex);
    } else {
        if (dlg.templateIndex() >= 0)
            templateSize_ = templateSizeFromIndex(dlg.templateIndex());
        if (dlg.rangeIndex() >= 0)
            searchRange_ = searchRangeFromIndex(dlg.rangeIndex());
    }
    allocateStitchBuffers(stitchWork_, templateSize_);
    aspectAdaptive_ = dlg.aspectFlag() != 0;

    // The live layout keeps its pages (later strips follow the new count)
    // and their live geometry.
    const bool perPageChanged = dlg.perPage() != state_.perPage;
    state_.perPage = dlg.perPage();
    if (state_.frameMode != 0 || !data_)
        return;
    if (perPageChanged) {
        ResetPaging();
    } else {
        // The page shown takes the new aspect at once.
        RecalcPageGeometry();
        viewport()->update();
    }
}

void CUnWrapView::OnAutoAlign()
{
    if (!data_ || state_.currentPage < 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int page = state_.currentPage;
    const int strips = int(data_->PageStrips(page, state_.perPage).size());
    {
        CProgressDlg progress(this);
        progress.SetRange(0, strips);
        progress.show();
        StitchWorkArea work;
        allocateStitchBuffers(work, templateSize_);
        data_->AutoAlign(page, state_.perPage, work, templateSize_, searchRange_,
                         [&progress](int, int) { progress.Advance(1); });
    }
    QApplication::restoreOverrideCursor();
    RecalcPageGeometry();
    viewport()->update();
}

} // namespace bc
