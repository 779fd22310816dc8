#pragma once
// Controls of the acquisition form that let the form's picture show through:
// a slider whose channel is drawn over the parent's background, an edit and a
// label that paint only their text.

#include <QLineEdit>
#include <QSlider>
#include <QWidget>

namespace bc {

class CCustomSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CCustomSliderCtrl(QWidget* parent = nullptr);
};

// An edit whose text is drawn without a background, in the parent's font.
// While it has the focus it edits as any line edit does (caret, selection),
// still on a transparent background.
class CTransparentEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CTransparentEdit(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A static text painted over the parent's background.
class CTransparentLabel : public QWidget {
    Q_OBJECT
public:
    explicit CTransparentLabel(const QString& text = QString(), QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};

} // namespace bc
