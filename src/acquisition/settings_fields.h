#pragma once
// Small pieces shared by the settings groups of the form and the
// control-parameter dialog: the up/down buttons beside an edit, the sampling
// step kept in counter pulses but edited in millimetres, the entries of the
// resolution and manual-step combos, and the reading of a number typed into a
// text field.

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

#include "core/c_number.h"

class QComboBox;
class QLineEdit;
class QToolButton;

namespace bc {

class CNumEdit;
class CSurveyParams;


// "%d mm"
QString mmText(long long mm);

// The combo tables: millimetres per pulse (1, 2, 10, 20) and the manual step
// in pulses (10 ... 1000). The entry of a value not in its table is 0.
int resolutionFromEntry(int entry);
int resolutionEntry(int mmPerPulse);
int manualStepFromEntry(int entry);
int manualStepEntry(int pulses);
void fillResolutionCombo(QComboBox* combo);
void fillManualStepCombo(QComboBox* combo);
void fillDirectionCombo(QComboBox* combo);
void fillCaptureFormatCombo(QComboBox* combo);

// The millimetres of a depth typed in metres (`metres` as the field holds
// it); a depth that does not fit is told with the range, over `parent`.
std::optional<int32_t> checkedDepthMm(double metres, QWidget* parent);

// The hole's inclination as typed, an angle from the vertical: empty (no
// inclination) or a number from 0 to 90. Anything else is told over `parent`
// (the range, or that a number is wanted) and refused.
bool checkHoleInclination(const QString& text, QWidget* parent);

// The sampling step in pulses for `stepMm` typed millimetres: the millimetres
// are clamped to 1..10000 (or only to at least 1 when `clampAbove` is false),
// divided by the millimetres per pulse, and the result is at least 1.
int stepPulsesForMm(long long stepMm, int mmPerPulse, bool clampAbove = true);

// The up/down buttons of an edit: holds a position within a range. The up
// button adds one, the down button takes one away; a position beyond the
// range stops at its bound.
class CUpDown : public QWidget {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setPosition(int position); // clamped into the range
    int position() const { return position_; }

    // What a press of a button does: position + delta, clamped.
    void step(int delta);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    // After a button press moved (or held) the position.
    void stepped(int position);

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

// The sampling step: an edit showing "%d mm" and its up/down buttons holding
// the step in pulses (1..10000).
class CStepField : public QWidget {
    Q_OBJECT
public:
    explicit CStepField(QWidget* parent = nullptr);

    // Shows `pulses` at `mmPerPulse`.
    void setStep(int pulses, int mmPerPulse);
    int pulses() const { return spin_->position(); }
    int mmPerPulse() const { return mmPerPulse_; }

    // A new resolution: the millimetres shown stay as near as they can.
    void setMmPerPulse(int mmPerPulse);
    // The edit lost the focus (also called by a save): clamps, rounds down to
    // whole pulses and shows the result.
    void commitText();

    QLineEdit* edit() const { return edit_; }
    CUpDown* spin() const { return spin_; }

private:
    void show(int pulses);

    QLineEdit* edit_;
    CUpDown* spin_;
    int mmPerPulse_ = 1;
};

// An integer edit with up/down buttons: compass offset (-180..180) and the
// hole diameters (50..10000, shown "%d mm"). Leaving the edit clamps the
// number to the nearer bound; the buttons count up with the up arrow.
class CSpinField : public QWidget {
    Q_OBJECT
public:
    CSpinField(int minimum, int maximum, bool showMm, QWidget* parent = nullptr);

    void setValue(int value); // clamped
    // The number in the edit, clamped into the range (without changing it).
    int value() const;
    void commitText();

    QLineEdit* edit() const { return edit_; }
    CUpDown* spin() const { return spin_; }

private:
    void show(int value);

    QLineEdit* edit_;
    CUpDown* spin_;
    bool showMm_;
};

// The counter controls that the form's control group and the control-parameter
// dialog both show: moving direction, sampling step, start depth (metres, 3
// decimals), manual step, counter resolution and capture format. The owner
// lays the widgets out; a new resolution re-rounds the step.
class CCounterFields {
public:
    explicit CCounterFields(QWidget* parent);

    void fill(const CSurveyParams& params);
    // Whether the start depth fits a depth in millimetres; a depth that does
    // not is told with the range, over `parent`.
    bool checkStartDepth(QWidget* parent) const;
    // Into the settings: the step as typed (at least 1 mm) in whole pulses
    // at the chosen resolution, the start depth in whole millimetres (a
    // depth refused by the check is left as it was).
    void pull(CSurveyParams& params) const;

    QComboBox* direction;
    CStepField* step;
    CNumEdit* startDepth;
    QComboBox* manualStep;
    QComboBox* resolution;
    QComboBox* captureFormat;
};

} // namespace bc
