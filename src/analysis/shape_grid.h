#pragma once
// The attitude list: one row per attitude of the data set with its number,
// depth range, dip direction, dip angle and description. Rows follow the
// attitudes by position, and column 0 holds the attitude's number, by which
// the strip view selects and removes rows. Columns 1 to 4 can be edited; an
// edit is written back into the attitude's text of that column.

#include "grid/grid_ctrl.h"

#include <functional>

class QMenu;

namespace bc {

class CUnWrapData;

// Bytes of GBK an attitude text may take in the analysis file.
constexpr int kShapeTextMaxGbkBytes = 249;

class CShapeGrid : public CGridCtrl {
    Q_OBJECT
  public:
    static constexpr COLORREF kYellow = RGB(255, 255, 224);
    static constexpr COLORREF kPink = RGB(238, 207, 223);
    static constexpr COLORREF kBlueGrey = RGB(201, 221, 226);
    static constexpr COLORREF kGrey = RGB(160, 160, 160);
    static constexpr int kControlId = 149;
    static constexpr int ID_EXPORT_EXCEL = 32808;
    static constexpr std::uint32_t kCellFormat =
        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;

    explicit CShapeGrid(QWidget* parent = nullptr);

    // Where the list finds the data set whose attitudes it shows.
    void setDataSource(std::function<CUnWrapData*()> source) { dataSource_ = std::move(source); }
    CUnWrapData* data() const { return dataSource_ ? dataSource_() : nullptr; }

    // Editable, one title row and five columns with their titles and widths.
    void Setup();
    // One row per attitude of the data set.
    void FillFromData();
    // A row at the end with the five texts of an attitude.
    void AppendRow(const QString texts[5]);
    // Removes the first row whose number is `number`; the rows below it take
    // the colours of their new places.
    void DeleteRowByNumber(int number);
    void SelectRowByNumber(int number);

    // Editing starts only in columns 1 to 4 and only with a data set.
    void OnEditCell(int row, int col, QPoint point, const GridEditStart& start) override;
    // Every text change, typed, pasted, cut or dropped, passes here: column 0
    // and rows without an attitude refuse it, otherwise it is written back.
    bool ValidateEdit(int row, int col, const QString& text) override;
    // A paste or drop aimed at column 0 is refused as a whole.
    bool PasteTextData(int row, int col, const QString& text, bool selectPasted = true) override;
    // The context menu with its one entry "导出到Excel".
    void HandleRButtonUp(Qt::KeyboardModifiers mods, QPoint point) override;

    // Command 32808: exports the attitudes when there are any.
    void OnExportExcel();

  signals:
    // The texts of attitude `index` of the data set were edited here.
    void shapeEdited(int index);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    COLORREF rowColour(int row, int col) const;
    void setRowCells(int row, const QString texts[5]);
    int rowOfNumber(int number) const;

    std::function<CUnWrapData*()> dataSource_;
};

} // namespace bc
