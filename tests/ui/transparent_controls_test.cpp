#include "ui/transparent_controls.h"

#include "fixed_look.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::countColour;

// A parent painted red, so what a child leaves unpainted shows it.
struct RedParent : QWidget {
    RedParent()
    {
        resize(300, 120);
        test::paintBackground(*this, Qt::red);
        QFont f = font();
        f.setPointSize(14);
        setFont(f);
    }
    // Red pixels in the child's place, and all its pixels.
    std::pair<int, int> redOf(QWidget* child)
    {
        const QImage img = grab(child->geometry()).toImage();
        return {countColour(img, Qt::red), img.width() * img.height()};
    }
};

TEST(TransparentControls, LabelAndEditPaintOnlyTheirTextOverTheParent)
{
    RedParent parent;
    auto* label = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    label->setGeometry(10, 10, 120, 30);
    auto* edit = new CTransparentEdit(&parent);
    edit->setGeometry(10, 50, 200, 30);
    edit->setText(QStringLiteral("/data/a.mpg"));
    parent.show();
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(edit)}) {
        const auto [red, all] = parent.redOf(w);
        EXPECT_GT(red, all / 2); // background shows through
        EXPECT_LT(red, all);     // and the text is drawn
    }
    label->SetText(QString());
    edit->clear();
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(edit)}) {
        const auto [red, all] = parent.redOf(w);
        EXPECT_EQ(red, all);
    }

    // The label's text is drawn in the parent's font, whatever font it holds.
    label->SetText(QStringLiteral("深度:"));
    auto* small = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    small->setGeometry(10, 50, 120, 30);
    QFont tiny = parent.font();
    tiny.setPointSize(6);
    small->setFont(tiny);
    edit->hide();
    small->show();
    EXPECT_EQ(small->sizeHint(), label->sizeHint());
    EXPECT_EQ(parent.grab(small->geometry()).toImage(), parent.grab(label->geometry()).toImage());
}

TEST(TransparentControls, SliderShowsTheParentsBackgroundAroundItsChannel)
{
    RedParent parent;
    auto* slider = new CCustomSliderCtrl(&parent);
    slider->setGeometry(10, 10, 250, 40);
    slider->setRange(1, 100);
    slider->setValue(50);
    parent.show();
    const QImage img = parent.grab(slider->geometry()).toImage();
    EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(Qt::red));
    EXPECT_EQ(QColor(img.pixel(img.width() - 1, 0)), QColor(Qt::red));
    EXPECT_LT(countColour(img, Qt::red), img.width() * img.height()); // groove drawn
}

} // namespace
} // namespace bc
