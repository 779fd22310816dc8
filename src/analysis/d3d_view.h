#pragma once
// The cylinder window's view: draws the scene (the page texture round a
// cylinder, the depth labels beside it, the compass letters at its foot) with
// OpenGL, and turns the tool bar's commands, the mouse and the auto-rotation
// into scene changes. Each view keeps its own scene and GL objects.

#include "analysis/d3d_scene.h"
#include "analysis/workspace_context.h"

#include <QCursor>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <memory>
#include <vector>

class QOpenGLShaderProgram;

namespace bc {

class CD3DView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit CD3DView(QWidget* parent = nullptr);
    ~CD3DView() override;

    // Whether an OpenGL context can be made on this display. A view must not
    // be shown where it cannot.
    static bool glAvailable();

    // The texture (or its file), radius, height and depth labels to show; the view
    // keeps copies. Replaces what was shown before.
    void setInput(const CylinderInput& input);

    // Tool bar commands: view commands 0 to 4 (zoom in, zoom out, reset, step
    // or auto-turn forward and backward), and the export to a BMP file.
    void DoViewCommand(int command);
    void setStep(int degrees) { scene_.setStep(degrees); }
    void OnExportBmp();
    // One tick of the frame's auto-rotation.
    void autoRotate(bool forward, bool backward);

    const CD3DScene& scene() const { return scene_; }

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct TextQuad {
        unsigned texture = 0;
        QRectF rect; // in em units, y up
    };

    void buildPrograms();
    void rebuildSceneObjects();
    void releaseSceneObjects();
    unsigned uploadImage(const QImage& image, bool repeat);
    TextQuad makeText(const QString& text);
    void drawText(const TextQuad& quad, const QMatrix4x4& world, const QMatrix4x4& viewProj);
    void followCursor();

    CD3DScene scene_;
    QImage textureImage_;
    bool sceneDirty_ = true;
    bool ready_ = false;

    std::unique_ptr<QOpenGLShaderProgram> textureProgram_;
    std::unique_ptr<QOpenGLShaderProgram> textProgram_;
    unsigned cylinderBuffer_ = 0;
    unsigned quadBuffer_ = 0;
    unsigned texture_ = 0;
    std::vector<TextQuad> labelQuads_;
    std::vector<TextQuad> letterQuads_;

    QCursor zoomInCursor_;
    QCursor zoomOutCursor_;
};

} // namespace bc
