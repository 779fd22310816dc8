#pragma once
// Ready-made cells a grid can install per cell (CGridCtrl::ChangeCellClass):
// check box, drop-down list, check-list drop-down, date-time, four numeric
// cells and a URL cell, with their in-place editors.

#include "grid/grid_cell.h"
#include "grid/grid_in_place_edit.h"
#include "ui/check_combo_box.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QStringList>

#include <functional>

namespace bc {

// ------------------------------------------------------------------ check box

class CGridCellCheck : public CGridCell {
public:
    const char* GetRuntimeClassName() const override { return "CGridCellCheck"; }
    bool SetCheck(bool check);
    bool GetCheck() const { return m_check; }

    bool Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd = true) override;
    bool GetTextRect(GridRect* rect) override;
    QSize GetCellExtent(QPainter* dc) override;
    void OnClick(QPoint point) override;
    // A typed blank toggles the check; other starts edit the text.
    bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
              const GridEditStart& start) override;

    // The box, in the grid's client coordinates, as last drawn.
    GridRect boxRect() const;
    static int boxSide();

private:
    bool m_check = false;
    GridRect m_rect;
};

// ------------------------------------------------------------------ drop-downs

enum : std::uint32_t { CBS_DROPDOWN = 2, CBS_DROPDOWNLIST = 3 };

// The background of a highlighted list item: the back colour darkened by
// 0x14 in each channel separately (never borrowing between channels).
COLORREF listHighlightColour(COLORREF back);

class CGridInPlaceList : public QComboBox, public GridEditor {
    Q_OBJECT
public:
    CGridInPlaceList(CGridCtrl* grid, const GridRect& rect, std::uint32_t style, int row, int col,
                     COLORREF textColour, COLORREF backColour, const QStringList& options,
                     const QString& initialText, const GridEditStart& start);
    void EndEdit() override;
    COLORREF backColour() const { return m_back; }

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QString m_initialText;
    bool m_exitOnArrows = false;
    COLORREF m_text;
    COLORREF m_back;
};

class CGridCheckComboList : public CCheckComboBox, public GridEditor {
    Q_OBJECT
public:
    CGridCheckComboList(CGridCtrl* grid, const GridRect& rect, std::uint32_t style, int row, int col,
                        COLORREF textColour, COLORREF backColour, const QStringList& options,
                        const QString& initialText, const GridEditStart& start);
    void EndEdit() override;
    // Width of the dropped list: the widest item plus room, at most 200 pixels.
    int droppedWidth() const;
    void showPopup() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QString m_initialText;
    bool m_exitOnArrows = false;
    bool m_restoreInitial = false;
};

class CGridCellCombo : public CGridCell {
public:
    const char* GetRuntimeClassName() const override { return "CGridCellCombo"; }
    void SetOptions(const QStringList& options) { m_options = options; }
    QStringList GetOptions() const { return m_options; }
    void SetStyle(std::uint32_t style) { m_style = style; }
    std::uint32_t GetStyle() const { return m_style; }

    QWidget* GetEditWnd() const override { return nullptr; }
    bool Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd = true) override;
    QSize GetCellExtent(QPainter* dc) override;
    bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
              const GridEditStart& start) override;
    void EndEdit() override;
    QWidget* editor() const { return m_editor; }

protected:
    virtual QWidget* createEditor(const GridRect& rect, int row, int col, const GridEditStart& start);
    virtual bool drawsDropButton() const { return false; }

    QStringList m_options;
    std::uint32_t m_style = CBS_DROPDOWN;
    QPointer<QWidget> m_editor;
};

class CGridCellCheckCombo : public CGridCellCombo {
public:
    const char* GetRuntimeClassName() const override { return "CGridCellCheckCombo"; }

protected:
    QWidget* createEditor(const GridRect& rect, int row, int col, const GridEditStart& start) override;
    bool drawsDropButton() const override { return true; }
};

// ------------------------------------------------------------------ date-time

enum : std::uint32_t { DTS_SHORTDATEFORMAT = 0, DTS_UPDOWN = 1, DTS_TIMEFORMAT = 9 };

class CGridInPlaceDateTime : public QDateTimeEdit, public GridEditor {
    Q_OBJECT
public:
    CGridInPlaceDateTime(CGridCtrl* grid, const GridRect& rect, std::uint32_t style, int row, int col,
                         const QDateTime& time, const GridEditStart& start);
    void EndEdit() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

class CGridCellDateTime : public CGridCell {
public:
    CGridCellDateTime();
    explicit CGridCellDateTime(std::uint32_t style);
    const char* GetRuntimeClassName() const override { return "CGridCellDateTime"; }
    void Init(std::uint32_t style);
    void SetTime(const QDateTime& time);
    QDateTime GetTime() const { return m_time; }
    std::uint32_t GetStyle() const { return m_style; }

    QWidget* GetEditWnd() const override { return m_editor; }
    bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
              const GridEditStart& start) override;
    void EndEdit() override;
    // Called by the editor with the time it ends on.
    void takeTime(const QDateTime& time) { m_time = time; }

private:
    QDateTime m_time;
    std::uint32_t m_style = DTS_SHORTDATEFORMAT;
    QPointer<QWidget> m_editor;
};

// ------------------------------------------------------------------ numeric

class CGridCellNumericBase : public CGridCell {
public:
    bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
              const GridEditStart& start) override;
    void EndEdit() override;

protected:
    CGridCellNumericBase(int mode, bool digitsOnly) : m_mode(mode), m_digitsOnly(digitsOnly) {}

private:
    int m_mode;
    bool m_digitsOnly;
};

// Integers: digits and one sign.
class CGridCellNumeric : public CGridCellNumericBase {
public:
    CGridCellNumeric() : CGridCellNumericBase(EDIT_INTEGER, false) {}
    const char* GetRuntimeClassName() const override { return "CGridCellNumeric"; }
};

// Decimals: digits, one sign and one point.
class CGridCellFloat : public CGridCellNumericBase {
public:
    CGridCellFloat() : CGridCellNumericBase(EDIT_DECIMAL, false) {}
    const char* GetRuntimeClassName() const override { return "CGridCellFloat"; }
};

// Whole numbers 0..255: digits only.
class CGridCellUChar : public CGridCellNumericBase {
public:
    CGridCellUChar() : CGridCellNumericBase(EDIT_BYTE, true) {}
    const char* GetRuntimeClassName() const override { return "CGridCellUChar"; }
};

// Tenths 0.0..25.5: digits and one point.
class CGridCellDm : public CGridCellNumericBase {
public:
    CGridCellDm() : CGridCellNumericBase(EDIT_TENTHS, false) {}
    const char* GetRuntimeClassName() const override { return "CGridCellDm"; }
};

// ------------------------------------------------------------------ URL

class CGridURLCell : public CGridCell {
public:
    CGridURLCell();
    const char* GetRuntimeClassName() const override { return "CGridURLCell"; }
    void SetAutoLaunchUrl(bool on) { m_autoLaunch = on; }
    void SetLinkColour(COLORREF c) { m_linkColour = c; }

    bool Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd = true) override;
    bool Edit(int, int, const GridRect&, QPoint, unsigned, const GridEditStart&) override { return false; }
    void OnClick(QPoint point) override;
    bool OnSetCursor() override;

    static bool HasUrl(const QString& text);
    // The URL word under a point relative to the cell; empty when none.
    QString UrlUnderPoint(QPoint point) const;
    // Opens a URL; replaceable (tests record instead of launching).
    static void setLauncher(std::function<void(const QString&)> launcher);

private:
    COLORREF m_linkColour;
    bool m_autoLaunch = true;
    GridRect m_rect;
};

} // namespace bc
