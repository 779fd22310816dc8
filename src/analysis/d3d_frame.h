#pragma once
// The cylinder window "柱面图": a frame holding one cylinder view and the tool
// bar that zooms, turns, auto-turns and exports it. It keeps its own copy of
// what it shows, turns the view every second while an auto button is on,
// keeps the plus and minus keys to itself, and reports its closing.

#include "analysis/workspace_context.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QAction;

namespace bc {

class CD3DView;
class CFlatToolBar;

class CD3DFrame : public QMainWindow {
    Q_OBJECT
public:
    // Tool bar commands.
    enum Command {
        ID_ZOOM_IN = 32781,
        ID_ZOOM_OUT = 32782,
        ID_EXPORT_BMP = 32783,
        ID_RESET = 32812,
        ID_STEP_FORWARD = 32816,
        ID_STEP_BACKWARD = 32817,
        ID_AUTO_FORWARD = 32818,
        ID_AUTO_BACKWARD = 32819,
    };
    static constexpr int kToolBarId = 131;
    static constexpr int kAutoRotateTimerId = 10000;
    static constexpr int kAutoRotateMs = 1000;

    explicit CD3DFrame(const CylinderInput& input, QWidget* parent = nullptr);
    ~CD3DFrame() override;

    // Shows new input in the open window.
    void setInput(const CylinderInput& input);
    const CylinderInput& input() const { return input_; }

    // The view, or null where no OpenGL context can be made (the window then
    // stays blank).
    CD3DView* view() const;
    CFlatToolBar* toolBar() const { return toolBar_; }
    QAction* action(int command) const;
    void OnCommand(int command);

    bool autoForward() const { return autoForward_; }
    bool autoBackward() const { return autoBackward_; }

signals:
    // The window was closed. (Deleted with its owner it says nothing: the
    // owner's pointer to it is a guarded one.)
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addCommand(int command, const QString& tip, const QIcon& picture, bool checkable);
    void updateChecks();
    void autoRotateTick();

    CylinderInput input_;
    QPointer<CD3DView> view_;
    CFlatToolBar* toolBar_ = nullptr;
    QTimer* autoTimer_ = nullptr; // named "timer10000"
    bool autoForward_ = false;
    bool autoBackward_ = false;
    bool closedSent_ = false;
};

} // namespace bc
