#include "analysis/shape_grid.h"

#include "analysis/excel_export.h"
#include "platform/work_folder.h"
#include "analysis/unwrap_data.h"
#include "platform/gbk_cut.h"

#include <QContextMenuEvent>
#include <QMenu>

#include <cstdlib>

namespace bc {

namespace {

struct Column {
    const char* title;
    int width;
};

const Column kColumns[5] = {
    {"ID", 40}, {"深度(m)", 80}, {"倾向", 50}, {"倾角", 50}, {"产状描述", 120},
};

constexpr int kTitleHeight = 25;
constexpr int kRowHeight = 20;

} // namespace

CShapeGrid::CShapeGrid(QWidget* parent) : CGridCtrl(0, 0, 0, 0, parent)
{
    SetDlgCtrlID(kControlId);
}

void CShapeGrid::Setup()
{
    SetEditable(true);
    // Rows map to attitudes by position: sorting would break that.
    SetHeaderSort(false);
    ChangeRowCount(1);
    ChangeColumnCount(5);
    ChangeFixedRowCount(1);
    ChangeRowHeight(0, kTitleHeight);
    for (int c = 0; c < 5; ++c) {
        GridItem item;
        item.mask = GVIF_TEXT | GVIF_FORMAT;
        item.row = 0;
        item.col = c;
        item.text = QString::fromUtf8(kColumns[c].title);
        item.format = kCellFormat;
        ApplyItemRecord(&item);
        ChangeColumnWidth(c, kColumns[c].width);
    }
}

COLORREF CShapeGrid::rowColour(int row, int col) const
{
    if (col == 0)
        return kBlueGrey;
    return (row - GetFixedRowCount()) % 2 == 0 ? kYellow : kPink;
}

void CShapeGrid::setRowCells(int row, const QString texts[5])
{
    for (int c = 0; c < 5; ++c) {
        GridItem item;
        item.mask = GVIF_TEXT | GVIF_BKCLR | GVIF_FORMAT;
        item.row = row;
        item.col = c;
        item.text = texts[c];
        item.format = kCellFormat;
        item.backColor = rowColour(row, c);
        ApplyItemRecord(&item);
    }
    ChangeRowHeight(row, kRowHeight);
}

void CShapeGrid::FillFromData()
{
    RemoveNonFixedRows();
    CUnWrapData* set = data();
    const int n = set ? set->GetShapeCount() : 0;
    if (n == 0) {
        Refresh();
        return;
    }
    ChangeRowCount(n + GetFixedRowCount());
    for (int i = 0; i < n; ++i) {
        const CAttitudeShape* shape = set->GetShape(i);
        if (!shape)
            break;
        QString texts[5];
        for (int t = 0; t < 5; ++t)
            texts[t] = shape->GetText(ShapeText(t));
        setRowCells(i + GetFixedRowCount(), texts);
    }
    UpdateScrollBars();
}

void CShapeGrid::AppendRow(const QString texts[5])
{
    const int row = AddRowAt(texts[0]);
    if (row < GetFixedRowCount())
        return;
    setRowCells(row, texts);
    RedrawRowNow(row);
}

int CShapeGrid::rowOfNumber(int number) const
{
    for (int r = GetFixedRowCount(); r < GetRowCount(); ++r)
        if (std::atoi(GetItemText(r, 0).toLatin1().constData()) == number)
            return r;
    return -1;
}

void CShapeGrid::DeleteRowByNumber(int number)
{
    if (GetRowCount() < 2)
        return;
    const int row = rowOfNumber(number);
    if (row < 0)
        return;
    const bool last = row == GetRowCount() - 1;
    RemoveRowAt(row);
    if (last)
        return;
    for (int r = GetFixedRowCount(); r < GetRowCount(); ++r)
        for (int c = 0; c < GetColumnCount(); ++c)
            SetItemBackColor(r, c, rowColour(r, c));
    Refresh();
}

void CShapeGrid::SelectRowByNumber(int number)
{
    const int row = rowOfNumber(number);
    if (row >= 0)
        SetSelectedRange(row, 0, row, 4, true, true);
}

void CShapeGrid::OnEditCell(int row, int col, QPoint point, const GridEditStart& start)
{
    if (col == 0 || !data())
        return;
    CGridCtrl::OnEditCell(row, col, point, start);
}

bool CShapeGrid::ValidateEdit(int row, int col, const QString& text)
{
    if (row < GetFixedRowCount() || col < 1 || col > 4)
        return false;
    if (!CGridCtrl::ValidateEdit(row, col, text))
        return false;
    CUnWrapData* set = data();
    CAttitudeShape* shape = set ? set->GetShape(row - GetFixedRowCount()) : nullptr;
    if (!shape)
        return false;
    // The analysis file keeps each text in at most 249 GBK bytes; the cell
    // shows what is kept.
    const QString kept = cutToGbkBytes(text, kShapeTextMaxGbkBytes);
    const bool changed = shape->GetText(ShapeText(col)) != kept;
    if (changed)
        set->SetModified(true);
    shape->SetText(ShapeText(col), kept);
    if (kept != text)
        if (CGridCellBase* cell = GetCell(row, col))
            cell->SetText(kept);
    if (changed)
        emit shapeEdited(row - GetFixedRowCount());
    return true;
}

bool CShapeGrid::PasteTextData(int row, int col, const QString& text, bool selectPasted)
{
    if (col == 0 || !data())
        return false;
    return CGridCtrl::PasteTextData(row, col, text, selectPasted);
}

void CShapeGrid::HandleRButtonUp(Qt::KeyboardModifiers, QPoint point)
{
    if (point == QPoint(-1, -1))
        point = viewport()->rect().topLeft() + QPoint(5, 5);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu->addAction(QStringLiteral("导出到Excel"));
    action->setData(ID_EXPORT_EXCEL);
    connect(action, &QAction::triggered, this, &CShapeGrid::OnExportExcel);
    menu->popup(viewport()->mapToGlobal(point));
}

void CShapeGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard)
        HandleRButtonUp(event->modifiers(), QPoint(-1, -1));
    // A mouse's menu request is answered at the button's release; the bar
    // around the list must not show its own menu for it.
    event->accept();
}

void CShapeGrid::OnExportExcel()
{
    const CUnWrapData* set = data();
    if (set && set->GetShapeCount() >= 1) {
        CExcelExport exporter;
        exporter.Export(set, workspaceTempFolder(), this);
    }
}

} // namespace bc
