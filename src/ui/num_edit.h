#pragma once
// A numeric edit: filters the keys typed by its input mode, keeps a float
// value within optional limits, shows it with a fixed number of decimals and
// tells its owner when a value is committed (on leaving the field, or on
// Enter or Escape, which move the focus away and are not passed on).

#include <QLineEdit>

namespace bc {


class CNumEdit : public QLineEdit {
    Q_OBJECT
public:
    // Input modes: 0 any character; 1 signed integer; 2 signed decimal;
    // 3 digits, committed values capped at 255; 4 digits, capped at 32768.
    explicit CNumEdit(int id = 0, QWidget* parent = nullptr);

    int id() const { return id_; }

    void SetMode(int mode);
    int mode() const { return mode_; }
    void SetPrecision(int precision); // 0..3
    void SetMin(float minimum);       // also switches the minimum on
    void SetMax(float maximum);       // also switches the maximum on
    float GetValue() const { return value_; }
    // Ignored when outside an active limit; otherwise stores and shows it.
    void SetValue(float value);

    // Whether the mode accepts `ch` typed at the cursor, judged against the
    // text as it will be once `ch` replaces the selection.
    bool acceptsChar(QChar ch) const;

signals:
    // The text changed; GetValue() already holds its number.
    void valueChanged(int id);
    // A value was committed on leaving the field.
    void valueCommitted(int id);

protected:
    void keyPressEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void inputMethodEvent(QInputMethodEvent*) override;

private:
    void commit();

    int id_;
    int mode_ = 2;
    float value_ = 0.0f;
    float maximum_ = 0.0f;
    float minimum_ = 0.0f;
    bool hasMaximum_ = false;
    bool hasMinimum_ = false;
    int precision_ = 0;
};

} // namespace bc
