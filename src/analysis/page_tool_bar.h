#pragma once
// The analysis frame's page tool bar: page navigation with a page box that
// shows "第%d页/共%d页" and takes a typed page number, and the drawing
// settings of new attitude shapes (line style, line width, colour and the
// shape to draw). The frame fills the bar with its command buttons, leaving a
// place for each control, then calls CreateControls.

#include "ui/flat_tool_bar.h"
#include "ui/gdi_types.h"

#include <QString>

class QAction;
class QLineEdit;

namespace bc {

class CColorPickerCombo;
class CLineStyleComboBox;
class CLineWidthComboBox;
class CShapeTypeComboBox;

// The number at the start of `text`: white space is skipped, then anything up
// to the first sign or digit; one sign may follow, then the digits up to the
// first non-digit. No digits give 0; a value beyond the int range saturates.
int ParseSignedInt(QStringView text);

// The page box's text for the 0-based page `current` of `count`.
QString PageBoxText(int current, int count);
// The 0-based page a typed box text asks for, kept within 0 .. count - 1
// (count > 0).
int PageFromBoxText(QStringView text, int count);

class CPageToolBar : public CFlatToolBar {
    Q_OBJECT
  public:
    // Widths of the controls in pixels.
    static constexpr int kPageBoxWidth = 120;
    static constexpr int kComboWidth = 90;
    static constexpr int kShapeTypeWidth = 120;

    // With `disabled` the page buttons and the controls are disabled once
    // they are made.
    explicit CPageToolBar(bool disabled, QWidget* parent = nullptr);

    // A button of the bar for command `id` (also the place of a control).
    QAction* addCommand(int id, const QIcon& icon = QIcon(), const QString& tip = QString());
    // The bar's action of command `id`, the controls' included; null if none.
    QAction* commandAction(int id) const;

    // Puts the page box and the four combos in the places of their commands
    // (32798, 32801 .. 32804). False when the bar has no place for one.
    bool CreateControls();

    // A new page count; the first page becomes current (the frame is not
    // told).
    void SetPageCount(int count);
    // The page the view shows now, whoever moved it (the frame is not told).
    void ShowViewPage(int page, int count);
    int pageCount() const { return pageCount_; }
    int currentPage() const { return currentPage_; }

    // Navigation: nothing without pages; otherwise the page changes (within
    // the pages) and pageRequested is emitted, even when it stayed.
    void FirstPage();
    void PrevPage();
    void NextPage();
    void LastPage();

    // The page box lost the focus or took Enter: its number (1-based, kept
    // within the pages) becomes the current page.
    void OnPageBoxKillFocus();

    // Line style code, line width and colour of the three combos.
    void GetDrawSettings(int* style, int* width, COLORREF* colour) const;

    QLineEdit* pageBox() const { return pageBox_; }
    CLineStyleComboBox* lineStyleCombo() const { return lineStyle_; }
    CLineWidthComboBox* lineWidthCombo() const { return lineWidth_; }
    CColorPickerCombo* colorCombo() const { return colour_; }
    CShapeTypeComboBox* shapeTypeCombo() const { return shapeType_; }

  signals:
    // The frame is to show this 0-based page.
    void pageRequested(int page);
    // A shape type was chosen in the shape-type box.
    void shapeTypeChosen(int type);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool placeControl(int id, QWidget* control, int width);
    void showPage(int page);
    void updateText();

    int currentPage_ = -1;
    int pageCount_ = 0;
    bool disabled_;
    QLineEdit* pageBox_ = nullptr;
    CLineStyleComboBox* lineStyle_ = nullptr;
    CLineWidthComboBox* lineWidth_ = nullptr;
    CColorPickerCombo* colour_ = nullptr;
    CShapeTypeComboBox* shapeType_ = nullptr;
};

} // namespace bc
