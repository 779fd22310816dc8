#include "app/workspace_wiring.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/filter_graph.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/video_wnd.h"
#include "analysis/unwrap_frame.h"
#include "analysis/workspace_context.h"

#include <QPointer>
#include <QVBoxLayout>

namespace bc {

WorkspaceContext workspaceContextOf(CAcquisitionDlg& form)
{
    WorkspaceContext ctx;
    ctx.settings = &form.GetSurveyParams();
    QPointer<CAcquisitionDlg> guard(&form);
    ctx.formMode = [guard] { return guard ? guard->GetUiMode() : 0; };
    ctx.recordingSfaPath = form.GetAnalysisFilePath();
    ctx.recordingFolder = form.GetAnalysisFolder();
    ctx.runningRecordingSfa = [guard] {
        return guard && guard->GetUiMode() == ModeRecording ? guard->GetAnalysisFilePath()
                                                            : QString();
    };
    return ctx;
}

void installWorkspace(AcquisitionHooks& hooks)
{
    hooks.createStitchWindow = [](QWidget* owner) -> QWidget* {
        auto* form = qobject_cast<CAcquisitionDlg*>(owner);
        if (!form)
            return nullptr;
        CUnWrapFrame* frame = OpenStitchFrame(form, workspaceContextOf(*form));
        if (frame)
            QObject::connect(frame, &CUnWrapFrame::closed, form,
                             &CAcquisitionDlg::OnStitchWindowClosed);
        return frame;
    };
}

void attachUnwrapStitchBar(CVideoWnd& window)
{
    auto open = [](QWidget* owner, int layout) -> LiveUnwrapWindow {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        if (!form)
            return {};
        CUnWrapFrame* frame = OpenLiveFrame(owner, layout, workspaceContextOf(*form));
        if (!frame)
            return {};
        return {frame, [frame](int x, int y) { frame->SetOpenViewParams(x, y); }};
    };
    auto formMode = [] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        return form ? form->GetUiMode() : 0;
    };
    QWidget* place = window.bar();
    auto* bar = new CUnwrapStitchBar(open, formMode, place);
    QLayout* layout = place->layout();
    if (!layout) {
        layout = new QVBoxLayout(place);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(bar);
    QObject::connect(&window, &CVideoWnd::centrePicked, bar, &CUnwrapStitchBar::SetUnwrapCenter);
    bar->OnInitDialog();
}

void installUnwrapStitchBar()
{
    setVideoWindowHook(attachUnwrapStitchBar);
}

void clearUnwrapStitchBar()
{
    setVideoWindowHook(nullptr);
}

} // namespace bc
