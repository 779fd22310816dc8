// The two ways the station opens the analysis frame.
#include "analysis/unwrap_frame.h"

#include "analysis/strip_sink.h"
#include "analysis/unwrap_view.h"

#include <memory>

namespace bc {

CUnWrapFrame* OpenStitchFrame(QWidget* owner, const WorkspaceContext& ctx)
{
    auto frame = std::make_unique<CUnWrapFrame>(CUnWrapFrame::StandAlone, owner, ctx);
    return frame->Create() ? frame.release() : nullptr;
}

CUnWrapFrame* OpenLiveFrame(QWidget* owner, int layout, const WorkspaceContext& ctx)
{
    if (layout != CUnWrapFrame::Live && layout != CUnWrapFrame::LivePlayback)
        return nullptr;
    auto frame = std::make_unique<CUnWrapFrame>(layout, owner, ctx);
    if (!frame->Create())
        return nullptr;
    // The registration lapses with the view, and the frame withdraws it when
    // it closes; in playback there is no strip view and so no receiver.
    CUnWrapView* view = frame->GetUnWrapView();
    registerStripSink(view, view);
    return frame.release();
}

} // namespace bc
