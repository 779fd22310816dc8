#include "acquisition/settings_fields.h"

#include "acquisition/depth_counter.h"
#include "core/survey_params.h"
#include "platform/prompter.h"
#include "platform/range_check.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace bc {

namespace {
constexpr int kResolutions[] = {1, 2, 10, 20};
constexpr int kManualSteps[] = {10, 20, 50, 100, 200, 500, 1000};
constexpr int kStepMin = 1;
constexpr int kStepMax = 10000;

template <std::size_t N> int tableValue(const int (&table)[N], int entry)
{
    return entry >= 0 && entry < static_cast<int>(N) ? table[entry] : table[0];
}

template <std::size_t N> int tableEntry(const int (&table)[N], int value)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i] == value)
            return static_cast<int>(i);
    }
    return 0;
}
} // namespace

QString mmText(long long mm)
{
    return QStringLiteral("%1 mm").arg(mm);
}

int resolutionFromEntry(int entry)
{
    return tableValue(kResolutions, entry);
}

int resolutionEntry(int mmPerPulse)
{
    return tableEntry(kResolutions, mmPerPulse);
}

int manualStepFromEntry(int entry)
{
    return tableValue(kManualSteps, entry);
}

int manualStepEntry(int pulses)
{
    return tableEntry(kManualSteps, pulses);
}

void fillResolutionCombo(QComboBox* combo)
{
    combo->clear();
    for (int r : kResolutions)
        combo->addItem(QStringLiteral("%1mm/脉冲").arg(r));
}

void fillManualStepCombo(QComboBox* combo)
{
    combo->clear();
    for (int s : kManualSteps)
        combo->addItem(QStringLiteral("%1个脉冲").arg(s));
}

void fillDirectionCombo(QComboBox* combo)
{
    combo->clear();
    combo->addItem(QStringLiteral("向下"));
    combo->addItem(QStringLiteral("向上"));
}

void fillCaptureFormatCombo(QComboBox* combo)
{
    combo->clear();
    combo->addItem(QStringLiteral("JPG文件"));
    combo->addItem(QStringLiteral("BMP文件"));
}

std::optional<int32_t> checkedDepthMm(double metres, QWidget* parent)
{
    const std::optional<int32_t> mm = depthMmForMetres(metres);
    if (!mm)
        messageBox(depthRangeText(), QString(), MB_OK | MB_ICONEXCLAMATION, parent);
    return mm;
}

bool checkHoleInclination(const QString& text, QWidget* parent)
{
    float degrees = 0.0f;
    return text.trimmed().isEmpty() || checkFloatRange(text, 0.0, 90.0, degrees, parent);
}

int stepPulsesForMm(long long stepMm, int mmPerPulse, bool clampAbove)
{
    stepMm = std::max<long long>(stepMm, kStepMin);
    if (clampAbove)
        stepMm = std::min<long long>(stepMm, kStepMax);
    const long long pulses = stepMm / std::max(mmPerPulse, 1);
    return static_cast<int>(std::clamp<long long>(pulses, 1, INT_MAX));
}

// ---------------------------------------------------------------------------

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void CUpDown::setRange(int minimum, int maximum)
{
    minimum_ = std::min(minimum, maximum);
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void CUpDown::setPosition(int position)
{
    position_ = std::clamp(position, minimum_, maximum_);
}

void CUpDown::step(int delta)
{
    setPosition(static_cast<int>(
        std::clamp<long long>(static_cast<long long>(position_) + delta, minimum_, maximum_)));
    emit stepped(position_);
}

// ---------------------------------------------------------------------------

CStepField::CStepField(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), spin_(new CUpDown(this))
{
    spin_->setRange(kStepMin, kStepMax);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(edit_);
    layout->addWidget(spin_);
    connect(edit_, &QLineEdit::editingFinished, this, &CStepField::commitText);
    connect(spin_, &CUpDown::stepped, this, [this](int pulses) { show(pulses); });
}

void CStepField::show(int pulses)
{
    edit_->setText(mmText(static_cast<long long>(pulses) * mmPerPulse_));
}

void CStepField::setStep(int pulses, int mmPerPulse)
{
    mmPerPulse_ = std::max(mmPerPulse, 1);
    spin_->setPosition(std::max(pulses, 1));
    show(std::max(pulses, 1));
}

void CStepField::setMmPerPulse(int mmPerPulse)
{
    mmPerPulse_ = std::max(mmPerPulse, 1);
    const int pulses = stepPulsesForMm(leadingInt(edit_->text()), mmPerPulse_, false);
    spin_->setPosition(pulses);
    show(pulses);
}

void CStepField::commitText()
{
    const int pulses = stepPulsesForMm(leadingInt(edit_->text()), mmPerPulse_, true);
    spin_->setPosition(pulses);
    show(pulses);
}

// ---------------------------------------------------------------------------

CSpinField::CSpinField(int minimum, int maximum, bool showMm, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), spin_(new CUpDown(this)), showMm_(showMm)
{
    spin_->setRange(minimum, maximum);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(edit_);
    layout->addWidget(spin_);
    connect(edit_, &QLineEdit::editingFinished, this, &CSpinField::commitText);
    connect(spin_, &CUpDown::stepped, this, [this](int v) { show(v); });
    setValue(minimum);
}

void CSpinField::show(int value)
{
    edit_->setText(showMm_ ? mmText(value) : QString::number(value));
}

void CSpinField::setValue(int value)
{
    spin_->setPosition(value);
    show(spin_->position());
}

int CSpinField::value() const
{
    return std::clamp(leadingInt(edit_->text()), spin_->minimum(), spin_->maximum());
}

void CSpinField::commitText()
{
    setValue(value());
}

// ---------------------------------------------------------------------------

CCounterFields::CCounterFields(QWidget* parent)
    : direction(new QComboBox(parent)), step(new CStepField(parent)),
      startDepth(new CNumEdit(1036, parent)), manualStep(new QComboBox(parent)),
      resolution(new QComboBox(parent)), captureFormat(new QComboBox(parent))
{
    fillDirectionCombo(direction);
    startDepth->SetMode(2);
    startDepth->SetPrecision(3);
    fillManualStepCombo(manualStep);
    fillResolutionCombo(resolution);
    fillCaptureFormatCombo(captureFormat);
    CStepField* field = step;
    QObject::connect(resolution, &QComboBox::activated, field,
                     [field](int entry) { field->setMmPerPulse(resolutionFromEntry(entry)); });
}

void CCounterFields::fill(const CSurveyParams& params)
{
    direction->setCurrentIndex(params.moveDirection == 1 ? 1 : 0);
    step->setStep(static_cast<int>(params.sampleStep), static_cast<int>(params.counterResolution));
    startDepth->SetValue(static_cast<float>(params.startDepth * 0.001));
    captureFormat->setCurrentIndex(params.captureFormat == 1 ? 1 : 0);
    resolution->setCurrentIndex(resolutionEntry(static_cast<int>(params.counterResolution)));
    manualStep->setCurrentIndex(manualStepEntry(static_cast<int>(params.manualStep)));
}

void CCounterFields::pull(CSurveyParams& params) const
{
    const int mmPerPulse = resolutionFromEntry(resolution->currentIndex());
    params.moveDirection = static_cast<unsigned>(std::max(direction->currentIndex(), 0));
    params.captureFormat = static_cast<unsigned>(std::max(captureFormat->currentIndex(), 0));
    params.manualStep = static_cast<unsigned>(manualStepFromEntry(manualStep->currentIndex()));
    params.counterResolution = static_cast<unsigned>(mmPerPulse);
    params.sampleStep = static_cast<unsigned>(
        stepPulsesForMm(leadingInt(step->edit()->text()), mmPerPulse, false));
    params.startDepth =
        depthMmForMetres(static_cast<double>(startDepth->GetValue())).value_or(params.startDepth);
}

bool CCounterFields::checkStartDepth(QWidget* parent) const
{
    return checkedDepthMm(static_cast<double>(startDepth->GetValue()), parent).has_value();
}

} // namespace bc
