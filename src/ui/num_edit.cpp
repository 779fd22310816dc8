#include "ui/num_edit.h"

#include "core/c_number.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>


namespace bc {

CNumEdit::CNumEdit(int id, QWidget* parent) : QLineEdit(parent), id_(id)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        value_ = static_cast<float>(leadingDouble(t));
        emit valueChanged(id_);
    });
}

void CNumEdit::SetMode(int mode)
{
    mode_ = mode;
}

void CNumEdit::SetPrecision(int precision)
{
    if (precision >= 0 && precision <= 3)
        precision_ = precision;
}

void CNumEdit::SetMin(float minimum)
{
    minimum_ = minimum;
    hasMinimum_ = true;
}

void CNumEdit::SetMax(float maximum)
{
    maximum_ = maximum;
    hasMaximum_ = true;
}

void CNumEdit::SetValue(float value)
{
    if (hasMaximum_ && value > maximum_)
        return;
    if (hasMinimum_ && value < minimum_)
        return;
    value_ = value;
    static const char* const formats[] = {"%.0f", "%.1f", "%.2f", "%.3f"};
    // Showing the text re-reads it, so the value is what the field shows.
    setText(QString::asprintf(formats[precision_], static_cast<double>(value)));
}

bool CNumEdit::acceptsChar(QChar ch) const
{
    if (ch == QChar(0x08))
        return true;
    // The character replaces the selection: it is judged against the text
    // as it will be, so a sign typed over a selected signed number is taken.
    QString t = text();
    if (hasSelectedText())
        t.remove(selectionStart(), selectionLength());
    const bool digit = ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    switch (mode_) {
    case 0:
        return true;
    case 1:
        return digit || (ch == QLatin1Char('+') && !t.contains(QLatin1Char('+'))) ||
               (ch == QLatin1Char('-') && !t.contains(QLatin1Char('-')));
    case 2:
        return digit || (ch == QLatin1Char('.') && !t.contains(QLatin1Char('.'))) ||
               (ch == QLatin1Char('+') && !t.contains(QLatin1Char('+'))) ||
               (ch == QLatin1Char('-') && !t.contains(QLatin1Char('-')));
    case 3:
    case 4:
        return digit;
    default:
        return true;
    }
}

void CNumEdit::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        // Hand the focus to the parent, which commits the value; the key stops
        // here, so no default button fires and no dialog closes.
        e->accept();
        if (QWidget* owner = parentWidget())
            owner->setFocus(Qt::OtherFocusReason);
        if (hasFocus())
            clearFocus();
        return;
    }
    const QString typed = e->text();
    if (typed.size() == 1 && typed.at(0).isPrint() && !acceptsChar(typed.at(0))) {
        e->accept();
        return; // refused by the input mode
    }
    QLineEdit::keyPressEvent(e);
}

void CNumEdit::inputMethodEvent(QInputMethodEvent* e)
{
    if (mode_ == 0) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    // Text from an input method passes the same filter as typed characters,
    // one at a time; nothing is composed in place.
    for (const QChar ch : e->commitString())
        if (ch.isPrint() && acceptsChar(ch))
            insert(QString(ch));
    e->accept();
}

void CNumEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    commit();
}

void CNumEdit::commit()
{
    if (hasMaximum_ && value_ > maximum_)
        SetValue(maximum_);
    if (hasMinimum_ && value_ < minimum_)
        SetValue(minimum_);
    float v = static_cast<float>(leadingDouble(text()));
    if (mode_ == 3 && v > 255.0f)
        v = 255.0f;
    if (mode_ == 4 && v > 32768.0f)
        v = 32768.0f;
    SetValue(v);
    emit valueCommitted(id_);
}

} // namespace bc
