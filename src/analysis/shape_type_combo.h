#pragma once
// The page tool bar's choice of what the mouse draws on the strip view:
// nothing (selecting), a straight line or a polyline.

#include "ui/flat_combo_box.h"

namespace bc {

class CShapeTypeComboBox : public CFlatComboBox {
    Q_OBJECT
  public:
    explicit CShapeTypeComboBox(QWidget* parent = nullptr);

    // 0 select, 1 line, 2 polyline; 0 when nothing is selected.
    int GetShapeType() const;

    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const override;
    int MeasureItem(int index) const override;
};

} // namespace bc
