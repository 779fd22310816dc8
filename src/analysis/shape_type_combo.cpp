#include "analysis/shape_type_combo.h"

#include "ui/gdi_types.h"

#include <QFont>
#include <QPainter>
#include <QPalette>

namespace bc {

namespace {

struct ShapeTypeEntry {
    const char16_t* text;
    int value;
};

constexpr ShapeTypeEntry kEntries[] = {
    {u"选择绘制对象", 0},
    {u"直线", 1},
    {u"连续直线", 2},
};

} // namespace

CShapeTypeComboBox::CShapeTypeComboBox(QWidget* parent) : CFlatComboBox(parent)
{
    SetOwnerDraw();
    for (const ShapeTypeEntry& entry : kEntries)
        addItem(QString::fromUtf16(entry.text), entry.value);
    setCurrentIndex(0);
}

int CShapeTypeComboBox::GetShapeType() const
{
    const int index = currentIndex();
    return index < 0 ? 0 : itemData(index).toInt();
}

void CShapeTypeComboBox::DrawItem(QPainter& p, const QRect& rect, int index, bool selected) const
{
    p.fillRect(rect, Qt::white);
    if (index >= 0) {
        QFont font(QStringLiteral("Times New Roman"));
        font.setPixelSize(16);
        font.setWeight(QFont::Normal);
        p.setFont(font);
        p.setPen(isEnabled() ? QColor(Qt::black)
                             : palette().color(QPalette::Disabled, QPalette::Text));
        p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, itemText(index));
    }
    const QColor frame = selected ? toQColor(RGB(0, 100, 200)) : QColor(Qt::white);
    draw3dRect(p, rect, frame, frame);
}

int CShapeTypeComboBox::MeasureItem(int) const
{
    return 20;
}

} // namespace bc
