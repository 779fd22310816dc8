#include "ui/num_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <charconv>
#include <string>

namespace bc {

double parseCNumber(const QString& text)
{
    const std::string s = text.toStdString();
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' ||
                            s[i] == '\f' || s[i] == '\v'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own here and never consults the locale.
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        return 0.0;
    double v = 0.0;
    const auto res = std::from_chars(s.data() + i, s.data() + s.size(), v,
                                     std::chars_format::general);
    if (res.ec == std::errc::invalid_argument)
        return 0.0;
    // Out of range: atof gives an infinity or zero; keep the parsed value.
    return negative ? -v : v;
}

CNumEdit::CNumEdit(int id, QWidget* parent) : QLineEdit(parent), id_(id)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        value_ = static_cast<float>(parseCNumber(t));
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
    const QString t = text();
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
    float v = static_cast<float>(parseCNumber(text()));
    if (mode_ == 3 && v > 255.0f)
        v = 255.0f;
    if (mode_ == 4 && v > 32768.0f)
        v = 32768.0f;
    SetValue(v);
    emit valueCommitted(id_);
}

} // namespace bc
