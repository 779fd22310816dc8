#pragma once
// What the analysis workspace is given by the station that opens it, and the
// small value types its windows pass to one another.

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace bc {

class CSurveyParams;

struct WorkspaceContext {
    // The station's survey settings; not owned, outlives the workspace.
    CSurveyParams* settings = nullptr;
    // The acquisition form's mode at the moment of asking: 0 idle, 1 live,
    // 2 recording, 3 playback, 4 paused. Empty means idle.
    std::function<int()> formMode;
    // The ".sfa" file and image folder the form chose for the running
    // recording (live and recording modes).
    QString recordingSfaPath;
    QString recordingFolder;
    // The ".sfa" file of the recording running at the moment of asking, empty
    // when none runs: the live window alone writes it and its strips, so the
    // stitch window does not open them. Empty means none.
    std::function<QString()> runningRecordingSfa;

    int currentFormMode() const { return formMode ? formMode() : 0; }
    QString currentRecordingSfa() const
    {
        return runningRecordingSfa ? runningRecordingSfa() : QString();
    }
};

// The drawing attributes of a new attitude shape, as the page tool bar
// offers them: pen style code, pen width and colour (0x00BBGGRR).
struct ShapeDrawAttributes {
    int penStyle = 0;
    int penWidth = 1;
    uint32_t penColor = 0x000000FF;
};

// What the cylinder window shows: the page texture (a 24-bit BMP), the
// cylinder's radius and height, and the depth marks in metres.
struct CylinderInput {
    QString texturePath;
    float radius = 0.0f;
    float height = 0.0f;
    std::vector<float> labels;
    // The strips on the page, one depth mark each (the labels are every fifth
    // mark's depth); 0 counts five marks a label.
    int markCount = 0;
    // The texture file as read right after it was written (another copy of
    // the program may write it again at any time); when null, the view
    // reads texturePath.
    QImage texture;
};

} // namespace bc
