#pragma once
// The cells of the grid: the abstract base with state and merge fields, the
// plain text cell, and the default cells whose values a cell falls back to.

#include "grid/grid_types.h"

#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>

class QPainter;
class QWidget;

namespace bc {

class CGridCtrl;
class CGridDefaultCell;

// How an edit is started: by a key (VK_LBUTTON for a mouse click, VK_F2 ...)
// or by typed text. The two never share one number.
struct GridEditStart {
    int key = 0;
    QString typed;
};

enum : int {
    VK_LBUTTON = 0x01,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
    VK_F2 = 0x71,
};

class CGridCellBase {
public:
    CGridCellBase() = default;
    CGridCellBase(const CGridCellBase&) = delete;
    virtual ~CGridCellBase();

    virtual const char* GetRuntimeClassName() const { return "CGridCellBase"; }

    virtual void SetText(const QString& text) = 0;
    virtual void SetImage(int image) = 0;
    virtual void SetData(LPARAM data) = 0;
    virtual void SetState(std::uint32_t state) { m_state = state; }
    virtual void SetFormat(std::uint32_t format) = 0;
    virtual void SetTextColor(COLORREF c) = 0;
    virtual void SetBackColor(COLORREF c) = 0;
    virtual void SetFont(const QFont* font) = 0;
    virtual void SetMargin(std::uint32_t margin) = 0;
    virtual void SetGrid(CGridCtrl* grid) = 0;
    virtual void SetCoords(int row, int col) = 0;

    virtual QString GetText() const = 0;
    virtual QString GetTipText() const { return GetText(); }
    virtual int GetImage() const = 0;
    virtual LPARAM GetData() const = 0;
    virtual std::uint32_t GetState() const { return m_state; }
    virtual std::uint32_t GetFormat() const = 0;
    virtual COLORREF GetTextColor() const = 0;
    virtual COLORREF GetBackColor() const = 0;
    virtual const QFont* GetFont() const = 0;
    // The font to draw with; the default font when the cell has none.
    virtual QFont GetFontObject() const = 0;
    virtual CGridCtrl* GetGrid() const = 0;
    virtual QWidget* GetEditWnd() const = 0;
    virtual std::uint32_t GetMargin() const = 0;
    virtual const CGridDefaultCell* GetDefaultCell() const;
    virtual bool IsDefaultFont() const = 0;
    virtual bool IsEditing() const = 0;

    bool IsFocused() const { return GetState() & GVIS_FOCUSED; }
    bool IsFixed() const { return GetState() & GVIS_FIXED; }
    bool IsFixedCol() const { return GetState() & GVIS_FIXEDCOL; }
    bool IsFixedRow() const { return GetState() & GVIS_FIXEDROW; }
    bool IsSelected() const { return GetState() & GVIS_SELECTED; }
    bool IsReadOnly() const { return GetState() & GVIS_READONLY; }
    bool IsModified() const { return GetState() & GVIS_MODIFIED; }
    bool IsDropHighlighted() const { return GetState() & GVIS_DROPHILITED; }

    // Copies every attribute of another cell through the virtual operations.
    virtual void assign(const CGridCellBase& other);
    virtual void Reset();

    virtual bool Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd = true);
    virtual bool GetTextRect(GridRect* rect);
    virtual bool GetTipTextRect(GridRect* rect) { return GetTextRect(rect); }
    virtual QSize GetTextExtent(const QString& text, QPainter* dc = nullptr);
    virtual QSize GetCellExtent(QPainter* dc);

    virtual bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
                      const GridEditStart& start);
    virtual bool ValidateEdit(const QString& text);
    virtual void EndEdit() {}
    virtual bool PrintCell(QPainter* dc, int row, int col, GridRect rect);
    virtual void OnEndEdit() {}

    virtual void OnMouseEnter() {}
    virtual void OnMouseOver() {}
    virtual void OnMouseLeave() {}
    virtual void OnClick(QPoint) {}
    virtual void OnClickDown(QPoint) {}
    virtual void OnRClick(QPoint) {}
    virtual void OnDblClick(QPoint) {}
    virtual bool OnSetCursor();

    virtual bool IsShown() const { return !m_hidden; }
    virtual CGridCellRange GetMergeRange() const { return m_mergeRange; }
    virtual bool IsCoveredByMerge() const { return m_covered; }
    virtual CGridCellId GetMergeOwner() const { return m_mergeOwner; }
    virtual void SetMergeOwner(int row, int col)
    {
        m_mergeOwner = CGridCellId(row, col);
        m_covered = row != -1;
    }

    void SetMergeRange(const CGridCellRange& range) { m_mergeRange = range; }
    bool IsMerged() const { return m_mergeRange.IsValid() && m_mergeRange.Count() > 1; }
    void Show(bool show) { m_hidden = !show; }
    void ClearMerge();
    long SendMessageToParent(int row, int col, int code);

protected:
    // -1: a covered cell, nothing to draw; 0: cannot draw; 1: draw.
    int readyToDraw(const QPainter* dc, const GridRect& rect) const;
    // The default cell's values resolved for drawing.
    COLORREF resolvedTextColor() const;
    COLORREF resolvedBackColor() const;

    std::uint32_t m_state = 0;
    CGridCellRange m_mergeRange;
    bool m_covered = false;
    CGridCellId m_mergeOwner;
    bool m_hidden = false;
};

class CGridCell : public CGridCellBase {
public:
    CGridCell() = default;
    ~CGridCell() override;
    const char* GetRuntimeClassName() const override { return "CGridCell"; }

    void SetText(const QString& text) override { m_text = text; }
    void SetImage(int image) override { m_image = image; }
    void SetData(LPARAM data) override { m_data = data; }
    void SetFormat(std::uint32_t format) override { m_format = format; }
    void SetTextColor(COLORREF c) override { m_textColor = c; }
    void SetBackColor(COLORREF c) override { m_backColor = c; }
    void SetFont(const QFont* font) override;
    void SetMargin(std::uint32_t margin) override { m_margin = margin; }
    void SetGrid(CGridCtrl* grid) override { m_grid = grid; }
    void SetCoords(int, int) override {}

    QString GetText() const override { return m_text; }
    int GetImage() const override { return m_image; }
    LPARAM GetData() const override { return m_data; }
    std::uint32_t GetFormat() const override;
    COLORREF GetTextColor() const override { return m_textColor; }
    COLORREF GetBackColor() const override { return m_backColor; }
    const QFont* GetFont() const override;
    QFont GetFontObject() const override;
    CGridCtrl* GetGrid() const override { return m_grid; }
    QWidget* GetEditWnd() const override { return m_editWnd; }
    std::uint32_t GetMargin() const override;
    bool IsDefaultFont() const override { return !m_font; }
    bool IsEditing() const override { return m_editing; }

    void Reset() override;
    bool Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
              const GridEditStart& start) override;
    void EndEdit() override;
    void OnEndEdit() override;

    // Used by the in-place editor protocol.
    void setEditing(bool editing, QWidget* editor)
    {
        m_editing = editing;
        m_editWnd = editor;
    }

protected:
    QString m_text;
    LPARAM m_data = 0;
    int m_image = -1;
    std::uint32_t m_format = 0xFFFFFFFFu;
    COLORREF m_textColor = CLR_DEFAULT;
    COLORREF m_backColor = CLR_DEFAULT;
    std::unique_ptr<QFont> m_font;
    std::uint32_t m_margin = 0xFFFFFFFFu;
    bool m_editing = false;
    CGridCtrl* m_grid = nullptr;
    QWidget* m_editWnd = nullptr;
};

class CGridDefaultCell : public CGridCell {
public:
    CGridDefaultCell();
    const char* GetRuntimeClassName() const override { return "CGridDefaultCell"; }

    std::uint32_t GetStyle() const { return m_style; }
    void SetStyle(std::uint32_t style) { m_style = style; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    void SetWidth(int w) { m_width = w; }
    void SetHeight(int h) { m_height = h; }

    void SetData(LPARAM) override {}
    void SetState(std::uint32_t) override {}
    void SetCoords(int, int) override {}
    std::uint32_t GetState() const override { return m_state | GVIS_READONLY; }
    // Takes the font and measures margin, width and height with it.
    void SetFont(const QFont* font) override;
    const QFont* GetFont() const override { return &m_fontObject; }
    QFont GetFontObject() const override { return m_fontObject; }
    std::uint32_t GetFormat() const override { return m_format; }
    std::uint32_t GetMargin() const override { return m_margin; }

private:
    int m_width = 30;
    int m_height = 20;
    QFont m_fontObject;
    std::uint32_t m_style = 0;
};

} // namespace bc
