#pragma once
// The bar under the live video window with its one button "展开拼接": the
// road into live analysis. It opens the live analysis window once when it is
// made and again on the button when none is open, raises the continuous frame
// request while that window is open, and closes the window when the bar goes.
// The station does not know the workspace: the program hands the bar the way
// to open the window.

#include <QPointer>
#include <QWidget>

#include <functional>

class QPushButton;

namespace bc {

// The live analysis window as the bar sees it.
struct LiveUnwrapWindow {
    QWidget* window = nullptr; // null when it could not be made
    // Hands a new unwrap centre (frame pixels) to its raw-frame view.
    std::function<void(int x, int y)> setCentre;
};

class CUnwrapStitchBar : public QWidget {
    Q_OBJECT
  public:
    static constexpr int IDC_UNWRAP_STITCH = 1205;

    // Opens the window owned by `owner` in layout 1 (raw frames above the
    // strips) or 2 (raw frames alone, during playback).
    using OpenWindow = std::function<LiveUnwrapWindow(QWidget* owner, int layout)>;

    // `formMode` is the acquisition form's mode (3 during playback).
    CUnwrapStitchBar(OpenWindow open, std::function<int()> formMode, QWidget* parent = nullptr);
    // Clears the continuous request and closes the window.
    ~CUnwrapStitchBar() override;

    // The button enabled for every lens type but 0, then the window opened.
    void OnInitDialog();
    // Button 1205: opens the window when none is open.
    void OnUnwrapStitch();
    // A centre picked on the video, for the open window's raw-frame view.
    void SetUnwrapCenter(int x, int y);

    QPushButton* button() const { return button_; }
    QWidget* window() const { return window_; }

  private:
    void onWindowGone();

    OpenWindow open_;
    std::function<int()> formMode_;
    QPushButton* button_;
    QPointer<QWidget> window_;
    std::function<void(int, int)> setCentre_;
};

} // namespace bc
