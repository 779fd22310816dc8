#pragma once
// The roads from the station into the analysis workspace, which the station
// itself does not know: the form's stitch-window button and the "展开拼接" bar
// under every video window open the analysis frame through what is set here.

namespace bc {

class CAcquisitionDlg;
class CVideoWnd;
struct AcquisitionHooks;
struct WorkspaceContext;

// What the workspace is given by the form: its survey settings, its mode and
// the files of the running recording.
WorkspaceContext workspaceContextOf(CAcquisitionDlg& form);

// The form's stitch-window hook: the stand-alone frame, whose closing the
// form hears.
void installWorkspace(AcquisitionHooks& hooks);

// Puts the unwrap-and-stitch bar into `window`, which opens the live frame at
// once, and hands the window's centre picks to it.
void attachUnwrapStitchBar(CVideoWnd& window);

// Every video window a graph opens gets the bar (until cleared).
void installUnwrapStitchBar();
void clearUnwrapStitchBar();

} // namespace bc
