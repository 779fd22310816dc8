#include "ui/transparent_controls.h"

#include "fixed_look.h"

namespace bc {
namespace {

// Red pixels in the child's place on a red parent, and all its pixels.
std::pair<int, int> redOf(QWidget* child)
{
    const QImage img = child->parentWidget()->grab(child->geometry()).toImage();
    return {test::countColour(img, Qt::red), img.width() * img.height()};
}

TEST(TransparentControls, LabelEditAndSliderPaintOnlyTheirOwnPartsOverTheParent)
{
    QWidget parent;
    parent.resize(300, 160);
    test::paintBackground(parent, Qt::red);
    QFont font = parent.font();
    font.setPointSize(14);
    parent.setFont(font);
    auto* label = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    label->setGeometry(10, 10, 120, 30);
    auto* edit = new CTransparentEdit(&parent);
    edit->setGeometry(10, 50, 200, 30);
    edit->setText(QStringLiteral("/data/a.mpg"));
    auto* slider = new CCustomSliderCtrl(&parent);
    slider->setGeometry(10, 100, 250, 40);
    parent.show();
    // The background shows through, and the text or the groove is drawn.
    for (QWidget* w : std::initializer_list<QWidget*>{label, edit, slider}) {
        const auto [red, all] = redOf(w);
        EXPECT_TRUE(red > all / 2 && red < all) << red << " of " << all;
    }
    label->SetText(QString());
    edit->clear();
    EXPECT_EQ(redOf(label).first, redOf(label).second);
    EXPECT_EQ(redOf(edit).first, redOf(edit).second);

    // The label's text is drawn in the parent's font, whatever font it holds.
    label->SetText(QStringLiteral("深度:"));
    edit->hide();
    auto* small = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    small->setGeometry(10, 50, 120, 30);
    font.setPointSize(6);
    small->setFont(font);
    small->show();
    EXPECT_EQ(small->sizeHint(), label->sizeHint());
    EXPECT_EQ(parent.grab(small->geometry()).toImage(), parent.grab(label->geometry()).toImage());
}

} // namespace
} // namespace bc
