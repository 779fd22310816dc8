#include "acquisition/settings_groups.h"

#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "platform/prompter.h"
#include "platform/range_check.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>

#include <cmath>
#include <optional>

namespace bc {

namespace {

constexpr int kOffsetMin = -180;
constexpr int kOffsetMax = 180;
constexpr int kDiameterMin = 50;
constexpr int kDiameterMax = 10000;

QString floatText(float v)
{
    return QString::number(static_cast<double>(v), 'g', 6);
}

QComboBox* combo(QWidget* parent, const QStringList& entries = {})
{
    auto* c = new QComboBox(parent);
    c->addItems(entries);
    return c;
}

CBmpButton* makeSaveButton(int id, QWidget* parent)
{
    auto* b = new CBmpButton(id, parent);
    b->setText(QStringLiteral("保存"));
    b->SetFrameState(CBmpButton::FrameRaised);
    return b;
}

} // namespace

bool CProfileWriter::save(const CSurveyParams& params, QWidget* parent) const
{
    std::optional<QSettings> fallback;
    if (!profile_)
        fallback.emplace();
    QString why;
    if (params.SaveProfile(profile_ ? *profile_ : *fallback, &why))
        return true;
    messageBox(QStringLiteral("保存设置失败\n") + why, QStringLiteral("出错"), MB_ICONERROR, parent);
    return false;
}

// ---------------------------------------------------------------------------

CControlParamsGroup::CControlParamsGroup(CSurveyParams& params, QWidget* parent)
    : QGroupBox(QStringLiteral("控制参数："), parent), params_(params), fields_(this)
{
    compassOffset_ = new CSpinField(kOffsetMin, kOffsetMax, false, this);
    declination_ = new QLineEdit(this);
    save_ = makeSaveButton(1228, this);

    auto* depthRow = new QHBoxLayout;
    depthRow->addWidget(fields_.startDepth);
    depthRow->addWidget(new QLabel(QStringLiteral("米"), this));

    auto* form = new QFormLayout(this);
    form_ = form;
    form->addRow(QStringLiteral("计数器分辨率："), fields_.resolution);
    form->addRow(QStringLiteral("采样步距："), fields_.step);
    form->addRow(QStringLiteral("抓图格式："), fields_.captureFormat);
    form->addRow(QStringLiteral("移动方向："), fields_.direction);
    form->addRow(QStringLiteral("起始深度："), depthRow);
    form->addRow(QStringLiteral("手动调整："), fields_.manualStep);
    form->addRow(QStringLiteral("罗盘方位偏角："), compassOffset_);
    form->addRow(QStringLiteral("磁偏角："), declination_);
    form->addRow(save_);

    connect(save_, &CBmpButton::clicked, this, [this] { save(); });
}

void CControlParamsGroup::fill()
{
    fields_.fill(params_);
    compassOffset_->setValue(params_.compassOffset);
    declination_->setText(floatText(params_.declination));
    save_->SetFrameState(CBmpButton::FrameRaised);
}

void CControlParamsGroup::showStartDepth()
{
    fields_.startDepth->SetValue(static_cast<float>(params_.startDepth * 0.001));
}

int CControlParamsGroup::compassOffset() const
{
    return compassOffset_->value();
}

QString CControlParamsGroup::startDepthText() const
{
    return fields_.startDepth->text();
}

bool CControlParamsGroup::save()
{
    int offset = 0;
    float declination = 0.0f;
    if (!checkIntRange(compassOffset_->edit()->text(), kOffsetMin, kOffsetMax, offset) ||
        !checkFloatRange(declination_->text(), -90.0, 90.0, declination) ||
        !fields_.checkStartDepth(this))
        return false;

    fields_.pull(params_);
    params_.compassOffset = offset;
    params_.declination = declination;
    // The capture format takes effect at once, as it does from the
    // control-parameter dialog.
    currentCaptureFormat = static_cast<int>(params_.captureFormat);
    const bool written = writer_.save(params_, this);
    emit saved();
    // A profile that could not be written has been told; no success follows.
    if (written)
        messageBox(QStringLiteral("参数设置成功"), QString(), MB_OK, this);
    return true;
}

// ---------------------------------------------------------------------------

CTestParamsGroup::CTestParamsGroup(CSurveyParams& params, QWidget* parent)
    : QGroupBox(QStringLiteral("测试参数："), parent), params_(params)
{
    testUnit_ = new QLineEdit(this);
    tester_ = new QLineEdit(this);
    testSite_ = new QLineEdit(this);
    holeNumber_ = new QLineEdit(this);
    testDate_ = new QLineEdit(this);
    opening_ = new CSpinField(kDiameterMin, kDiameterMax, true, this);
    final_ = new CSpinField(kDiameterMin, kDiameterMax, true, this);
    collarCoordinates_ = new QLineEdit(this);
    collarElevation_ = new QLineEdit(this);
    holeType_ = combo(this, {QStringLiteral("直孔"), QStringLiteral("斜孔")});
    holeInclination_ = new QLineEdit(this);
    dipDirection_ = new QLineEdit(this);
    waterLevel_ = new QLineEdit(this);
    save_ = makeSaveButton(1229, this);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("检测单位："), testUnit_);
    form->addRow(QStringLiteral("测试人员："), tester_);
    form->addRow(QStringLiteral("测试工地："), testSite_);
    form->addRow(QStringLiteral("孔号："), holeNumber_);
    form->addRow(QStringLiteral("测试时间："), testDate_);
    form->addRow(QStringLiteral("开孔直径："), opening_);
    form->addRow(QStringLiteral("终孔直径："), final_);
    form->addRow(QStringLiteral("孔口坐标："), collarCoordinates_);
    form->addRow(QStringLiteral("孔口高程："), collarElevation_);
    form->addRow(QStringLiteral("孔类型："), holeType_);
    form->addRow(QStringLiteral("孔倾斜角度："), holeInclination_);
    form->addRow(QStringLiteral("斜孔的孔倾向："), dipDirection_);
    form->addRow(QStringLiteral("水位标高："), waterLevel_);
    form->addRow(save_);

    connect(holeType_, &QComboBox::currentIndexChanged, this,
            [this](int entry) { holeInclination_->setEnabled(entry == 0); });
    connect(save_, &CBmpButton::clicked, this, [this] { save(); });
}

void CTestParamsGroup::fill()
{
    testUnit_->setText(params_.testUnit);
    tester_->setText(params_.tester);
    testSite_->setText(params_.testSite);
    holeNumber_->setText(params_.holeNumber);
    testDate_->setText(params_.testDate);
    collarCoordinates_->setText(params_.collarCoordinates);
    collarElevation_->setText(params_.collarElevation);
    holeInclination_->setText(params_.holeInclination);
    waterLevel_->setText(params_.waterLevel);
    dipDirection_->setText(floatText(params_.inclinedHoleAzimuth));
    holeType_->setCurrentIndex(params_.holeType == 1 ? 1 : 0);
    holeInclination_->setEnabled(holeType_->currentIndex() == 0);
    opening_->setValue(params_.openingDiameter);
    final_->setValue(params_.finalDiameter);
    save_->SetFrameState(CBmpButton::FrameRaised);
}

bool CTestParamsGroup::save()
{
    float dip = 0.0f;
    if (!checkFloatRange(dipDirection_->text(), 0.0, 360.0, dip))
        return false;
    // The inclination goes into the survey's file, where every dip is taken
    // against it: one the workspace would refuse is refused here too.
    if (!checkHoleInclination(holeInclination_->text(), this))
        return false;
    params_.openingDiameter = std::max(leadingInt(opening_->edit()->text()), kDiameterMin);
    params_.finalDiameter = std::max(leadingInt(final_->edit()->text()), kDiameterMin);
    params_.testUnit = testUnit_->text();
    params_.tester = tester_->text();
    params_.testSite = testSite_->text();
    params_.holeNumber = holeNumber_->text();
    params_.testDate = testDate_->text();
    params_.collarCoordinates = collarCoordinates_->text();
    params_.collarElevation = collarElevation_->text();
    params_.holeInclination = holeInclination_->text();
    params_.waterLevel = waterLevel_->text();
    params_.holeType = std::max(holeType_->currentIndex(), 0);
    params_.inclinedHoleAzimuth = dip;
    writer_.save(params_);
    return true;
}

// ---------------------------------------------------------------------------

CCommGroup::CCommGroup(CSurveyParams& params, CPortMap map, CSerialLine* line, QWidget* parent)
    : QGroupBox(QStringLiteral("通讯参数："), parent), params_(params), map_(std::move(map)),
      line_(line)
{
    port_ = combo(this);
    setPortMap(map_);
    baud_ = combo(this);
    for (int entry = 0; entry < kBaudEntryCount; ++entry)
        baud_->addItem(baudText(entry));
    auto* button = new QPushButton(QStringLiteral("保存"), this);
    save_ = button;

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("通信口："), port_);
    form->addRow(QStringLiteral("波特率："), baud_);
    form->addRow(button);

    connect(port_, &QComboBox::activated, this, [this](int entry) {
        if (entry >= 0)
            params_.port1 = entry + 1;
    });
    connect(button, &QPushButton::clicked, this, [this] { save(); });
}

void CCommGroup::setPortMap(const CPortMap& map)
{
    map_ = map;
    const int current = port_->currentIndex();
    port_->clear();
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
        port_->addItem(map_.slotLabel(slot));
    port_->setCurrentIndex(current);
}

void CCommGroup::showSettingsPort()
{
    const int slot = params_.port1;
    port_->setCurrentIndex(slot >= 1 && slot <= CPortMap::kSlotCount ? slot - 1 : -1);
}

bool CCommGroup::configureLine()
{
    const int slot = params_.port1;
    showSettingsPort();
    baud_->setCurrentIndex(3); // the line always runs at 9600
    port_->setEnabled(true);
    baud_->setEnabled(true);
    bool ok = false;
    if (line_) {
        line_->configure(slot, map_);
        ok = line_->open();
    }
    emit statusTextChanged(ok ? lineOkText() : lineMissingText());
    return ok;
}

bool CCommGroup::save()
{
    params_.port1 = port_->currentIndex() + 1;
    params_.baudIndex1 = baud_->currentIndex();
    writer_.save(params_);
    const bool ok = configureLine();
    if (ok)
        messageBox(QStringLiteral("设置串口成功"), QString(), MB_OK, this);
    return ok;
}

} // namespace bc
