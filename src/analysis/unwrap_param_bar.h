#pragma once
// The unwrap-parameter bar along the top of the raw-frame view: unwrap width,
// outer and inner cut radius (each "%d 象素" with up/down buttons) and the
// height adjustment factor. Every change is corrected by UnwrapRules and
// reported through parametersChanged; the values go back into the survey
// settings when the bar goes away.

#include "analysis/unwrap_rules.h"

#include <QWidget>

#include <map>

class QLineEdit;

namespace bc {

class CSurveyParams;
class CUpDown;

class CUnwrapParamBar : public QWidget {
    Q_OBJECT
  public:
    // Control ids.
    enum : int {
        IDC_UNWRAP_WIDTH = 1032,
        IDC_INNER_RADIUS = 1051,
        IDC_WIDTH_SPIN = 1052,
        IDC_INNER_SPIN = 1053,
        IDC_OUTER_RADIUS = 1054,
        IDC_OUTER_SPIN = 1055,
        IDC_FACTOR_SPIN = 1056,
        IDC_HEIGHT_FACTOR = 1057,
    };

    // Checks the settings' centre against the published frame size first
    // (which may move the centre and cut the radii, and sets the program's
    // largest outer radius), then shows the settings' values.
    explicit CUnwrapParamBar(CSurveyParams& settings, QWidget* parent = nullptr);
    // Writes inner, outer, width and the height factor back into the settings.
    ~CUnwrapParamBar() override;

    const UnwrapRules& values() const { return rules_; }
    QWidget* control(int id) const;

    // A new largest radius: the outer radius moves to it.
    void SetMaxRadius(int radius);

  signals:
    void parametersChanged(int inner, int outer, int width, float factor);

  private:
    QLineEdit* addEdit(int id, const char* label);
    CUpDown* addSpin(int id, int minimum, int maximum);
    void connectSpin(CUpDown* spin, void (UnwrapRules::*step)(int));
    void connectEdit(QLineEdit* edit, void (UnwrapRules::*type)(int));
    void commitFactor();
    void showValues();
    void changed();

    CSurveyParams& settings_;
    UnwrapRules rules_;
    std::map<int, QWidget*> controls_;
    QLineEdit* widthEdit_ = nullptr;
    QLineEdit* outerEdit_ = nullptr;
    QLineEdit* innerEdit_ = nullptr;
    QLineEdit* factorEdit_ = nullptr;
    CUpDown* widthSpin_ = nullptr;
    CUpDown* outerSpin_ = nullptr;
    CUpDown* innerSpin_ = nullptr;
};

} // namespace bc
