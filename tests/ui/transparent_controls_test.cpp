#include "ui/transparent_controls.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace bc {
namespace {

// A parent painted in one colour, so what a child leaves unpainted shows it.
struct RedParent : QWidget {
    RedParent()
    {
        resize(300, 120);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(255, 0, 0));
        setPalette(pal);
        QFont f = font();
        f.setPointSize(14);
        setFont(f);
    }
};

int countColour(const QImage& img, QColor c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (QColor(img.pixel(x, y)) == c)
                ++n;
    return n;
}

TEST(CTransparentLabel, PaintsOnlyItsTextOverTheParent)
{
    RedParent parent;
    auto* label = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    label->setGeometry(10, 10, 120, 30);
    parent.show();
    QImage img = parent.grab(label->geometry()).toImage();
    const int red = countColour(img, QColor(255, 0, 0));
    EXPECT_GT(red, img.width() * img.height() / 2); // background shows through
    EXPECT_LT(red, img.width() * img.height());     // and the text is drawn
    label->SetText(QString());
    img = parent.grab(label->geometry()).toImage();
    EXPECT_EQ(countColour(img, QColor(255, 0, 0)), img.width() * img.height());

    // The text is drawn in the parent's font, whatever font the label holds.
    label->SetText(QStringLiteral("深度:"));
    auto* small = new CTransparentLabel(QStringLiteral("深度:"), &parent);
    small->setGeometry(10, 50, 120, 30);
    QFont tiny = parent.font();
    tiny.setPointSize(6);
    small->setFont(tiny);
    small->show();
    EXPECT_EQ(small->sizeHint(), label->sizeHint());
    EXPECT_EQ(parent.grab(small->geometry()).toImage(),
              parent.grab(label->geometry()).toImage());
}

TEST(CTransparentEdit, DrawsTextWithoutBackgroundAndStillEdits)
{
    RedParent parent;
    auto* edit = new CTransparentEdit(&parent);
    edit->setGeometry(10, 50, 200, 30);
    edit->setText(QStringLiteral("/data/a.mpg"));
    parent.show();
    QImage img = parent.grab(edit->geometry()).toImage();
    const int red = countColour(img, QColor(255, 0, 0));
    EXPECT_GT(red, img.width() * img.height() / 2);
    EXPECT_LT(red, img.width() * img.height());
    edit->clear();
    img = parent.grab(edit->geometry()).toImage();
    EXPECT_EQ(countColour(img, QColor(255, 0, 0)), img.width() * img.height());
}

TEST(CCustomSliderCtrl, ShowsTheParentsBackgroundAroundItsChannel)
{
    RedParent parent;
    auto* slider = new CCustomSliderCtrl(&parent);
    slider->setGeometry(10, 10, 250, 40);
    slider->setRange(1, 100);
    slider->setValue(50);
    parent.show();
    const QImage img = parent.grab(slider->geometry()).toImage();
    EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(img.pixel(img.width() - 1, 0)), QColor(255, 0, 0));
    EXPECT_LT(countColour(img, QColor(255, 0, 0)), img.width() * img.height()); // groove drawn
}

} // namespace
} // namespace bc
