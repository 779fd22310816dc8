#include "analysis/unwrap_param_bar.h"

#include "acquisition/settings_fields.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "platform/range_check.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace bc {

namespace {

int programMaxRadius()
{
    return static_cast<int>(std::min<unsigned>(FrameFormat::maxOuterRadius(), INT_MAX));
}

UnwrapRules rulesFor(CSurveyParams& s)
{
    const FrameFormatValues format = FrameFormat::snapshot();
    const int maxRadius =
        validateSettingsCentre(s, format.width, format.height, programMaxRadius());
    FrameFormat::setMaxOuterRadius(static_cast<unsigned>(maxRadius));
    return UnwrapRules(s.innerRadius, s.outerRadius, s.unwrapWidth, s.heightFactor, maxRadius);
}

QString factorText(float factor)
{
    return QString::number(factor, 'g', 6);
}

} // namespace

CUnwrapParamBar::CUnwrapParamBar(CSurveyParams& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), rules_(rulesFor(settings))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);

    widthEdit_ = addEdit(IDC_UNWRAP_WIDTH, "展开宽度:");
    widthSpin_ = addSpin(IDC_WIDTH_SPIN, UnwrapRules::kSpinMinWidth, UnwrapRules::kMaxWidth);
    outerEdit_ = addEdit(IDC_OUTER_RADIUS, "截取外径:");
    outerSpin_ = addSpin(IDC_OUTER_SPIN, UnwrapRules::kMinRadius, rules_.maxRadius());
    innerEdit_ = addEdit(IDC_INNER_RADIUS, "截取内径:");
    innerSpin_ = addSpin(IDC_INNER_SPIN, UnwrapRules::kMinRadius, rules_.maxRadius());
    factorEdit_ = addEdit(IDC_HEIGHT_FACTOR, "高度调整系数:");
    addSpin(IDC_FACTOR_SPIN, 0, 100); // present, does nothing
    layout->addStretch(1);

    connectEdit(widthEdit_, &UnwrapRules::typeWidth);
    connectEdit(outerEdit_, &UnwrapRules::typeOuter);
    connectEdit(innerEdit_, &UnwrapRules::typeInner);
    connectSpin(widthSpin_, &UnwrapRules::stepWidth);
    connectSpin(outerSpin_, &UnwrapRules::stepOuter);
    connectSpin(innerSpin_, &UnwrapRules::stepInner);
    connect(factorEdit_, &QLineEdit::editingFinished, this, &CUnwrapParamBar::commitFactor);

    factorEdit_->setText(factorText(rules_.factor()));
    showValues();
}

CUnwrapParamBar::~CUnwrapParamBar()
{
    settings_.innerRadius = rules_.inner();
    settings_.outerRadius = rules_.outer();
    settings_.unwrapWidth = rules_.width();
    settings_.heightFactor = rules_.factor();
}

QWidget* CUnwrapParamBar::control(int id) const
{
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* CUnwrapParamBar::addEdit(int id, const char* label)
{
    auto* text = new QLabel(QString::fromUtf8(label), this);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    edit->setFixedWidth(72);
    layout()->addWidget(text);
    layout()->addWidget(edit);
    controls_[id] = edit;
    return edit;
}

CUpDown* CUnwrapParamBar::addSpin(int id, int minimum, int maximum)
{
    auto* spin = new CUpDown(this);
    spin->setObjectName(QStringLiteral("ctl%1").arg(id));
    spin->setRange(minimum, maximum);
    layout()->addWidget(spin);
    controls_[id] = spin;
    return spin;
}

void CUnwrapParamBar::connectEdit(QLineEdit* edit, void (UnwrapRules::*type)(int))
{
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, type] {
        (rules_.*type)(pixelsFromText(edit->text()));
        changed();
    });
}

void CUnwrapParamBar::connectSpin(CUpDown* spin, void (UnwrapRules::*step)(int))
{
    // The buttons' own position change runs first; the rules then set it.
    connect(spin->upButton(), &QToolButton::clicked, this, [this, step] {
        (rules_.*step)(1);
        changed();
    });
    connect(spin->downButton(), &QToolButton::clicked, this, [this, step] {
        (rules_.*step)(-1);
        changed();
    });
}

void CUnwrapParamBar::commitFactor()
{
    const QString typed = factorEdit_->text();
    float checked = 0.0f;
    if (checkFloatRange(typed, 0.0, 20.0, checked, this) && rules_.typeFactor(typed)) {
        changed();
        return;
    }
    // A refused value gives way to the last good one.
    factorEdit_->setText(factorText(rules_.factor()));
}

void CUnwrapParamBar::showValues()
{
    widthEdit_->setText(pixelText(rules_.width()));
    outerEdit_->setText(pixelText(rules_.outer()));
    innerEdit_->setText(pixelText(rules_.inner()));
    widthSpin_->setPosition(rules_.width());
    outerSpin_->setPosition(rules_.outer());
    innerSpin_->setPosition(rules_.inner());
}

void CUnwrapParamBar::changed()
{
    showValues();
    emit parametersChanged(rules_.inner(), rules_.outer(), rules_.width(), rules_.factor());
}

void CUnwrapParamBar::SetMaxRadius(int radius)
{
    if (!rules_.setMaxRadius(radius))
        return;
    outerSpin_->setRange(UnwrapRules::kMinRadius, radius);
    innerSpin_->setRange(UnwrapRules::kMinRadius, radius);
    changed();
}

} // namespace bc
